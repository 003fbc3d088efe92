// The main window's group boxes: a thin rounded frame in a light grey-blue whose caption, in blue,
// sits on the top line, whatever the palette. The box paints itself; a style sheet would give the
// same look, but a style sheet on any ancestor hands every control below it to Qt's style-sheet
// style, which polishes, resolves fonts and paints noticeably slower.
//
// The box stands on a window face of a fixed colour (white), but the controls inside keep the
// desktop's window colour and window text colour, from which the style shades their frames, arrows
// and scroll bars: the box gives its children the application palette's Window and WindowText, and
// follows when the application palette changes.
#pragma once

#include <QGroupBox>

namespace orvex {

class FramedGroupBox : public QGroupBox {
public:
    explicit FramedGroupBox(const QString& title, QWidget* parent = nullptr);

    // The frame's top line runs this far below the top; the caption is centred on it.
    static constexpr int kFrameTop = 6;
    // The caption's left end, with the gap cut into the frame around it.
    static constexpr int kCaptionLeft = 5;
    static constexpr int kCaptionPadding = 1;
    static constexpr int kCaptionTop = -1;
    static constexpr int kCornerRadius = 3;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void keepContentsMargins();
    void takeDesktopFace();
};

} // namespace orvex
