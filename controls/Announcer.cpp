#include "controls/Announcer.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace orvex {

namespace {

constexpr const char* kAnnouncerName = "orvexAnnouncer";

class AnnouncerAccessible : public QAccessibleWidget {
public:
    explicit AnnouncerAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::AlertMessage) {}
    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name) return widget()->accessibleName();
        return QAccessibleWidget::text(kind);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.invisible = false; // nothing drawn, but there for assistive technology
        return s;
    }
};

QAccessibleInterface* announcerFactory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr || widget->objectName() != QLatin1String(kAnnouncerName)) return nullptr;
    return new AnnouncerAccessible(widget);
}

QWidget* announcerOf(QWidget* window) {
    if (auto* found = window->findChild<QWidget*>(QLatin1String(kAnnouncerName), Qt::FindDirectChildrenOnly))
        return found;
    static const bool installed = [] {
        QAccessible::installFactory(announcerFactory);
        return true;
    }();
    (void)installed;
    auto* announcer = new QWidget(window);
    announcer->setObjectName(QLatin1String(kAnnouncerName));
    announcer->setGeometry(0, 0, 0, 0);
    announcer->setFocusPolicy(Qt::NoFocus);
    announcer->setAttribute(Qt::WA_TransparentForMouseEvents);
    announcer->show();
    return announcer;
}

} // namespace

void announce(QWidget* window, const QString& text) {
    if (window == nullptr || text.isEmpty() || !QAccessible::isActive()) return;
    QWidget* announcer = announcerOf(window->window());
    announcer->setAccessibleName(text); // raises NameChanged
    QAccessibleEvent shown(announcer, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

void announceNewRow(QAbstractItemView* view, int row) {
    if (!QAccessible::isActive()) return;
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(view);
    QAccessibleInterface* item = list != nullptr ? list->child(row) : nullptr;
    if (item == nullptr) return;
    QAccessibleEvent created(item, QAccessible::ObjectCreated);
    QAccessible::updateAccessibility(&created);
}

} // namespace orvex
