// The one seam through which the program hands a web address to the desktop's default browser.
// The program uses DesktopUrlOpener; tests install a recorder instead of starting a browser.
// UI thread only.
#pragma once

#include <QUrl>

class QWidget;

namespace orvex {

class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // Fire and forget: a page that cannot be opened is not reported.
    virtual void open(QWidget* owner, const QUrl& address) = 0;
};

class DesktopUrlOpener final : public UrlOpener {
public:
    void open(QWidget* owner, const QUrl& address) override;
};

// The process's opener; DesktopUrlOpener unless a test replaced it.
UrlOpener& urlOpener();
// Replaces the process's opener (tests); returns the previous one. Does not take ownership;
// nullptr restores the desktop opener.
UrlOpener* setUrlOpener(UrlOpener* replacement);

} // namespace orvex
