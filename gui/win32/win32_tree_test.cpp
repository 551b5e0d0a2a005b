// Trees of the Win32 front end as real windows: the user's choice of a node
// and the logic's selection.
#include "gui/win32/win32_form_view_test_support.h"

namespace quillon::gui {
namespace {

using testing::AfterDoubleClickTime;
using testing::Center;
using testing::ClickMouse;
using testing::PressKey;
using testing::Pump;
using testing::PumpUntil;
using testing::Win32FormViewTest;

TEST_F(Win32FormViewTest, EachChoiceOfATreeNodeIsOneClickAndTheLogicsSelectionNone) {
  view_.Show();
  SetForegroundWindow(window_);
  form_["sstPages"].SetValue(1);
  ControlModel& model = form_["tvwPages"];
  model.AddNode({"Key4", "", "Notification", 1, true});
  model.AddNode({"Key41", "Key4", "SMTP Mail", 0, false});
  model.AddNode({"Key5", "", "Logging", 0, false});
  Pump();
  // Each Click with the node chosen by then.
  std::vector<std::string> chosen;
  form_.OnClick("tvwPages", [&] { chosen.push_back(model.text()); });
  HWND tree = Control("tvwPages");
  const auto item = [&](const std::string& text) {
    for (auto node = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
         node; node = reinterpret_cast<HTREEITEM>(SendMessageA(
                   tree, TVM_GETNEXTITEM, TVGN_NEXTVISIBLE, reinterpret_cast<LPARAM>(node)))) {
      char shown[64] = {};
      TVITEMA data{};
      data.mask = TVIF_TEXT;
      data.hItem = node;
      data.pszText = shown;
      data.cchTextMax = sizeof shown;
      SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
      if (text == shown) return node;
    }
    ADD_FAILURE() << "no node " << text;
    return static_cast<HTREEITEM>(nullptr);
  };
  const auto selected = [&] {
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  };
  const auto click = [&](const char* text) {
    RECT label{};
    const HTREEITEM node = item(text);
    // The item goes in, its label's box comes out.
    std::memcpy(&label, &node, sizeof node);
    SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&label));
    const std::size_t before = chosen.size();
    ClickMouse(tree, Center(label));
    PumpUntil([&] { return chosen.size() > before; }, 2000);
    Pump();  // and whatever else the click brings
    AfterDoubleClickTime();
  };

  model.SetText("Key41");
  EXPECT_EQ(selected(), item("SMTP Mail")) << "the logic's choice is shown";
  click("Logging");
  click("Logging");  // the node already selected counts too
  click("SMTP Mail");
  SetFocus(tree);
  PressKey(tree, VK_UP);
  PumpUntil([&] { return chosen.size() == 4; }, 2000);
  EXPECT_EQ(chosen, (std::vector<std::string>{"Key5", "Key5", "Key41", "Key4"}));
  EXPECT_EQ(selected(), item("Notification"));

  model.SetText("Key5");
  EXPECT_EQ(selected(), item("Logging"));
  model.SetText("Key99");  // no such node: none selected
  EXPECT_EQ(selected(), nullptr);
  Pump();
  EXPECT_EQ(chosen.size(), 4U) << "the logic's selections are no clicks";
  click("Notification");
  EXPECT_EQ(chosen.size(), 5U);
  EXPECT_EQ(chosen.back(), "Key4");
}

}  // namespace
}  // namespace quillon::gui
