// Both custom-painted buttons appear to assistive technology as push buttons named by their
// caption (or accessibleName) with a Press action that clicks them. The click is queued: a click
// that opens a modal box would otherwise keep the assistive technology's call waiting until the box
// closes, and the client would report the program as hung.
#include "controls/TMTranBtn.h"
#include "controls/TlxButton.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace orvex {

namespace {

class AccessibleButton : public QAccessibleWidget {
public:
    explicit AccessibleButton(QAbstractButton* button) : QAccessibleWidget(button, QAccessible::Button) {}

    QString text(QAccessible::Text kind) const override {
        if (kind != QAccessible::Name) return QAccessibleWidget::text(kind);
        // accessibleName, else the caption, else what Qt derives (a group box's title, for one).
        QString name = widget()->accessibleName();
        if (name.isEmpty()) {
            name = button()->text();
            name.remove(QLatin1Char('&'));
        }
        return name.isEmpty() ? QAccessibleWidget::text(kind) : name;
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        if (auto* lx = qobject_cast<TlxButton*>(button()))
            s.pressed = lx->isPressed();
        else if (auto* tran = qobject_cast<TMTranBtn*>(button()))
            s.pressed = tran->isPressed();
        return s;
    }

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action == pressAction()) {
            // click() does nothing when the button has been disabled in the meantime; a deleted
            // button drops the queued call.
            QAbstractButton* target = button();
            QMetaObject::invokeMethod(
                target, [target] { target->click(); }, Qt::QueuedConnection);
            return;
        }
        QAccessibleWidget::doAction(action);
    }

private:
    QAbstractButton* button() const { return static_cast<QAbstractButton*>(widget()); }
};

QAccessibleInterface* buttonFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(TlxButton::staticMetaObject.className()) ||
        className == QLatin1String(TMTranBtn::staticMetaObject.className()))
        if (auto* button = qobject_cast<QAbstractButton*>(object)) return new AccessibleButton(button);
    return nullptr;
}

} // namespace

void installButtonAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(buttonFactory);
        return true;
    }();
    (void)installed;
}

} // namespace orvex
