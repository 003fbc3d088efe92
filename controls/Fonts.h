// The Windows faces the windows are laid out for. fontconfig maps Arial, Courier New and Verdana
// to metric-compatible families; Tahoma and MS Sans Serif come from fonts-wine, which does not
// register them, so loadWindowsFonts() adds them to the application when present.
#pragma once

#include <QFont>
#include <QString>

class QWidget;

namespace orvex {

// Starts reading the system's font configuration (fontconfig's files and caches, a few
// milliseconds) and the Windows faces on a thread of its own, so that it overlaps the start of the
// application (the window system connection); loadWindowsFonts() waits for it. Call it first in
// main, before any font is used; calling it again does nothing.
void readFontConfigurationAhead();

void loadWindowsFonts();

// A font of the given family with a character height in pixels, the unit the window layouts use.
// At device pixel ratios above 1 a face made from bitmap strikes is replaced by a scalable one
// (scalableFace).
QFont pixelFont(const QString& family, int pixels, bool bold = false);

// The face to draw `family` with at device pixel ratio `ratio`: "MS Sans Serif" is traced from
// bitmap strikes and renders spaced out when scaled, so above ratio 1 it becomes Tahoma (or
// Liberation Sans where Tahoma is missing). Other families are returned as they are.
QString scalableFace(const QString& family, qreal ratio);

// Large text. The windows are laid out in fixed pixel faces (11 and 12 px), made for a desktop whose
// general font is the usual 10 or 11 pt. A user who set a larger one (GNOME's or KDE's settings,
// qt6ct; Qt reports it through its platform theme) gets the whole window scaled by
// desktopTextScale, as a device pixel ratio scales it: larger, crisp text with the layout intact.

// The factor for a desktop whose general font is desktopFont: its size over 11 pt, in steps of a
// quarter (nearest), and 1 below 1.25 (a 12 pt font keeps the windows as they are).
qreal desktopTextScale(const QFont& desktopFont);

// Scales every window by desktopTextScale of the platform theme's general font. Does nothing when
// the user set QT_SCALE_FACTOR (their own choice wins, and QT_SCALE_FACTOR=1 turns the scaling
// off). Call once the application exists and before the first window is created.
void followDesktopTextSize();

// Gives control its parent's font where it does not have it already: a control that does not
// inherit it (under a style sheet, which stops font propagation) would take the desktop's font,
// which a large desktop font makes too tall for the fixed-size fields.
void takeParentFont(QWidget* control);

} // namespace orvex
