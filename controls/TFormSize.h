// TFormSize: placed on a window, it remembers that window's placement from one run to the next
// (position, and with SaveSize its size and maximized state), per product, user and machine, in the
// per-user store or in an INI file. It can also keep the window off the screen edges and panels
// while it is moved (Magnet) and let the client area drag the window (DragAlways).
//
// Lifetime: a child of its owner window, destroyed with it. The owner calls Loaded() once it has
// built itself; the placement is saved when the owner is destroyed, read from the owner before its
// children go. UI thread only.
#pragma once

#include "controls/FormSizeRules.h"
#include "platform/Exception.h"

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <memory>

class QMouseEvent;
class QWidget;

namespace orvex {

class MachineIdentity;
class PlacementStore;

class EFormSizeError : public Exception {
public:
    using Exception::Exception;
};

enum TPersistLocation { plIniFile = 0, plRegistry = 1 };

// The screens as the window system reports them.
class DesktopGeometry {
public:
    virtual ~DesktopGeometry() = default;
    // The virtual desktop spanning all monitors.
    virtual QRect virtualDesktop() = 0;
    virtual QRect primaryScreen() = 0;
    // The primary screen less the panels (taskbar, docks) along its edges.
    virtual QRect primaryAvailable() = 0;
    // False where the window system does not let a program place its own windows or learn where
    // they are (Wayland): there the position is neither applied nor stored.
    virtual bool canPlaceWindows() = 0;
};

// QScreen's answers for the primary screen.
std::unique_ptr<DesktopGeometry> makeSystemDesktopGeometry();

struct FormSizeServices {
    std::shared_ptr<MachineIdentity> identity; // the system's when null
    std::shared_ptr<DesktopGeometry> desktop;  // the system's when null
};

class TFormSize : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Location READ Location WRITE setLocation)
    Q_PROPERTY(QString SaveName READ SaveName WRITE setSaveName)
    Q_PROPERTY(QString SaveKey READ SaveKey WRITE setSaveKey)
    Q_PROPERTY(bool SaveUser READ SaveUser WRITE setSaveUser)
    Q_PROPERTY(bool SaveMachine READ SaveMachine WRITE setSaveMachine)
    Q_PROPERTY(bool SavePosition READ SavePosition WRITE setSavePosition)
    Q_PROPERTY(bool SaveSize READ SaveSize WRITE setSaveSize)
    Q_PROPERTY(bool Magnet READ Magnet WRITE setMagnet)
    Q_PROPERTY(int MagnetDistance READ MagnetDistance WRITE setMagnetDistance)
    Q_PROPERTY(bool DragAlways READ DragAlways WRITE setDragAlways)
    Q_PROPERTY(QString Version READ Version WRITE setVersion)

public:
    // owner must be a top-level window without a TFormSize of its own; otherwise EFormSizeError.
    explicit TFormSize(QObject* owner, FormSizeServices services = {});
    ~TFormSize() override;

    static const char* const kNotAFormMessage;
    static const char* const kSecondComponentMessage;
    static const char* const kVersion;

    int Location() const { return location_; }
    void setLocation(int location) { location_ = location == plRegistry ? plRegistry : plIniFile; }
    QString SaveName() const { return saveName_; }
    void setSaveName(const QString& name) { saveName_ = name; }
    QString SaveKey() const { return saveKey_; }
    void setSaveKey(const QString& key) { saveKey_ = key; }
    bool SaveUser() const { return saveUser_; }
    void setSaveUser(bool on) { saveUser_ = on; }
    bool SaveMachine() const { return saveMachine_; }
    void setSaveMachine(bool on) { saveMachine_ = on; }
    // Also switches load and save on as a whole.
    bool SavePosition() const { return savePosition_; }
    void setSavePosition(bool on) { savePosition_ = on; }
    bool SaveSize() const { return saveSize_; }
    void setSaveSize(bool on) { saveSize_ = on; }
    bool Magnet() const { return magnet_; }
    void setMagnet(bool on) { magnet_ = on; }
    int MagnetDistance() const { return magnetDistance_; }
    void setMagnetDistance(int pixels) { magnetDistance_ = pixels; }
    bool DragAlways() const { return dragAlways_; }
    void setDragAlways(bool on) { dragAlways_ = on; }
    // Read-only: always "1.3.0.0"; what is assigned is ignored.
    QString Version() const;
    void setVersion(const QString&) {}

    // The owner has been built: restores the stored placement (when SavePosition). Runs once.
    void Loaded();

    // The section name the values are kept under, e.g. "Orvex-anna-ws1".
    QString sectionName() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static QObject* checkedOwner(QObject* owner);
    std::unique_ptr<PlacementStore> openStore() const;
    void load();
    void save(QWidget* window);
    void fitPendingFrameSize();
    void applyMagnet();
    bool dragEvent(QMouseEvent* event);

    QWidget* owner_;
    FormSizeServices services_;
    int location_ = plIniFile;
    QString saveName_ = QStringLiteral(".\\FORM.INI");
    QString saveKey_;
    bool saveUser_ = false;
    bool saveMachine_ = false;
    bool savePosition_ = true;
    bool saveSize_ = true;
    bool magnet_ = false;
    int magnetDistance_ = 32;
    bool dragAlways_ = false;

    bool loaded_ = false;
    bool correcting_ = false;
    // Where the load put the window, for stores on systems where positions cannot be read back.
    QPoint loadedTopLeft_;
    // The stored outer size, applied to the client until the window system reports the frame.
    QSize pendingFrameSize_;
    bool dragging_ = false;
    QPoint dragStartGlobal_;
    QPoint dragStartWindow_;
};

} // namespace orvex
