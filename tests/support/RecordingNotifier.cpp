#include "tests/support/RecordingNotifier.h"

namespace orvex::test {

RecordingNotifier::RecordingNotifier() : previous_(setNotifier(this)) {}
RecordingNotifier::~RecordingNotifier() {
    setNotifier(previous_);
}

void RecordingNotifier::record(ShownBox box) {
    shown.push_back(box);
    if (onShow) onShow(shown.back());
}

void RecordingNotifier::information(QWidget*, const QString& text) {
    record({ShownBox::Kind::Information, QStringLiteral("Information"), text});
}

void RecordingNotifier::error(QWidget*, const QString& caption, const QString& text) {
    record({ShownBox::Kind::Error, caption, text});
}

void RecordingNotifier::message(QWidget*, const QString& caption, const QString& text) {
    record({ShownBox::Kind::Message, caption, text});
}

QStringList RecordingNotifier::texts() const {
    QStringList list;
    for (const auto& box : shown)
        list << box.text;
    return list;
}

} // namespace orvex::test
