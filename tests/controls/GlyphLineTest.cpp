#include "controls/GlyphLine.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QTest>

using namespace orvex;

class GlyphLineTest : public QObject {
    Q_OBJECT

    static QFont dejaVu() {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(24);
        return font;
    }

private slots:
    // Drawn from the table, a text lands on the pixels where QPainter::drawText puts it.
    void drawsLikeShapedText() {
        GlyphLine line;
        QVERIFY(line.prepare(dejaVu(), QStringLiteral("0123456789:")));
        QVERIFY(line.covers(u"20:47:13"));
        QVERIFY(!line.covers(u"20:47 Uhr"));
        QImage table(200, 40, QImage::Format_RGB32), shaped(table.size(), table.format());
        for (const QString& text :
             {QStringLiteral("20:47:13"), QStringLiteral("11:11:11"), QStringLiteral("98:65:30")}) {
            table.fill(Qt::white);
            shaped.fill(Qt::white);
            QPainter onTable(&table);
            line.draw(onTable, QPointF(3, 5), text);
            onTable.end();
            QPainter onShaped(&shaped);
            onShaped.setFont(dejaVu());
            onShaped.drawText(QRectF(3, 5, 190, line.height()), Qt::AlignLeft | Qt::AlignTop, text);
            onShaped.end();
            QCOMPARE(table, shaped);
            QCOMPARE(line.width(text + QStringLiteral("  ")),
                     QFontMetricsF(dejaVu()).horizontalAdvance(text));
        }
    }

    // Characters whose glyphs or positions depend on their neighbours are refused: a kerned pair, a
    // ligature.
    void refusesWhatShapingChanges() {
        GlyphLine line;
        QVERIFY(!line.prepare(dejaVu(), QStringLiteral("AVT")));
        QVERIFY(!line.covers(u"A"));
        QVERIFY(!line.prepare(dejaVu(), QStringLiteral("fi")));
        QVERIFY(!line.prepare(dejaVu(), QString()));
    }
};

QTEST_MAIN(GlyphLineTest)
#include "GlyphLineTest.moc"
