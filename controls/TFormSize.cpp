#include "controls/TFormSize.h"

#include "controls/PlacementStore.h"
#include "platform/MachineIdentity.h"

#include <QGuiApplication>
#include <QMargins>
#include <QMouseEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace orvex {

const char* const TFormSize::kNotAFormMessage = "Control parent must be a form!";
const char* const TFormSize::kSecondComponentMessage = "The form already contains a TFormSize component";
const char* const TFormSize::kVersion = "1.3.0.0";

namespace {

class SystemDesktopGeometry final : public DesktopGeometry {
public:
    QRect virtualDesktop() override {
        const QScreen* screen = QGuiApplication::primaryScreen();
        return screen ? screen->virtualGeometry() : QRect();
    }
    QRect primaryScreen() override {
        const QScreen* screen = QGuiApplication::primaryScreen();
        return screen ? screen->geometry() : QRect();
    }
    QRect primaryAvailable() override {
        const QScreen* screen = QGuiApplication::primaryScreen();
        return screen ? screen->availableGeometry() : QRect();
    }
    bool canPlaceWindows() override {
        return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    }
};

formsize::WindowRect toWindowRect(const QRect& r) {
    return {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
}

// The decoration around the client area; zero until the window system has framed the window.
QMargins frameMargins(const QWidget* window) {
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
            frame.bottom() - client.bottom()};
}

} // namespace

std::unique_ptr<DesktopGeometry> makeSystemDesktopGeometry() {
    return std::make_unique<SystemDesktopGeometry>();
}

QObject* TFormSize::checkedOwner(QObject* owner) {
    const auto* window = qobject_cast<QWidget*>(owner);
    if (!window || !window->isWindow()) throw EFormSizeError(kNotAFormMessage);
    for (const QObject* child : owner->children())
        if (qobject_cast<const TFormSize*>(child)) throw EFormSizeError(kSecondComponentMessage);
    return owner;
}

TFormSize::TFormSize(QObject* owner, FormSizeServices services)
    : QObject(checkedOwner(owner)), owner_(static_cast<QWidget*>(owner)), services_(std::move(services)) {
    if (!services_.identity) services_.identity = makeSystemMachineIdentity();
    if (!services_.desktop) services_.desktop = makeSystemDesktopGeometry();
    saveKey_ = owner_->objectName();
    owner_->installEventFilter(this);
    // Sent by the owner's destructor before its children go, while its geometry is still there:
    // the moment its window is destroyed.
    connect(owner_, &QObject::destroyed, this, [this] {
        if (savePosition_) save(owner_);
    });
}

TFormSize::~TFormSize() {
    owner_->removeEventFilter(this);
}

QString TFormSize::Version() const {
    return QString::fromLatin1(kVersion);
}

QString TFormSize::sectionName() const {
    return QString::fromStdString(formsize::sectionName(
        saveKey_.toStdString(), saveUser_, saveUser_ ? services_.identity->userName() : std::string(),
        saveMachine_, saveMachine_ ? services_.identity->computerName() : std::string()));
}

std::unique_ptr<PlacementStore> TFormSize::openStore() const {
    if (saveName_.isEmpty() || saveKey_.isEmpty()) return nullptr;
    const std::string name = saveName_.toStdString();
    return location_ == plRegistry ? openRegistryPlacementStore(name) : openIniFilePlacementStore(name);
}

void TFormSize::Loaded() {
    if (loaded_) return;
    loaded_ = true;
    if (savePosition_) load();
}

void TFormSize::load() {
    const QRect currentFrame = owner_->frameGeometry();
    loadedTopLeft_ = currentFrame.topLeft();
    std::unique_ptr<PlacementStore> store = openStore();
    if (!store) return;
    const std::string section = sectionName().toStdString();

    formsize::LoadRequest request;
    request.current = toWindowRect(currentFrame);
    request.currentlyMaximized = owner_->isMaximized();
    request.savePosition = savePosition_;
    request.saveSize = saveSize_;
    const QRect desktop = services_.desktop->virtualDesktop();
    request.desktopWidth = desktop.width();
    request.desktopHeight = desktop.height();
    const formsize::LoadedPlacement placed =
        formsize::loadPlacement([&](const std::string& name) { return store->read(section, name); }, request);

    const formsize::WindowRect& bounds = placed.bounds;
    loadedTopLeft_ = QPoint(bounds.left, bounds.top);
    // Nothing stored and nothing to correct: the window stays where the window system puts it.
    if (!placed.fromStore && bounds == request.current && placed.maximized == request.currentlyMaximized)
        return;

    const QMargins frame = frameMargins(owner_);
    const QSize client(bounds.width() - frame.left() - frame.right(),
                       bounds.height() - frame.top() - frame.bottom());
    if (client != owner_->size()) {
        owner_->resize(client);
        // Before the window is shown its frame is not known yet; the stored size includes it.
        if (frame.isNull()) pendingFrameSize_ = QSize(bounds.width(), bounds.height());
    }
    if (services_.desktop->canPlaceWindows()) owner_->move(bounds.left, bounds.top);
    // A window of one fixed size is never maximised: its size could not follow the state.
    const bool fixedSize = owner_->minimumSize() == owner_->maximumSize();
    if (placed.maximized && !fixedSize) owner_->setWindowState(owner_->windowState() | Qt::WindowMaximized);
}

