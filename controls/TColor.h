// Colours as the windows set them: 24-bit numbers with red in the low byte, green in
// the middle byte and blue in the high byte, or one of the platform's system colours, which are
// resolved against the application palette each time they are drawn.
#pragma once

#include <QColor>
#include <cstdint>

class QWidget;

namespace orvex {

struct TColor {
    std::uint32_t value = 0;

    constexpr TColor() = default;
    // Implicit, so a colour number is passed as it is: setColorGradient(15790320).
    constexpr TColor(std::uint32_t number) : value(number) {}

    constexpr bool isSystem() const { return (value & 0xFF000000u) == 0xFF000000u; }
    constexpr int red() const { return static_cast<int>(value & 0xFF); }
    constexpr int green() const { return static_cast<int>((value >> 8) & 0xFF); }
    constexpr int blue() const { return static_cast<int>((value >> 16) & 0xFF); }

    static constexpr TColor fromRgb(int r, int g, int b) {
        return TColor(static_cast<std::uint32_t>(r & 0xFF) | static_cast<std::uint32_t>(g & 0xFF) << 8 |
                      static_cast<std::uint32_t>(b & 0xFF) << 16);
    }

    friend constexpr bool operator==(TColor, TColor) = default;
};

inline constexpr TColor clBlack{0x000000u};
inline constexpr TColor clWhite{0xFFFFFFu};
// System colours carry the platform's colour index in the low byte.
inline constexpr TColor clWindow{0xFF000005u};
inline constexpr TColor clWindowText{0xFF000008u};
inline constexpr TColor clBtnFace{0xFF00000Fu};
inline constexpr TColor clBtnShadow{0xFF000010u};
inline constexpr TColor clBtnText{0xFF000012u};
inline constexpr TColor clBtnHighlight{0xFF000014u};
inline constexpr TColor cl3DDkShadow{0xFF000015u};
inline constexpr TColor cl3DLight{0xFF000016u};

// The colour to paint with; system colours come from the application palette at the moment of the
// call, so a palette change shows at the next repaint. Unknown system indices resolve to black.
QColor toQColor(TColor colour);

// Text drawn on a fixed light face: black in every colour group (grey while disabled), so it stays
// readable whatever palette the desktop brings. Style sheets stop palette inheritance, so a control
// under a style sheet needs this call of its own.
void setFixedText(QWidget* widget);

// A fixed background `face` with black text (setFixedText); children without a style sheet inherit
// both.
void setFixedFace(QWidget* widget, QColor face);

} // namespace orvex
