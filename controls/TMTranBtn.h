// A light-weight click area drawn straight onto its parent and transparent wherever it draws
// nothing: an optional picture with one colour keyed out, an optional caption below it, and an
// optional one-pixel 3-D frame. Any left click inside its rectangle raises clicked(). It takes no
// keyboard focus unless its owner gives it a focus policy; while it then holds the focus it shows a
// dotted focus frame and Enter or Space clicks it. UI thread only; owned by its parent widget.
#pragma once

#include <QAbstractButton>
#include <QImage>
#include <optional>

namespace orvex {

enum BStyle { BSnone, BsNormal, BsIe };

class TMTranBtn : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int kMaxCaptionLength = 40;

    // Construction values: 30 x 30, BsNormal, no picture, no caption, Arial 9 pt.
    explicit TMTranBtn(QWidget* parent = nullptr);

    const QImage& BitMap() const { return bitmap_; }
    // Copies the picture and repaints. Without `transparentColour` the picture's bottom-left pixel
    // gives the colour that is keyed out.
    void setBitMap(const QImage& picture, std::optional<QColor> transparentColour = std::nullopt);
    QColor transparentColour() const { return keyColour_; }

    BStyle Border() const { return border_; }
    void setBorder(BStyle value);

    QString Caption() const { return text(); }
    // Longer captions are cut to kMaxCaptionLength characters.
    void setCaption(const QString& caption);

    bool isPressed() const { return pressed_; }
    bool isMouseOver() const { return mouseOver_; }
    // Where the picture was last drawn (empty before the first paint or without a picture).
    QRect pictureRect() const { return pictureRect_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Whether a left press shows as pressed: always with a frame, else only over the picture.
    bool pressTracksLook() const { return border_ != BSnone || mouseOver_; }
    bool onPicturePixel(QPoint pos) const;

    QImage bitmap_;
    QImage keyed_; // bitmap_ with the key colour made transparent
    QColor keyColour_;
    BStyle border_ = BsNormal;
    bool pressed_ = false;
    bool mouseOver_ = false;
    QRect pictureRect_;
};

} // namespace orvex
