#include "app/Application.h"
#include "app/FirstPaint.h"
#include "app/TForm1.h"
#include "controls/ErrorReport.h"
#include "controls/Notifier.h"
#include "platform/Exception.h"
#include "resolve/WinsockIntf.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    using namespace orvex;
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orvex"));
    QApplication::setOrganizationName(QStringLiteral("orvex"));
    try {
        installSocketApi(std::make_unique<TWinsockIntf11>());
    } catch (const Exception& e) {
        notifier().error(nullptr, QString::fromUtf8(kApplicationTitle), QString::fromUtf8(e.what()));
        return 1;
    }

    const auto mainWindow = createMainWindowFirst(systemForm1Services());
    exitAfterFirstPaintIfRequested(mainWindow.get());
    mainWindow->show();
    return QApplication::exec();
}
