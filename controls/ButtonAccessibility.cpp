// Both custom-painted buttons appear to assistive technology as push buttons named by their
// caption (or accessibleName) with a Press action that clicks them.
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
        QString value = QAccessibleWidget::text(kind);
        if (kind == QAccessible::Name && value.isEmpty()) {
            value = button()->text();
            value.remove(QLatin1Char('&'));
        }
        return value;
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
            if (button()->isEnabled()) button()->click();
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
