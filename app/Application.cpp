#include "app/Application.h"

#include "app/FirstPaint.h"
#include "app/TForm1.h"
#include "app/TForm2.h"
#include "app/TForm5.h"
#include "controls/Fonts.h"
#include "platform/Threads.h"
#include "tcphistory/TForm3.h"
#include "web/TForm4.h"

#include <QApplication>
#include <QIcon>
#include <QImageReader>
#include <QTimer>

#include <memory>
#include <system_error>

namespace orvex {

namespace {

constexpr int kLatestSecondaryWindowsMs = 1000;

void setApplicationIcon() {
    // Qt decodes each picture as it is added; X11 takes every size with the window's icon anyway,
    // so this runs after the first paint (createMainWindowFirst).
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/orvex-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
}

void createSecondaryWindows(TForm1& form1, std::shared_ptr<TcpTable> tcpTable) {
    form1.Form2 = new TForm2(&form1);
    form1.Form3 = new TForm3(&form1, std::move(tcpTable));
    form1.Form4 = new TForm4(&form1);
    form1.Form5 = new TForm5(&form1);
}

// The fonts and the desktop entry's name the main window needs, then the main window itself.
std::unique_ptr<TForm1> createMainWindow(Form1Services services) {
    loadWindowsFonts();
    followDesktopTextSize();
    QGuiApplication::setDesktopFileName(QStringLiteral("de.orvex.Orvex"));
    return std::make_unique<TForm1>(std::move(services));
}

} // namespace

Windows createWindows(Form1Services services) {
    setApplicationIcon();
    Windows windows;
    auto tcpTable = services.tcpTable;
    windows.Form1 = createMainWindow(std::move(services));
    createSecondaryWindows(*windows.Form1, std::move(tcpTable));
    windows.Form2 = windows.Form1->Form2;
    windows.Form3 = windows.Form1->Form3;
    windows.Form4 = windows.Form1->Form4;
    windows.Form5 = windows.Form1->Form5;
    return windows;
}

std::unique_ptr<TForm1> createMainWindowFirst(Form1Services services) {
    auto tcpTable = services.tcpTable;
    auto form1 = createMainWindow(std::move(services));
    TForm1* main = form1.get();
    const auto buildTheRest = [main, tcpTable] {
        if (main->Form2) return;
        setApplicationIcon();
        createSecondaryWindows(*main, tcpTable);
    };
    afterFirstPaint(main, buildTheRest);
    // A window that is not painted soon (started minimised, say) gets them all the same.
    QTimer::singleShot(kLatestSecondaryWindowsMs, main, buildTheRest);
    return form1;
}

AheadWork listImageFormatsAhead() {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> listed = done->get_future();
    try {
        startCountedThread([done] {
            QImageReader::supportedImageFormats();
            done->set_value();
        });
    } catch (const std::system_error&) {
        return {}; // no thread: the first picture lists them
    }
    return AheadWork(std::move(listed));
}

} // namespace orvex
