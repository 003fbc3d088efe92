// A line of text drawn from glyphs shaped once. A label whose text changes every second (a clock)
// would otherwise have its text laid out and shaped anew at every paint, which costs several times
// what drawing the glyphs does. Texts made of the prepared characters are drawn from a table of
// their glyphs and advances instead. prepare() takes the characters only where the table gives the
// very positions that shaping gives: each character has one glyph of one face, and its advance does
// not depend on the character beside it (no kerning and no ligature among them).
#pragma once

#include <QList>
#include <QPointF>
#include <QRawFont>
#include <QString>
#include <QStringView>

class QFont;
class QPainter;

namespace orvex {

class GlyphLine {
public:
    // False, and nothing covered, where the table would not match shaping.
    bool prepare(const QFont& font, const QString& characters);
    void clear();
    bool covers(QStringView text) const;

    // The line as text layout measures it: ascent plus descent.
    qreal height() const { return height_; }
    // The width of a covered text as text layout measures it: its advances, but for trailing
    // blanks.
    qreal width(QStringView text) const;

    // Draws `text`, which must be covered, with the top left of its line at `topLeft`, in the
    // painter's pen.
    void draw(QPainter& painter, QPointF topLeft, QStringView text) const;

private:
    QRawFont font_;
    QString characters_;
    QList<quint32> glyphs_; // per character of characters_
    QList<qreal> advances_; // per character of characters_
    QPointF first_;         // where the first glyph's origin lies, from the line's top left
    qreal height_ = 0;
};

} // namespace orvex
