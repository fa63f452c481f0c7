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

} // namespace Palette

// Sets a control's background. The colour is also kept as the control's
// "backColor" property, so it can be read back whatever the widget style.
void setBackColor(QWidget* widget, const QColor& color);
QColor backColor(const QWidget* widget);

} // namespace tolvan
