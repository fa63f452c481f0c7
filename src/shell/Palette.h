#pragma once

#include <QColor>

class QWidget;

namespace tolvan {

// The screens' colours. The palette is set once, when the main menu first
// loads, and kept for the life of the process.
namespace Palette {

inline const QColor kOn(0, 255, 0);
inline const QColor kSoundOff(255, 0, 0);

void InitColorPalette();
// Entry 1..12; entry 8 (light orange) is the "off" colour of the switches.
QColor entry(int index);
bool initialised();

// WCAG contrast ratio of two colours, 1 (none) to 21 (black on white).
double contrastRatio(const QColor& a, const QColor& b);
// The text colour for a background, for an enabled or a disabled control:
// black or white, whichever reads better; disabled text is a grey as far
// from it as still keeps a contrast ratio of at least 4.6.
QColor readableText(const QColor& background, bool enabled);
// Style sheet rules giving a control this background and readable text in
// both states.
QString readableStyle(const QColor& background);
// Readable disabled text for a screen's own palette.
void makeDisabledTextReadable(QWidget* screen);

} // namespace Palette

// Sets a control's background. The colour is also kept as the control's
// "backColor" property, so it can be read back whatever the widget style.
void setBackColor(QWidget* widget, const QColor& color);
QColor backColor(const QWidget* widget);

} // namespace tolvan
