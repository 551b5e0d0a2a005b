// The Win32 front end's window, under a display (scripts/wine-with-display):
// a window with a control of every kind driven by window messages as the
// user's keys and clicks arrive, its close and size, a form shown by a second
// view, and a modal window over it. Each control kind's own tests lie in a
// file of its kind (win32_buttons_test.cpp, win32_text_controls_test.cpp,
// win32_lists_test.cpp, win32_tree_test.cpp, win32_tabs_test.cpp), the menus'
// in win32_menus_test.cpp and the dialogs' in win32_dialogs_test.cpp.
#include "gui/win32/win32_form_view_test_support.h"

namespace quillon::gui {
namespace {

using testing::ClassOf;
using testing::PressKey;
using testing::Pump;
using testing::PumpUntil;
using testing::Text;
using testing::Watch;
using testing::Win32FormViewTest;

TEST_F(Win32FormViewTest, EveryKindIsItsControlFoundByItsKeyWithTheKeyboardOfADialog) {
  view_.Show();
  Pump();
  const std::pair<const char*, const char*> classes[] = {
      {"lblPort", "Static"},
      {"txtSMTPServerPort", "Edit"},
      {"txtNotes", "Edit"},
      {"chkUseSMTP", "Button"},
      {"optDefault(2)", "Button"},
      {"cboServer", "ComboBox"},
      {"cboMode", "ComboBox"},
      {"sstPages", "SysTabControl32"},
      {"lstServers", "ListBox"},
      {"prbWork", "msctls_progress32"},
      {"lvwPrinters", "SysListView32"},
      {"tvwPages", "SysTreeView32"},
      {"drvExisting", "ComboBox"},
      {"dirExisting", "ListBox"},
      {"filExisting", "ListBox"},
      {"lnkHelp", "Button"},
      {"sstSteps", "Static"},
      {"cmdOK", "Button"},
      {"cmdCancel", "Button"},
  };
  EXPECT_EQ(ControlKeyOf(window_), "frmSample");
  for (const auto& [key, windowClass] : classes) {
    HWND control = FindControl(window_, key);
    ASSERT_TRUE(control) << key;
    EXPECT_EQ(control, Control(key));
    EXPECT_EQ(ClassOf(control), windowClass) << key;
  }
  EXPECT_EQ(Text(Control("txtSMTPServerPort")), "25");
  EXPECT_EQ(Text(Control("optDefault(2)")), "N&amed");
  EXPECT_EQ(GetWindowLongA(Control("cboMode"), GWL_STYLE) & 3, CBS_DROPDOWNLIST);
  EXPECT_EQ(GetWindowLongA(Control("cboServer"), GWL_STYLE) & 3, CBS_DROPDOWN);
  EXPECT_TRUE(GetWindowLongA(Control("txtNotes"), GWL_STYLE) & ES_MULTILINE);
  EXPECT_EQ(GetWindowLongA(Control("cmdOK"), GWL_STYLE) & 0xF, BS_DEFPUSHBUTTON);
  EXPECT_TRUE(SendMessageA(Control("lvwPrinters"), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) &
              LVS_EX_CHECKBOXES);
  // The common controls of version 6, by the manifest: the side-by-side
  // assembly's DLL is the one loaded (Wine's reports 5.x by DllGetVersion).
  char loaded[MAX_PATH] = {};
  GetModuleFileNameA(GetModuleHandleA("comctl32.dll"), loaded, sizeof loaded);
  std::string path = loaded;
  for (char& c : path) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_NE(path.find("microsoft.windows.common-controls_6595b64144ccf1df_6."), std::string::npos)
      << loaded;
  // The dialog font, not the system font.
  EXPECT_NE(SendMessageA(Control("cmdOK"), WM_GETFONT, 0, 0), 0);

  HWND toolbar = FindControl(window_, "frmSample.toolbar");
  ASSERT_TRUE(toolbar);
  EXPECT_EQ(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0), 4);
  HMENU file = GetSubMenu(GetMenu(window_), 0);
  ASSERT_TRUE(file);
  char item[64] = {};
  GetMenuStringA(file, 2, item, sizeof item, MF_BYPOSITION);
  EXPECT_STREQ(item, "E&xit");