void TFormSize::save(QWidget* window) {
    // Runs from a destructor: nothing may escape, and a store that cannot be written at exit is
    // left as it was (the write is atomic) without troubling the user.
    try {
        std::unique_ptr<PlacementStore> store = openStore();
        if (!store) return;
        QRect normal = window->normalGeometry();
        if (!normal.isValid()) normal = window->geometry();
        normal = normal.marginsAdded(frameMargins(window));
        const bool positionKnown = services_.desktop->canPlaceWindows();
        // Where positions cannot be read back, the size is kept relative to the stored position.
        if (!positionKnown) normal.moveTopLeft(loadedTopLeft_);
        const auto values =
            formsize::placementValues(toWindowRect(normal), window->isMaximized(), positionKnown, saveSize_);
        if (values.empty()) return;
        store->write(sectionName().toStdString(), values);
    } catch (...) {
    }
}

bool TFormSize::eventFilter(QObject* watched, QEvent* event) {
    if (watched != owner_) return false;
    switch (event->type()) {
    case QEvent::Show:
        fitPendingFrameSize();
        break;
    case QEvent::Hide:
        pendingFrameSize_ = QSize();
        break;
    case QEvent::Move:
        fitPendingFrameSize();
        if (magnet_) applyMagnet();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
        if (dragAlways_ || dragging_) return dragEvent(static_cast<QMouseEvent*>(event));
        break;
    default:
        break;
    }
    return false;
}

void TFormSize::fitPendingFrameSize() {
    if (!pendingFrameSize_.isValid()) return;
    const QMargins frame = frameMargins(owner_);
    if (frame.isNull()) return; // not framed yet (or never: no window manager)
    const QSize outer = pendingFrameSize_;
    pendingFrameSize_ = QSize();
    owner_->resize(outer.width() - frame.left() - frame.right(),
                   outer.height() - frame.top() - frame.bottom());
}

void TFormSize::applyMagnet() {
    if (correcting_) return;
    const formsize::MagnetLimits limits =
        formsize::magnetLimits(toWindowRect(services_.desktop->primaryScreen()),
                               toWindowRect(services_.desktop->primaryAvailable()));
    const QRect frame = owner_->frameGeometry();
    const formsize::Point proposed{frame.x(), frame.y()};
    const formsize::Point corrected =
        formsize::magnetPosition(proposed, frame.width(), frame.height(), limits, magnetDistance_);
    if (corrected == proposed) return;
    correcting_ = true;
    owner_->move(corrected.x, corrected.y);
    correcting_ = false;
}

bool TFormSize::dragEvent(QMouseEvent* event) {
    const QPoint global = event->globalPosition().toPoint();
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        // Presses that a control took never get here; what reaches the window is its own surface.
        if (event->button() != Qt::LeftButton || !owner_->rect().contains(event->position().toPoint()))
            return false;
        event->accept();
        if (QWindow* handle = owner_->windowHandle(); handle && handle->startSystemMove()) return true;
        // No window manager to hand the move to: follow the mouse ourselves.
        dragging_ = true;
        dragStartGlobal_ = global;
        dragStartWindow_ = owner_->pos();
        return true;
    case QEvent::MouseMove:
        if (!dragging_) return false;
        if (!(event->buttons() & Qt::LeftButton)) {
            dragging_ = false;
            return false;
        }
        owner_->move(dragStartWindow_ + (global - dragStartGlobal_));
        return true;
    case QEvent::MouseButtonRelease:
        if (!dragging_ || event->button() != Qt::LeftButton) return false;
        dragging_ = false;
        return true;
    default:
        return false;
    }
}

} // namespace orvex
