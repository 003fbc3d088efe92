#include "app/UrlOpener.h"

#include <QDesktopServices>

namespace orvex {

void DesktopUrlOpener::open(QWidget*, const QUrl& address) {
    QDesktopServices::openUrl(address);
}

namespace {
DesktopUrlOpener desktopOpener;
UrlOpener* current = &desktopOpener;
} // namespace

UrlOpener& urlOpener() {
    return *current;
}

UrlOpener* setUrlOpener(UrlOpener* replacement) {
    UrlOpener* previous = current;
    current = replacement ? replacement : &desktopOpener;
    return previous;
}

} // namespace orvex