  // Tab in the description's order; an option group is one stop, at its
  // checked member (the first while none is), and the arrow keys move within
  // it and check; a label's mnemonic moves to the control after it.
  EXPECT_TRUE(GetWindowLongA(Control("optDefault(0)"), GWL_STYLE) & WS_GROUP);
  EXPECT_FALSE(GetWindowLongA(Control("optDefault(1)"), GWL_STYLE) & (WS_GROUP | WS_TABSTOP));
  EXPECT_TRUE(GetWindowLongA(Control("cboServer"), GWL_STYLE) & WS_GROUP) << "after the group";
  SetForegroundWindow(window_);
  SetFocus(Control("chkUseSMTP"));
  PressKey(Control("chkUseSMTP"), VK_TAB);
  EXPECT_TRUE(PumpUntil([&] { return GetFocus() == Control("optDefault(0)"); }));
  PressKey(Control("optDefault(0)"), VK_DOWN);
  EXPECT_TRUE(PumpUntil([&] { return GetFocus() == Control("optDefault(1)"); }));
  EXPECT_TRUE(form_["optDefault(1)"].focused()) << "the focus is reported to the models";
  EXPECT_TRUE(form_["optDefault(1)"].checked()) << "an arrow checks the member it reaches";
  PressKey(Control("optDefault(1)"), VK_TAB);
  // An editable combo's focus is in its edit box.
  EXPECT_TRUE(PumpUntil([&] { return IsChild(Control("cboServer"), GetFocus()); }));
  // Shift+Tab comes back to the group at its checked member.
  SetFocus(Control("cboServer"));
  {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    PressKey(Control("cboServer"), VK_TAB);
    EXPECT_TRUE(PumpUntil([&] { return GetFocus() == Control("optDefault(1)"); }));
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
  }
  PostMessageA(GetFocus(), WM_SYSCHAR, 'p', 0x20000001);
  EXPECT_TRUE(PumpUntil([&] { return GetFocus() == Control("txtSMTPServerPort"); }));

