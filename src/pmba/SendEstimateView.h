#pragma once

#include "pmba/SendEstimate.h"

class QComboBox;
class QLabel;
class QWidget;

namespace tolvan {

class ConfigStore;

// The small pieces that show a file's size and air time on the screens that
// send files, and the box that sets the station's link speed.
namespace SendEstimateView {

// A word-wrapping label in dark text on a light face, empty until Show.
QLabel* MakeLabel(QWidget* parent, const QString& objectName);
// Fills the label with the three sizes and air times at the stored link
// speed, the smallest marked; an empty path empties it.
void Show(QLabel* label, const ConfigStore& store, const QString& path, const SendEstimate::Texts& texts);

// An editable list of the common link speeds showing the stored one. A
// speed chosen or typed (Enter or leaving the box) is stored at once; text
// that is no positive number is put back to the stored speed.
QComboBox* MakeLinkSpeedBox(QWidget* parent, ConfigStore& store, const QString& objectName);

} // namespace SendEstimateView
} // namespace tolvan
