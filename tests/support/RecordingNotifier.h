// Records the notices and error reports a window would have shown, instead of blocking on a box.
#pragma once

#include "controls/Notifier.h"

#include <QStringList>
#include <functional>
#include <vector>

namespace orvex::test {

struct ShownBox {
    enum class Kind { Information, Error, Message } kind;
    QString caption;
    QString text;
};

class RecordingNotifier : public Notifier {
public:
    RecordingNotifier();           // installs itself as the process's notifier
    ~RecordingNotifier() override; // restores the previous one

    void information(QWidget* owner, const QString& text) override;
    void error(QWidget* owner, const QString& caption, const QString& text) override;
    void message(QWidget* owner, const QString& caption, const QString& text) override;

    std::vector<ShownBox> shown;
    // Runs while the box "is open" (e.g. to check focus or timers during a modal box).
    std::function<void(const ShownBox&)> onShow;

    QStringList texts() const;
    void clear() { shown.clear(); }

private:
    void record(ShownBox box);
    Notifier* previous_;
};

} // namespace orvex::test
