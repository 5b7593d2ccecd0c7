// Japanese font faces: the ones the layout names where this machine has
// them, otherwise a free face of the same kind.
#pragma once

#include <QString>

class QWidget;

namespace telvane {

// A proportional Gothic (sans-serif) face.
QString GothicFamily();
// A proportional Mincho (serif) face.
QString MinchoFamily();

// Replaces the layout's Gothic and Mincho faces in the fonts of a widget
// and its children by faces this machine has, keeping styles, and gives
// each font whose widget has the property "characterHeight" that height in
// pixels (the layout's unit).
void ApplyJapaneseFonts(QWidget* root);

} // namespace telvane
