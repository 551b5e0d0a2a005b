// Rounded as Windows rounds, so that a window looks the same in both front
// ends and as it did when designed.
#include "gui/dialog_units.h"

namespace quillon::gui {

Rect PlaceInClient(Rect place, unsigned anchors, int designedWidth, int designedHeight,
                   int clientWidth, int clientHeight) {
  const int growX = clientWidth - designedWidth;
  const int growY = clientHeight - designedHeight;
  if (anchors & kAnchorRight) {
    if (anchors & kAnchorLeft) {
      place.width += growX;
    } else {
      place.x += growX;
    }
  }
  if (anchors & kAnchorBottom) {
    if (anchors & kAnchorTop) {
      place.height += growY;
    } else {
      place.y += growY;
    }
  }
  if (place.width < 0) place.width = 0;
  if (place.height < 0) place.height = 0;
  return place;
}

BaseUnits DialogBaseUnits(int lettersWidth, int height) {
  // The average of the 52 letters, rounded as GetDialogBaseUnits rounds it.
  return {(lettersWidth / 26 + 1) / 2, height};
}

Rect DialogUnitsToPixels(const Rect& units, int baseX, int baseY) {
  // Rounded as MapDialogRect rounds.
  const auto scaleX = [baseX](int value) { return (value * baseX + 2) / 4; };
  const auto scaleY = [baseY](int value) { return (value * baseY + 4) / 8; };
  return {scaleX(units.x), scaleY(units.y), scaleX(units.width), scaleY(units.height)};
}

}  // namespace quillon::gui
