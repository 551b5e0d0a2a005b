// The rules both front ends follow, on the form's models alone: which
// controls lie on which page of a tab control and when a control is shown,
// what a page change touches, which tab control Ctrl+Tab switches, which
// member of an option group Tab stops on, what a view replays to a form
// filled before it, and what Enter acts on. A front end asks these and only
// writes the answers into its widgets.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "gui/form.h"

namespace quillon::gui {

// Shown: visible itself and, up every tab control it lies on, on the page
// shown of a visible tab control.
bool IsShown(const Form& form, const ControlModel& model);

// Which controls lie on each page of each tab control, and the page each tab
// control showed when last told.
class PageMap {
 public:
  explicit PageMap(const Form& form);

  // Whether any control lies on a page of `tabs`.
  bool Mapped(const ControlModel& tabs) const { return pages_.contains(tabs.key()); }
  // The controls whose being shown follows `tabs`: those on its pages and,
  // for a tab control among them, on its pages in turn.
  std::vector<ControlModel*> Within(const ControlModel& tabs) const;
  // `tabs` now shows its model's page: the controls of the page left and of
  // the page come (with what lies within them), not every control of the
  // window. The page is remembered for the next change.
  std::vector<ControlModel*> ShowPage(const ControlModel& tabs);

 private:
  void AddPage(const std::string& tabs, int page, std::vector<ControlModel*>& into) const;
  void AddWithin(const ControlModel& tabs, std::vector<ControlModel*>& into) const;

  std::map<std::string, std::vector<std::vector<ControlModel*>>> pages_;
  std::map<std::string, int> shown_;
};

// Ctrl+Tab (step 1) and Ctrl+Shift+Tab (-1): the next or previous page the
// user may choose, of the tab control the focus is on or in, else of the
// window's only shown one with page headers. False when no tab control takes
// the keys (none such, or it is disabled or not shown).
bool SwitchPage(Form& form, const ControlModel* focused, int step);

// The members of option group `group` (a control array), in tab order.
std::vector<ControlModel*> GroupMembers(const Form& form, const std::string& group);
// The member Tab reaches the group at: the checked one, else the first;
// null when the group has no member.
const ControlModel* GroupTabStop(const Form& form, const std::string& group);

// What a view writes into a widget made after its model was filled (a
// dialog prepared, then shown), in this order: filled lines, nodes and rows,
// the range, value and text, a check, and each unavailable page.
struct Replayed {
  Change change;
  int row = -1;
  bool operator==(const Replayed&) const = default;
};
std::vector<Replayed> ReplayChanges(const ControlModel& model);

// What Enter does: on a link it follows it, on a list with a chosen line it
// chooses that line, on a push button it presses it, as in a dialog;
// elsewhere it presses the default button (`key` empty when there is none).
struct EnterTarget {
  enum class Act { FollowLink, ChooseLine, PressButton };
  Act act = Act::PressButton;
  std::string key;
};
EnterTarget EnterTargetOf(const Form& form, const ControlModel* focused);

}  // namespace quillon::gui
