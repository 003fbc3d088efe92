#include "app/Application.h"

#include "app/TForm1.h"
#include "app/TForm2.h"
#include "app/TForm5.h"
#include "controls/Fonts.h"
#include "tcphistory/TForm3.h"
#include "web/TForm4.h"

#include <QApplication>
#include <QIcon>

namespace orvex {

Windows createWindows(Form1Services services) {
    loadWindowsFonts();
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/orvex-%1.png").arg(size));
    QApplication::setWindowIcon(icon);
    QGuiApplication::setDesktopFileName(QStringLiteral("de.orvex.Orvex"));
    Windows windows;
    auto tcpTable = services.tcpTable;
    windows.Form1 = std::make_unique<TForm1>(std::move(services));
    windows.Form2 = new TForm2(windows.Form1.get());
    windows.Form3 = new TForm3(windows.Form1.get(), std::move(tcpTable));
    windows.Form4 = new TForm4(windows.Form1.get());
    windows.Form5 = new TForm5(windows.Form1.get());
    windows.Form1->Form2 = windows.Form2;
    windows.Form1->Form3 = windows.Form3;
    windows.Form1->Form4 = windows.Form4;
    windows.Form1->Form5 = windows.Form5;
    return windows;
}

} // namespace orvex
