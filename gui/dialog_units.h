// Dialog units: a font's base units as Windows counts them, a rectangle's
// pixels in those units, and where an anchored control lies once the window
// is resized.
#pragma once

#include "gui/form_description.h"

namespace quillon::gui {

// Where a control designed at `place` in a client area of `designed` lies in
// one of `client`: anchored edges keep their distance to the window's edge.
// Any unit, as long as all four are in the same one.
Rect PlaceInClient(Rect place, unsigned anchors, int designedWidth, int designedHeight,
                   int clientWidth, int clientHeight);

// Pixels of a rectangle in dialog units, for a font whose average character
// is `baseX` pixels wide and `baseY` pixels high (as MapDialogRect counts).
Rect DialogUnitsToPixels(const Rect& units, int baseX, int baseY);

// A font's dialog base units as Windows counts them: `lettersWidth` is the
// width of "A".."Z" followed by "a".."z", `height` the font's height.
struct BaseUnits {
  int x = 0, y = 0;
};
BaseUnits DialogBaseUnits(int lettersWidth, int height);
inline constexpr const char* kBaseUnitLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

}  // namespace quillon::gui