  std::vector<std::string> clicked;
  for (const char* key : {"cmdCancel", "cmdOK", "mnuFileExit", "tbrSave"}) {
    form_.OnClick(key, [&clicked, key] { clicked.push_back(key); });
  }
  PressKey(Control("txtSMTPServerPort"), VK_ESCAPE);
  Pump();
  PressKey(Control("txtSMTPServerPort"), VK_RETURN);
  Pump();
  SendMessageA(window_, WM_COMMAND, MAKEWPARAM(GetMenuItemID(file, 2), 0), 0);
  TBBUTTON save{};
  SendMessageA(toolbar, TB_GETBUTTON, 3, reinterpret_cast<LPARAM>(&save));
  SendMessageA(window_, WM_COMMAND, MAKEWPARAM(save.idCommand, BN_CLICKED),
               reinterpret_cast<LPARAM>(toolbar));
  EXPECT_EQ(clicked, (std::vector<std::string>{"cmdCancel", "cmdOK", "mnuFileExit", "tbrSave"}));
}

TEST_F(Win32FormViewTest, TheLogicsChangesShowAndTheUsersReachTheModels) {
  view_.Show();
  Pump();
  form_["txtSMTPServerPort"].SetText("2525");
  EXPECT_EQ(Text(Control("txtSMTPServerPort")), "2525");
  EXPECT_EQ(form_["txtSMTPServerPort"].text(), "2525") << "no echo changes it";
  form_["cboMode"].SetLines({"Copy", "Move"});
  form_["cboMode"].SetValue(1);
  EXPECT_EQ(SendMessageA(Control("cboMode"), CB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessageA(Control("cboMode"), CB_GETCURSEL, 0, 0), 1);
  form_["cmdOK"].SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(Control("cmdOK")));
  form_["prbWork"].SetRange(0, 10);
  form_["prbWork"].SetValue(7);
  EXPECT_EQ(SendMessageA(Control("prbWork"), PBM_GETPOS, 0, 0), 7);

  // Pages switched by code: their controls follow.
  EXPECT_TRUE(IsWindowVisible(Control("lstServers")));
  EXPECT_FALSE(IsWindowVisible(Control("tvwPages")));
  form_["sstPages"].SetValue(1);
  EXPECT_FALSE(IsWindowVisible(Control("lstServers")));
  EXPECT_TRUE(IsWindowVisible(Control("tvwPages")));
  EXPECT_EQ(SendMessageA(Control("sstPages"), TCM_GETCURSEL, 0, 0), 1);

  form_["tvwPages"].AddNode({"Key4", "", "Notification", 1, true});
  form_["tvwPages"].AddNode({"Key41", "Key4", "SMTP Mail", 0, false});
  HWND tree = Control("tvwPages");
  EXPECT_EQ(SendMessageA(tree, TVM_GETCOUNT, 0, 0), 2);
  EXPECT_TRUE(SendMessageA(tree, TVM_GETIMAGELIST, TVSIL_NORMAL, 0));
  auto root = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  auto child = reinterpret_cast<HTREEITEM>(
      SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(root)));
  ASSERT_TRUE(child);
  EXPECT_TRUE(SendMessageA(tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(root), TVIS_EXPANDED) &
              TVIS_EXPANDED);
  SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(child));
  EXPECT_EQ(form_["tvwPages"].text(), "Key41") << "the selected node's key";

  form_["lvwPrinters"].AddRow({{"HP4", "HP LaserJet 4"}, "", true});
  EXPECT_TRUE(ListView_GetCheckState(Control("lvwPrinters"), 0));
  form_["lvwPrinters"].SetRowChecked(0, false);
  EXPECT_FALSE(ListView_GetCheckState(Control("lvwPrinters"), 0));

  SetWindowTextA(Control("txtSMTPServerPort"), "587");  // sends EN_CHANGE as typing does
  EXPECT_EQ(form_["txtSMTPServerPort"].text(), "587");
  SendMessageA(Control("chkUseSMTP"), BM_CLICK, 0, 0);
  EXPECT_TRUE(form_["chkUseSMTP"].checked());
  SendMessageA(Control("optDefault(2)"), BM_CLICK, 0, 0);
  SendMessageA(Control("optDefault(1)"), BM_CLICK, 0, 0);
  EXPECT_TRUE(form_["optDefault(1)"].checked());
  EXPECT_FALSE(form_["optDefault(2)"].checked());
  EXPECT_EQ(SendMessageA(Control("optDefault(2)"), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(SendMessageA(Control("optDefault(1)"), BM_GETCHECK, 0, 0), BST_CHECKED);

  // Anchored to the right and bottom: the buttons follow a larger window.
  RECT before{}, after{}, frame{};
  GetWindowRect(Control("cmdOK"), &before);
  GetWindowRect(window_, &frame);
  SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left + 100,
               frame.bottom - frame.top + 40, SWP_NOMOVE | SWP_NOZORDER);
  GetWindowRect(Control("cmdOK"), &after);
  EXPECT_EQ(after.left - before.left, 100);
  EXPECT_EQ(after.top - before.top, 40);
}

TEST_F(Win32FormViewTest, EnterPressesTheFocusedButtonElseTheDefaultOne) {
  view_.Show();
  Pump();
  std::vector<std::string> clicked;
  for (const char* key : {"cmdCancel", "cmdOK"}) {
    form_.OnClick(key, [&clicked, key] { clicked.push_back(key); });
  }
  form_["cmdCancel"].SetFocus();
  ASSERT_EQ(GetFocus(), Control("cmdCancel"));
  PressKey(Control("cmdCancel"), VK_RETURN);
  EXPECT_TRUE(PumpUntil([&] { return clicked.size() == 1; }));
  form_["txtSMTPServerPort"].SetFocus();
  PressKey(Control("txtSMTPServerPort"), VK_RETURN);
  EXPECT_TRUE(PumpUntil([&] { return clicked.size() == 2; }));
  EXPECT_EQ(clicked, (std::vector<std::string>{"cmdCancel", "cmdOK"}))
      << "the focused button, as in a dialog; elsewhere the default one";
}

