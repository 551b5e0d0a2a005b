// The form's models without any window: what they notify, the option groups,
// the focus, and the placing of controls when the window is resized.
#include "gui/form.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "gui/form_test_support.h"

namespace quillon::gui {
namespace {

struct Seen {
  std::string key;
  Change change;
  int row;
  bool operator==(const Seen&) const = default;
};

TEST(FormTest, ModelsNotifyRealChangesOnlyAndStartFromTheDescription) {
  Form form(testing::SampleForm());
  EXPECT_EQ(form["txtSMTPServerPort"].text(), "25");
  EXPECT_EQ(form["cboMode"].value(), -1) << "no line selected at first";
  EXPECT_EQ(form.Find("optDefault(2)")->description().caption, "N&amed");
  EXPECT_EQ(form.Find("optDefault"), nullptr) << "array members go by name and index";
  EXPECT_THROW(form["txtMissing"], std::out_of_range);

  std::vector<Seen> seen;
  for (const auto& model : form.controls()) {
    model->Subscribe([&seen](ControlModel& changed, Change change, int row) {
      seen.push_back({changed.key(), change, row});
    });
  }
  ControlModel& port = form["txtSMTPServerPort"];
  port.SetText("25");
  port.SetText("2525");
  port.SetEnabled(true);
  port.SetEnabled(false);
  form["cboMode"].SetLines({"a", "b"});
  form["cboMode"].SetLines({"a", "b"});
  ControlModel& list = form["lvwPrinters"];
  list.AddRow({{"x"}, "tag", false});
  list.SetRowChecked(0, false);
  list.SetRowChecked(0, true);
  list.SetRowChecked(5, true);  // no such row: nothing
  list.ClearRows();
  list.ClearRows();
  EXPECT_EQ(seen, (std::vector<Seen>{{"txtSMTPServerPort", Change::Text, -1},
                                     {"txtSMTPServerPort", Change::Enabled, -1},
                                     {"cboMode", Change::Lines, -1},
                                     {"lvwPrinters", Change::Rows, 0},
                                     {"lvwPrinters", Change::Checked, 0},
                                     {"lvwPrinters", Change::Rows, -1}}));
}

TEST(FormTest, ClicksCheckOneOptionOfTheirGroupAndSkipDisabledControls) {
  Form form(testing::SampleForm());
  std::vector<std::string> clicked;
  form.OnClick("optDefault(1)", [&] { clicked.push_back("first"); });
  form.OnClick("cmdOK", [&] { clicked.push_back("ok"); });
  form.OnClick("mnuFileExit", [&] { clicked.push_back("menu"); });
  form["chkUseSMTP"].SetChecked(true);

  form.Click("optDefault(2)");
  form.Click("optDefault(1)");
  EXPECT_FALSE(form["optDefault(0)"].checked());
  EXPECT_TRUE(form["optDefault(1)"].checked());
  EXPECT_FALSE(form["optDefault(2)"].checked());
  EXPECT_TRUE(form["chkUseSMTP"].checked()) << "not of the group";

  form["cmdOK"].SetEnabled(false);
  form.Click("cmdOK");
  form["cmdOK"].SetEnabled(true);
  form.Click("cmdOK");
  form.Click("mnuFileExit");  // commands without a control: menus, tools
  EXPECT_EQ(clicked, (std::vector<std::string>{"first", "ok", "menu"}));

  // An unavailable command takes no clicks; the views hear of each change once.
  std::vector<std::string> stateChanges;
  form.OnCommandState([&](const std::string& name) { stateChanges.push_back(name); }, &clicked);
  form.SetCommandEnabled("mnuFileExit", false);
  form.SetCommandEnabled("mnuFileExit", false);
  form.Click("mnuFileExit");
  EXPECT_FALSE(form.CommandEnabled("mnuFileExit"));
  form.SetCommandEnabled("mnuFileExit", true);
  form.Click("mnuFileExit");
  form.Detach(&clicked);
  form.SetCommandEnabled("mnuFileExit", false);
  EXPECT_EQ(clicked, (std::vector<std::string>{"first", "ok", "menu", "menu"}));
  EXPECT_EQ(stateChanges, (std::vector<std::string>{"mnuFileExit", "mnuFileExit"}));
  form.OnDoubleClick("cmdOK", [&] { clicked.push_back("double"); });
  form["cmdOK"].SetEnabled(false);
  form.DoubleClick("cmdOK");
  form["cmdOK"].SetEnabled(true);
  form.DoubleClick("cmdOK");
  EXPECT_EQ(clicked.back(), "double");
  EXPECT_EQ(clicked.size(), 5U);

  form["txtSMTPServerPort"].SetFocus();
  form["cboMode"].SetFocus();
  EXPECT_FALSE(form["txtSMTPServerPort"].focused()) << "one control holds the focus";
  EXPECT_TRUE(form["cboMode"].focused());

  FormDescription twice = testing::SampleForm();
  twice.controls.push_back(twice.controls[1]);
  EXPECT_THROW(Form{twice}, std::invalid_argument);
}

TEST(FormTest, ACombosTextIsTheChosenLineAndOutlivesANewList) {
  Form form(testing::SampleForm());
  ControlModel& server = form["cboServer"];
  std::vector<Change> seen;
  server.Subscribe([&seen](ControlModel&, Change change, int) { seen.push_back(change); });
  // A domain typed or set first, the list of domains filled after: the name
  // stays.
  server.SetText("CORP");
  server.SetLines({"CORP", "LAB"});
  EXPECT_EQ(server.text(), "CORP");
  EXPECT_EQ(server.value(), -1);
  server.SetValue(1);
  EXPECT_EQ(server.text(), "LAB") << "the chosen line is the text";
  server.SetValue(-1);
  EXPECT_EQ(server.text(), "LAB") << "no line chosen: the text stays";
  EXPECT_EQ(seen, (std::vector<Change>{Change::Text, Change::Lines, Change::Value, Change::Text,
                                       Change::Value}));

  ControlModel& mode = form["cboMode"];
  mode.SetLines({"Copy", "Move"});
  mode.SetValue(0);
  EXPECT_EQ(mode.text(), "Copy");
  form["lstServers"].SetLines({"A", "B"});
  form["lstServers"].SetValue(1);
  EXPECT_EQ(form["lstServers"].text(), "") << "a list box has no text";

  // Refilled, a list or combo selects none, so choosing the first new line is
  // a change the logic hears; the combo keeps its text.
  mode.SetLines({"Sync"});
  EXPECT_EQ(mode.value(), -1);
  EXPECT_EQ(mode.text(), "Copy");
  mode.SetValue(0);
  EXPECT_EQ(mode.text(), "Sync");
  form["lstServers"].SetLines({"C"});
  EXPECT_EQ(form["lstServers"].value(), -1);
}

TEST(FormTest, AFocusRequestAlwaysReachesTheView) {
  Form form(testing::SampleForm());
  ControlModel& port = form["txtSMTPServerPort"];
  int requests = 0;
  port.Subscribe([&requests](ControlModel& changed, Change change, int) {
    if (change == Change::Focus && changed.focused()) ++requests;
  });
  port.SetFocus();
  // The real focus went to another window, which the models never hear of;
  // asking again must still move it back.
  port.SetFocus();
  EXPECT_EQ(requests, 2);
  port.SetFocus(false);
  port.SetFocus(false);
  EXPECT_FALSE(port.focused());
}

TEST(FormTest, ACloseQueryMayRefuseAndADetachedViewHearsNothing) {
  Form form(testing::SampleForm());
  std::vector<std::string> heard;
  bool mayClose = false;
  form.OnCloseQuery([&] {
    heard.push_back("query");
    return mayClose;
  });
  form.OnClose([&] { heard.push_back("logic closed"); });
  int view = 0, secondView = 0;  // stand-ins for two views' addresses
  form.OnClose([&] { heard.push_back("view closed"); }, &view);
  form.OnCaption([&] { heard.push_back("view caption"); }, &view);
  form["txtSMTPServerPort"].Subscribe(
      [&](ControlModel&, Change, int) { heard.push_back("view text"); }, &view);
  form["txtSMTPServerPort"].Subscribe(
      [&](ControlModel&, Change, int) { heard.push_back("second view text"); }, &secondView);

  EXPECT_FALSE(form.Close()) << "Cancel on \"save changes?\"";
  mayClose = true;
  EXPECT_TRUE(form.Close());
  form.Detach(&view);
  form.SetCaption("Other");
  form["txtSMTPServerPort"].SetText("1");
  EXPECT_TRUE(form.Close());
  EXPECT_EQ(heard, (std::vector<std::string>{"query", "query", "logic closed", "view closed",
                                             "second view text", "query", "logic closed"}));
}

// Log-off asks as a close does but leaves the window up; what was agreed
// closes it without a second question, unless the window changed since or the
// session end was called off.
TEST(FormTest, TheSessionEndAsksOnceAndItsAgreementStandsUntilTheWindowChanges) {
  Form form(testing::SampleForm());
  int asked = 0, closed = 0;
  bool agree = false;
  form.OnCloseQuery([&] {
    ++asked;
    return agree;
  });
  form.OnClose([&] { ++closed; });
  EXPECT_FALSE(form.QuerySessionEnd());
  EXPECT_FALSE(form.Close()) << "a refusal agrees to nothing";
  EXPECT_EQ(asked, 2);
  agree = true;
  EXPECT_TRUE(form.QuerySessionEnd());
  EXPECT_EQ(closed, 0) << "the window stays until the session ends";
  agree = false;  // "No, do not save" was answered; the document is still changed
  EXPECT_TRUE(form.Close());
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(closed, 1);

  agree = true;
  ASSERT_TRUE(form.QuerySessionEnd());
  form.SessionEndCancelled();
  agree = false;
  EXPECT_FALSE(form.Close()) << "called off: the next close asks";
  agree = true;
  ASSERT_TRUE(form.QuerySessionEnd());
  form["txtSMTPServerPort"].SetText("2525");
  agree = false;
  EXPECT_FALSE(form.Close()) << "edited since: asked again";
  EXPECT_EQ(asked, 7);
  EXPECT_EQ(closed, 1);
}

TEST(FormTest, AnchoredControlsFollowTheWindowsEdgesInPixels) {
  // The base units as GetDialogBaseUnits counts them from the 52 letters'
  // width.
  EXPECT_EQ(DialogBaseUnits(312, 13).x, 6);
  EXPECT_EQ(DialogBaseUnits(286, 16).x, 6) << "two letters 11 pixels wide: 5.5, rounded up";
  EXPECT_EQ(DialogBaseUnits(260, 16).x, 5);
  EXPECT_EQ(DialogBaseUnits(260, 16).y, 16);

  // 8 by 16 pixels per character: a dialog unit is 2 pixels either way.
  EXPECT_EQ(DialogUnitsToPixels({4, 8, 50, 14}, 8, 16), (Rect{8, 16, 100, 28}));
  // MapDialogRect rounds to the nearest pixel: 7 * 6 / 4 = 10.5, 3 * 13 / 8
  // = 4.875.
  EXPECT_EQ(DialogUnitsToPixels({7, 3, 1, 1}, 6, 13), (Rect{11, 5, 2, 2}));

  const Rect place{10, 10, 50, 20};
  EXPECT_EQ(PlaceInClient(place, kAnchorLeft | kAnchorTop, 200, 100, 300, 150), place);
  EXPECT_EQ(PlaceInClient(place, kAnchorRight | kAnchorBottom, 200, 100, 300, 150),
            (Rect{110, 60, 50, 20}));
  EXPECT_EQ(PlaceInClient(place, kAnchorAll, 200, 100, 300, 150), (Rect{10, 10, 150, 70}));
  EXPECT_EQ(PlaceInClient(place, kAnchorAll, 200, 100, 100, 50), (Rect{10, 10, 0, 0}))
      << "a window smaller than designed shrinks a growing control to nothing, "
         "not below";
}

TEST(FormTest, ShortcutsAreTakenApartAndFoundByTheirCommand) {
  EXPECT_EQ(ParseShortcut("Ctrl+S"), (KeyChord{true, false, false, "S"}));
  EXPECT_EQ(ParseShortcut("Ctrl+Shift+S"), (KeyChord{true, true, false, "S"}));
  EXPECT_EQ(ParseShortcut("Alt+7"), (KeyChord{false, false, true, "7"}));
  EXPECT_EQ(ParseShortcut("F1"), (KeyChord{false, false, false, "F1"}));
  EXPECT_EQ(ParseShortcut("Shift+F12"), (KeyChord{false, true, false, "F12"}));
  EXPECT_EQ(ParseShortcut("F24").key, "F24");
  // What a front end could not bind, or would take from every text box.
  for (const char* wrong : {"", "S", "Shift+S", "Ctrl+", "Ctrl+s", "Ctrl+Ctrl+S", "Ctrl+SS",
                            "Meta+S", "F0", "F25", "F1x", "Ctrl+Shift"}) {
    EXPECT_EQ(ParseShortcut(wrong).key, "") << wrong;
  }

  FormDescription described;
  described.shortcuts = {{"Ctrl+N", "mnuNew"}, {"F1", "cmdHelp"}};
  EXPECT_EQ(ShortcutKeys(described, "cmdHelp"), "F1");
  EXPECT_EQ(ShortcutKeys(described, "mnuOpen"), "");
}

}  // namespace
}  // namespace quillon::gui
