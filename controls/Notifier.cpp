#include "controls/Notifier.h"

#include <QMessageBox>

namespace orvex {

namespace {

void showBox(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
    box.exec();
}

Notifier*& current() {
    static MessageBoxNotifier boxes;
    static Notifier* active = &boxes;
    return active;
}

} // namespace

void MessageBoxNotifier::information(QWidget* owner, const QString& text) {
    showBox(owner, QMessageBox::Information, QStringLiteral("Information"), text);
}

void MessageBoxNotifier::error(QWidget* owner, const QString& caption, const QString& text) {
    showBox(owner, QMessageBox::Critical, caption, text);
}

void MessageBoxNotifier::message(QWidget* owner, const QString& caption, const QString& text) {
    showBox(owner, QMessageBox::Information, caption, text);
}

Notifier& notifier() {
    return *current();
}

Notifier* setNotifier(Notifier* replacement) {
    Notifier* previous = current();
    current() = replacement;
    return previous;
}

} // namespace orvex
