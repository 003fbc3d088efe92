// The push button of every Orvex window: a flat body with a two-pixel, four-colour border, corners
// cut at 45 degrees (the window is masked, so what lies behind shows through the cuts), a caption,
// and optionally a gradient body and a mouse-over colour. While any mouse button is held on it the
// border colours swap and the caption moves by a pixel; only a left click raises clicked().
// Keys never press it. UI thread only; owned by its parent widget.
#pragma once

#include "controls/TColor.h"
#include "controls/lxButtonGeometry.h"

#include <QAbstractButton>
#include <QFont>
#include <QImage>

#include <array>

namespace orvex {

class TlxButton : public QAbstractButton {
    Q_OBJECT
public:
    // Construction values: 75 x 24, body clWindow, the property values listed below.
    explicit TlxButton(QWidget* parent = nullptr);

    // A button with its caption and geometry in window pixels, and the settings every button of the
    // program shares (applyProgramButtonSettings).
    TlxButton(const QString& caption, const QRect& geometry, QWidget* parent);

    // Every setter stores the value and repaints when it changed.
    TAlignment AlignmentH() const { return alignmentH_; }
    void setAlignmentH(TAlignment value);
    TlxAlignmentV AlignmentV() const { return alignmentV_; }
    void setAlignmentV(TlxAlignmentV value);
    TlxButtonBorderStyle BorderStyle() const { return borderStyle_; }
    void setBorderStyle(TlxButtonBorderStyle value);
    TColor Color() const { return color_; } // the body colour
    void setColor(TColor value);
    TColor ColorBorderTopOuter() const { return colorBorderTopOuter_; }
    void setColorBorderTopOuter(TColor value);
    TColor ColorBorderTopInner() const { return colorBorderTopInner_; }
    void setColorBorderTopInner(TColor value);
    TColor ColorBottomInner() const { return colorBottomInner_; }
    void setColorBottomInner(TColor value);
    TColor ColorBorderBottomOuter() const { return colorBorderBottomOuter_; }
    void setColorBorderBottomOuter(TColor value);
    TColor ColorGradient() const { return colorGradient_; }
    void setColorGradient(TColor value);
    TColor ColorGradientMouseEnter() const { return colorGradientMouseEnter_; }
    void setColorGradientMouseEnter(TColor value);
    TColor ColorMouseEnter() const { return colorMouseEnter_; }
    void setColorMouseEnter(TColor value);
    void setFontColor(TColor value); // the caption colour
    int EdgeCut() const { return edgeCut_; }
    // Limited by the current height and EdgeStyle (lxButtonGeometry.h, limitEdgeCut).
    void setEdgeCut(int value);
    TlxButtonEdgeStyle EdgeStyle() const { return edgeStyle_; }
    // Does not limit the current EdgeCut again.
    void setEdgeStyle(TlxButtonEdgeStyle value);
    TlxGradientStyle GradientStyle() const { return gradientStyle_; }
    void setGradientStyle(TlxGradientStyle value);
    bool UseGradient() const { return useGradient_; }
    void setUseGradient(bool value);
    bool UseMouseOverColor() const { return useMouseOverColor_; }
    void setUseMouseOverColor(bool value);
    // Stored only, as part of the button's property set: clicking does not use it, and no Orvex
    // window sets it, since each window closes from its own click handler.
    int ModalResult() const { return modalResult_; }
    void setModalResult(int value) { modalResult_ = value; }

    bool isPressed() const { return pressed_; }
    bool isMouseOver() const { return mouseOver_; }

    // The look of the button at its current size and state, drawn over `background` (what lies
    // behind the button). paintEvent draws the same thing onto the screen.
    QImage render(QColor background = Qt::transparent) const;

    QSize sizeHint() const override { return {75, 24}; }

signals:
    void OnMouseEnter();
    void OnMouseLeave();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

public:
    // Everything that decides the button's pixels when drawn into an image of a given format.
    struct Look {
        QSize size;
        qreal ratio = 1;
        QPoint dpi;
        QImage::Format format = QImage::Format_Invalid;
        QString text;
        QFont font;
        std::array<bool, 5> states{};
        std::array<int, 6> styles{};
        std::array<QRgb, 8> colours{};
        bool operator==(const Look&) const = default;
    };

private:
    Look look(QImage::Format format) const;
    void paintButton(QPainter& painter) const;
    void updateShape();
    template <class T> void assign(T& field, T value);

    TAlignment alignmentH_ = taCenter;
    TlxAlignmentV alignmentV_ = lxtavCenter;
    TlxButtonBorderStyle borderStyle_ = lxbbsBoth;
    TColor color_ = clWindow;
    TColor colorBorderTopOuter_ = clWhite;
    TColor colorBorderTopInner_ = cl3DLight;
    TColor colorBottomInner_ = clBtnShadow;
    TColor colorBorderBottomOuter_ = clBlack;
    TColor colorGradient_ = clWhite;
    TColor colorGradientMouseEnter_ = TColor(14155735);
    TColor colorMouseEnter_ = TColor(15456986);
    TColor fontColor_ = clWindowText;
    int edgeCut_ = 8;
    TlxButtonEdgeStyle edgeStyle_ = lxbegNorthWest;
    TlxGradientStyle gradientStyle_ = lxgsVertical;
    bool useGradient_ = false;
    bool useMouseOverColor_ = false;
    int modalResult_ = 0;

    bool pressed_ = false;
    bool mouseOver_ = false;
    TColor savedColor_ = clWindow;
};

// The settings every button of the program shares: four-line border, north-west cuts of 8 px,
// centred caption, white outer light line and gradient end, no gradient, no mouse-over colour,
// hand cursor, not a Tab stop (the windows give each button its height of 20). Windows that want other
// colours set them afterwards.
void applyProgramButtonSettings(TlxButton& button);

// Makes screen readers see TlxButton and the link buttons as push buttons with a Press action.
// Idempotent; the constructors call it.
void installButtonAccessibility();

} // namespace orvex
