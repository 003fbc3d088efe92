#include "controls/Notifier.h"

#include <QMessageBox>

namespace orvex {

namespace {

void showBox(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text) {
    // Texts carry what the user typed and what servers sent: shown as they are, never as markup.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(icon, caption, shown, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
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
