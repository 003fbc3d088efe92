#include "controls/LocaleFormats.h"

#include <QLocale>
#include <QTest>

using namespace orvex;

// The short date keeps a four-digit year even where Qt's locale tables shorten it; the long time
// drops the time-zone name.
class LocaleFormatsTest : public QObject {
    Q_OBJECT
private slots:
    void formatsPerLocale_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("time");
        QTest::newRow("German") << "de_DE"
                                << "06.12.2026"
                                << "14:05:31";
        QTest::newRow("US") << "en_US"
                            << "12/6/2026"
                            << "2:05:31 PM";
    }
    void formatsPerLocale() {
        QFETCH(QString, locale);
        QFETCH(QString, date);
        QFETCH(QString, time);
        const QLocale chosen(locale);
        QCOMPARE(chosen.toString(QDate(2026, 12, 6), shortDateFormatFor(chosen)), date);
        QCOMPARE(chosen.toString(QTime(14, 5, 31), longTimeFormatFor(chosen)), time);
    }
};

QTEST_GUILESS_MAIN(LocaleFormatsTest)
#include "LocaleFormatsTest.moc"
