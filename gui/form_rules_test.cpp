// The rules both front ends follow, on the models alone: pages and being
// shown, Ctrl+Tab, an option group's tab stop, the replay of a filled form
// and Enter's target. The front ends' tests see each rule applied to widgets.
#include "gui/form_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gui/form_test_support.h"

namespace quillon::gui {
namespace {

std::vector<std::string> Keys(const std::vector<ControlModel*>& models) {
  std::vector<std::string> keys;
  for (const ControlModel* model : models) keys.push_back(model->key());
  return keys;
}

// An outer tab control whose second page holds an inner one, and a tab
// control set by mistake on its own page.
FormDescription NestedForm() {
  FormDescription form;
  form.name = "frmNested";
  form.controls = {
      Control(ControlKind::TabControl, "sstOuter", "", {}).Columns({"A", "B"}),
      Control(ControlKind::TextBox, "txtOuter", "", {}).OnPage("sstOuter", 0),
      Control(ControlKind::TabControl, "sstInner", "", {})
          .Columns({"C", "D"})
          .OnPage("sstOuter", 1),
      Control(ControlKind::TextBox, "txtInnerC", "", {}).OnPage("sstInner", 0),
      Control(ControlKind::TextBox, "txtInnerD", "", {}).OnPage("sstInner", 1),
      Control(ControlKind::TabControl, "sstSelf", "", {}).Columns({"E"}).OnPage("sstSelf", 0),
  };
  return form;
}

TEST(FormRulesTest, AControlIsShownWhenItAndEveryTabControlItLiesOnShowIt) {
  Form form(testing::SampleForm());
  EXPECT_TRUE(IsShown(form, form["lstServers"])) << "on the page shown";
  EXPECT_FALSE(IsShown(form, form["lvwPrinters"])) << "on another page";
  EXPECT_TRUE(IsShown(form, form["txtFirstStep"])) << "pages without headers alike";
  EXPECT_TRUE(IsShown(form, form["txtSMTPServerPort"])) << "on no page";
  form["txtSMTPServerPort"].SetVisible(false);
  EXPECT_FALSE(IsShown(form, form["txtSMTPServerPort"]));
  form["sstPages"].SetValue(1);
  EXPECT_FALSE(IsShown(form, form["lstServers"]));
  EXPECT_TRUE(IsShown(form, form["lvwPrinters"]));
  form["sstPages"].SetVisible(false);
  EXPECT_FALSE(IsShown(form, form["lvwPrinters"])) << "its tab control hidden";
  form["sstPages"].SetVisible(true);
  form["lvwPrinters"].SetVisible(false);
  EXPECT_FALSE(IsShown(form, form["lvwPrinters"])) << "hidden itself";

  Form nested(NestedForm());
  EXPECT_TRUE(IsShown(nested, nested["txtOuter"]));
  EXPECT_FALSE(IsShown(nested, nested["txtInnerC"])) << "its tab control is on a page not shown";
  nested["sstOuter"].SetValue(1);
  EXPECT_TRUE(IsShown(nested, nested["txtInnerC"]));
  EXPECT_FALSE(IsShown(nested, nested["txtInnerD"]));
  nested["sstOuter"].SetVisible(false);
  EXPECT_FALSE(IsShown(nested, nested["txtInnerC"])) << "the outer tab control hidden";
  EXPECT_FALSE(IsShown(nested, nested["sstSelf"])) << "on its own page: never shown, no hang";
}

TEST(FormRulesTest, APageChangeTouchesThePageLeftAndThePageComeWithWhatLiesWithin) {
  Form form(testing::SampleForm());
  PageMap pages(form);
  EXPECT_TRUE(pages.Mapped(form["sstPages"]));
  EXPECT_FALSE(pages.Mapped(form["lstServers"]));
  EXPECT_EQ(Keys(pages.Within(form["sstPages"])),
            (std::vector<std::string>{"lstServers", "prbWork", "lvwPrinters", "tvwPages",
                                      "chkVerbose"}));
  EXPECT_EQ(Keys(pages.ShowPage(form["sstPages"])),
            (std::vector<std::string>{"lstServers", "prbWork"}))
      << "the page shown from the start, once";
  form["sstPages"].SetValue(1);
  EXPECT_EQ(Keys(pages.ShowPage(form["sstPages"])),
            (std::vector<std::string>{"lstServers", "prbWork", "lvwPrinters", "tvwPages"}));
  form["sstPages"].SetValue(2);
  EXPECT_EQ(Keys(pages.ShowPage(form["sstPages"])),
            (std::vector<std::string>{"lvwPrinters", "tvwPages", "chkVerbose"}))
      << "the page it left is the one remembered";
  form["sstSteps"].SetValue(1);
  EXPECT_EQ(Keys(pages.ShowPage(form["sstSteps"])),
            (std::vector<std::string>{"txtFirstStep", "chkSecondStep"}));

  Form nested(NestedForm());
  PageMap nestedPages(nested);
  nested["sstOuter"].SetValue(1);
  EXPECT_EQ(Keys(nestedPages.ShowPage(nested["sstOuter"])),
            (std::vector<std::string>{"txtOuter", "sstInner", "txtInnerC", "txtInnerD"}));
  EXPECT_EQ(Keys(nestedPages.Within(nested["sstOuter"])),
            (std::vector<std::string>{"txtOuter", "sstInner", "txtInnerC", "txtInnerD"}));
  EXPECT_EQ(Keys(nestedPages.Within(nested["sstSelf"])), std::vector<std::string>{"sstSelf"})
      << "on its own page: once, no hang";
}

TEST(FormRulesTest, CtrlTabSwitchesTheFocusedTabControlElseTheOnlyShownOneWithHeaders) {
  Form form(testing::SampleForm());
  ControlModel& pages = form["sstPages"];
  EXPECT_TRUE(SwitchPage(form, &form["lstServers"], 1)) << "the focus on its page";
  EXPECT_EQ(pages.value(), 1);
  EXPECT_TRUE(SwitchPage(form, &pages, 1)) << "the focus on the tab control";
  EXPECT_EQ(pages.value(), 2);
  EXPECT_TRUE(SwitchPage(form, &pages, 1));
  EXPECT_EQ(pages.value(), 0) << "round";
  EXPECT_TRUE(SwitchPage(form, &pages, -1));
  EXPECT_EQ(pages.value(), 2);
  pages.SetPageEnabled(0, false);
  EXPECT_TRUE(SwitchPage(form, &pages, 1));
  EXPECT_EQ(pages.value(), 1) << "an unavailable page is passed over";

  // Pages switched by code only are not the user's: the keys go to the only
  // tab control with headers.
  EXPECT_TRUE(SwitchPage(form, &form["txtFirstStep"], 1));
  EXPECT_EQ(form["sstSteps"].value(), 0);
  EXPECT_EQ(pages.value(), 2);
  EXPECT_TRUE(SwitchPage(form, nullptr, 1)) << "no focus";
  EXPECT_EQ(pages.value(), 1);

  pages.SetEnabled(false);
  EXPECT_FALSE(SwitchPage(form, &pages, 1)) << "disabled";
  pages.SetEnabled(true);
  pages.SetVisible(false);
  EXPECT_FALSE(SwitchPage(form, nullptr, 1)) << "none shown";
  EXPECT_EQ(pages.value(), 1);

  Form nested(NestedForm());
  nested["sstOuter"].SetValue(1);
  EXPECT_FALSE(SwitchPage(nested, nullptr, 1)) << "two shown: which one is not clear";
  EXPECT_TRUE(SwitchPage(nested, &nested["txtInnerC"], 1));
  EXPECT_EQ(nested["sstInner"].value(), 1);
  EXPECT_EQ(nested["sstOuter"].value(), 1);
}

TEST(FormRulesTest, TabReachesAnOptionGroupAtItsCheckedMemberElseItsFirst) {
  Form form(testing::SampleForm());
  EXPECT_EQ(Keys(GroupMembers(form, "optDefault")),
            (std::vector<std::string>{"optDefault(0)", "optDefault(1)", "optDefault(2)"}));
  EXPECT_EQ(GroupTabStop(form, "optDefault"), &form["optDefault(0)"]);
  form.Click("optDefault(2)");
  EXPECT_EQ(GroupTabStop(form, "optDefault"), &form["optDefault(2)"]);
  form["optDefault(2)"].SetChecked(false);
  EXPECT_EQ(GroupTabStop(form, "optDefault"), &form["optDefault(0)"]);
  EXPECT_TRUE(GroupMembers(form, "chkUseSMTP").empty()) << "a check box is no option group";
  EXPECT_EQ(GroupTabStop(form, "optMissing"), nullptr);
}

TEST(FormRulesTest, AFilledModelIsReplayedInOrderWithOnlyWhatItHolds) {
  Form form(testing::SampleForm());
  using R = Replayed;
  EXPECT_EQ(ReplayChanges(form["txtSMTPServerPort"]),
            (std::vector<R>{{Change::Range}, {Change::Value}, {Change::Text}}));

  form["cboMode"].SetLines({"a", "b"});
  form["cboMode"].SetValue(1);
  form["lvwPrinters"].AddRow({{"P"}, "", true});
  form["tvwPages"].AddNode({"k", "", "Node", 0, false});
  form["chkUseSMTP"].SetChecked(true);
  form["sstPages"].SetPageEnabled(2, false);
  form["sstPages"].SetPageEnabled(0, false);
  EXPECT_EQ(ReplayChanges(form["cboMode"]),
            (std::vector<R>{{Change::Lines}, {Change::Range}, {Change::Value}, {Change::Text}}))
      << "the lines before the value that chooses one";
  EXPECT_EQ(ReplayChanges(form["lvwPrinters"]),
            (std::vector<R>{{Change::Rows}, {Change::Range}, {Change::Value}, {Change::Text}}));
  EXPECT_EQ(ReplayChanges(form["tvwPages"]),
            (std::vector<R>{{Change::Nodes}, {Change::Range}, {Change::Value}, {Change::Text}}));
  EXPECT_EQ(ReplayChanges(form["chkUseSMTP"]),
            (std::vector<R>{{Change::Range}, {Change::Value}, {Change::Text}, {Change::Checked}}));
  EXPECT_EQ(ReplayChanges(form["sstPages"]),
            (std::vector<R>{{Change::Range},
                            {Change::Value},
                            {Change::Text},
                            {Change::Enabled, 0},
                            {Change::Enabled, 2}}))
      << "each unavailable page by its number";
}

TEST(FormRulesTest, EnterFollowsALinkChoosesAListsLinePressesAButtonElseTheDefaultOne) {
  Form form(testing::SampleForm());
  using Act = EnterTarget::Act;
  const auto is = [](const EnterTarget& target, Act act, const std::string& key) {
    return target.act == act && target.key == key;
  };
  EXPECT_TRUE(is(EnterTargetOf(form, nullptr), Act::PressButton, "cmdOK"));
  EXPECT_TRUE(is(EnterTargetOf(form, &form["lnkHelp"]), Act::FollowLink, "lnkHelp"));
  EXPECT_TRUE(is(EnterTargetOf(form, &form["cmdCancel"]), Act::PressButton, "cmdCancel"))
      << "the focused button, not the default one";
  EXPECT_TRUE(is(EnterTargetOf(form, &form["chkUseSMTP"]), Act::PressButton, "cmdOK"))
      << "a check box is no push button";
  EXPECT_TRUE(is(EnterTargetOf(form, &form["txtSMTPServerPort"]), Act::PressButton, "cmdOK"));
  ControlModel& servers = form["lstServers"];
  servers.SetLines({"one", "two"});
  EXPECT_TRUE(is(EnterTargetOf(form, &servers), Act::PressButton, "cmdOK")) << "no line chosen";
  servers.SetValue(0);
  EXPECT_TRUE(is(EnterTargetOf(form, &servers), Act::ChooseLine, "lstServers"));
  form["filExisting"].SetLines({"a.ini"});
  form["filExisting"].SetValue(0);
  EXPECT_TRUE(is(EnterTargetOf(form, &form["filExisting"]), Act::ChooseLine, "filExisting"));
  form["cboMode"].SetLines({"a"});
  form["cboMode"].SetValue(0);
  EXPECT_TRUE(is(EnterTargetOf(form, &form["cboMode"]), Act::PressButton, "cmdOK"))
      << "a combo's line is no list's";

  Form modal(testing::ModalSampleForm());
  EXPECT_TRUE(is(EnterTargetOf(modal, nullptr), Act::PressButton, "")) << "no default button";
}

}  // namespace
}  // namespace quillon::gui