TEST_F(Win32FormViewTest, TheWindowClosesOnlyWhenTheFormAgreesAndKeepsItsDesignedSize) {
  view_.Show();
  Pump();
  bool mayClose = false;
  int closed = 0;
  form_.OnCloseQuery([&] { return mayClose; });
  form_.OnClose([&] { ++closed; });

  // No smaller than designed: the right-anchored buttons would slide over the left ones.
  RECT designed{};
  GetWindowRect(window_, &designed);
  MINMAXINFO limits{};
  SendMessageA(window_, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
  EXPECT_EQ(limits.ptMinTrackSize.x, designed.right - designed.left);
  EXPECT_EQ(limits.ptMinTrackSize.y, designed.bottom - designed.top);
  SetWindowPos(window_, nullptr, 0, 0, 60, 40, SWP_NOMOVE | SWP_NOZORDER);
  RECT shrunk{};
  GetWindowRect(window_, &shrunk);
  EXPECT_GE(shrunk.right - shrunk.left, designed.right - designed.left);

  // A focus request after the focus went where no model hears of it.
  form_["txtSMTPServerPort"].SetFocus();
  EXPECT_EQ(GetFocus(), Control("txtSMTPServerPort"));
  SetFocus(nullptr);
  form_["txtSMTPServerPort"].SetFocus();
  EXPECT_EQ(GetFocus(), Control("txtSMTPServerPort"));

  SendMessageA(window_, WM_CLOSE, 0, 0);  // the close box
  Pump();
  EXPECT_TRUE(IsWindow(window_)) << "Cancel on the prompt keeps the window";
  EXPECT_EQ(closed, 0);
  mayClose = true;
  SendMessageA(window_, WM_CLOSE, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(window_); }));
  EXPECT_EQ(closed, 1);
}

TEST(Win32FormViewLifeTest, AFormOutlivesItsViewAndIsShownByAnother) {
  FormDescription described = testing::SampleForm();
  // A second tree with images of its own.
  described.controls.push_back(
      gui::Control(ControlKind::TreeView, "tvwFolders", "", {4, 150, 60, 30})
          .Images({StockImage::Folder}));
  Form form(described);
  {
    Win32FormView first(form);
    HWND pages = first.Control("tvwPages"), folders = first.Control("tvwFolders");
    auto images = [](HWND tree) {
      return reinterpret_cast<HIMAGELIST>(SendMessageA(tree, TVM_GETIMAGELIST, TVSIL_NORMAL, 0));
    };
    EXPECT_NE(images(pages), images(folders));
    EXPECT_EQ(ImageList_GetImageCount(images(pages)), 2);
    EXPECT_EQ(ImageList_GetImageCount(images(folders)), 1);
  }
  // Changed after its view ended: nothing is written through the old one.
  form["txtSMTPServerPort"].SetText("2525");
  form.SetCaption("Changed");
  EXPECT_TRUE(form.Close());
  Win32FormView second(form);
  form["txtSMTPServerPort"].SetText("110");
  EXPECT_EQ(Text(second.Control("txtSMTPServerPort")), "110");
  form.SetCaption("Second");
  EXPECT_EQ(Text(second.window()), "Second");
  EXPECT_TRUE(form.Close());
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(second.window()); }));
}

TEST_F(Win32FormViewTest, AModalWindowDisablesItsOwnerUntilItCloses) {
  view_.Show();
  Form dialog(testing::ModalSampleForm());
  bool cancelled = false;
  dialog.OnClick("cmdCancel", [&] {
    cancelled = true;
    dialog.Close();
  });
  Win32FormView modal(dialog, window_);
  std::atomic<bool> found{false};
  bool ownerDisabled = false;
  std::thread user = Watch([](HWND window) { return ControlKeyOf(window) == "frmNewINI"; },
                           [&](HWND window) {
                             ownerDisabled = !IsWindowEnabled(window_);
                             EXPECT_EQ(GetWindow(window, GW_OWNER), window_);
                             HWND cancel = FindControl(window, "cmdCancel");
                             PostMessageA(cancel, WM_KEYDOWN, VK_ESCAPE, 1);
                           },
                           found);
  modal.RunModal();
  user.join();
  EXPECT_TRUE(found);
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(cancelled) << "Escape pressed the cancel button";
  EXPECT_FALSE(IsWindow(modal.window()));
  EXPECT_TRUE(IsWindowEnabled(window_));
}

}  // namespace
}  // namespace quillon::gui
