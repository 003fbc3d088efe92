#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/FirstPaint.h"
#include "app/TForm1.h"
#include "controls/ErrorReport.h"
#include "controls/Fonts.h"
#include "controls/Notifier.h"
#include "controls/OperationRunner.h"
#include "platform/Exception.h"
#include "resolve/WinsockIntf.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <optional>

int main(int argc, char* argv[]) {
    using namespace orvex;
    // A command-line mode answers on the console and ends before anything of the window starts.
    if (const std::optional<int> code = runCommandLine(argc, argv, stdout, stderr)) return *code;
    readFontConfigurationAhead();
    // On X11 the window's pictures go to the server over the connection, not through shared
    // memory: with shared memory, Qt waits for the server (a round trip) before it paints again
    // where it painted last, which the clock does every second. The window is small; a whole
    // picture is some hundred kilobytes. Left alone when the user has set the variable.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orvex"));
    QApplication::setOrganizationName(QStringLiteral("orvex"));
    const AheadWork imageFormats = listImageFormatsAhead();
    try {
        installSocketApi(std::make_unique<TWinsockIntf11>());
    } catch (const Exception& e) {
        notifier().error(nullptr, QString::fromUtf8(kApplicationTitle), QString::fromUtf8(e.what()));
        return 1;
    }

    auto mainWindow = createMainWindowFirst(systemForm1Services());
    exitAfterFirstPaintIfRequested(mainWindow.get());
    mainWindow->show();
    const int code = QApplication::exec();
    mainWindow.reset(); // the main window stores its position as it is destroyed
    // A worker still inside a call that cannot be interrupted (a resolver call, a wait on a server)
    // must not hold up the end, nor meet the program's objects as they are torn down.
    if (!OperationRunner::waitForWorkers(0)) {
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}
