#include "controls/GlyphLine.h"

#include <QFont>
#include <QGlyphRun>
#include <QPainter>
#include <QTextLayout>

namespace orvex {

bool GlyphLine::prepare(const QFont& font, const QString& wanted) {
    clear();
    QString characters;
    for (QChar c : wanted)
        if (!characters.contains(c)) characters += c;
    if (characters.isEmpty()) return false;
    // Every ordered pair side by side, so that each character stands before every other one (and
    // before itself) somewhere in one shaped line.
    QString pairs;
    pairs.reserve(2 * characters.size() * characters.size());
    for (QChar first : characters) {
        for (QChar second : characters) {
            pairs += first;
            pairs += second;
        }
    }
    QTextLayout layout(pairs, font);
    QTextOption option;
    option.setTextDirection(Qt::LeftToRight);
    layout.setTextOption(option);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (!line.isValid() || runs.size() != 1) return false; // a character from another face
    const QList<quint32> glyphs = runs[0].glyphIndexes();
    const QList<QPointF> positions = runs[0].positions();
    if (glyphs.size() != pairs.size() || positions.size() != pairs.size()) return false; // a ligature

    QList<quint32> table(characters.size(), 0);
    QList<qreal> advances(characters.size(), -1);
    QList<bool> seen(characters.size(), false);
    for (qsizetype i = 0; i < pairs.size(); ++i) {
        const qsizetype k = characters.indexOf(pairs[i]);
        if (positions[i].y() != positions[0].y()) return false;
        if (seen[k] && table[k] != glyphs[i]) return false;
        table[k] = glyphs[i];
        seen[k] = true;
        if (i + 1 == pairs.size()) break;
        const qreal advance = positions[i + 1].x() - positions[i].x();
        if (advances[k] >= 0 && advances[k] != advance) return false; // kerned against a neighbour
        advances[k] = advance;
    }
    font_ = runs[0].rawFont();
    characters_ = characters;
    glyphs_ = std::move(table);
    advances_ = std::move(advances);
    first_ = positions[0] - line.position();
    height_ = line.ascent() + line.descent();
    return true;
}

void GlyphLine::clear() {
    font_ = QRawFont();
    characters_.clear();
    glyphs_.clear();
    advances_.clear();
    first_ = {};
    height_ = 0;
}

bool GlyphLine::covers(QStringView text) const {
    if (characters_.isEmpty()) return false;
    for (QChar c : text)
        if (!characters_.contains(c)) return false;
    return true;
}

qreal GlyphLine::width(QStringView text) const {
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    qreal width = 0;
    for (QChar c : text)
        width += advances_[characters_.indexOf(c)];
    return width;
}

void GlyphLine::draw(QPainter& painter, QPointF topLeft, QStringView text) const {
    QList<quint32> glyphs;
    QList<QPointF> positions;
    glyphs.reserve(text.size());
    positions.reserve(text.size());
    QPointF at = first_;
    for (QChar c : text) {
        const qsizetype k = characters_.indexOf(c);
        glyphs.append(glyphs_[k]);
        positions.append(at);
        at.rx() += advances_[k];
    }
    QGlyphRun run;
    run.setRawFont(font_);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    painter.drawGlyphRun(topLeft, run);
}

} // namespace orvex
