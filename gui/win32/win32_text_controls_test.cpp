// Text boxes, combos and multi-line texts of the Win32 front end as real
// windows: text outside any ANSI code page, an editable combo's box and a
// multi-line text's line ends.
#include "gui/win32/win32_form_view_test_support.h"

namespace quillon::gui {
namespace {

using testing::Pump;
using testing::Text;
using testing::Win32FormViewTest;
using testing::kBuro;
using testing::kLodz;
using testing::kWideBuro;
using testing::kWideLodz;

std::wstring WideText(HWND window) { return testing::WindowWideText(window); }

TEST_F(Win32FormViewTest, TextOutsideTheCodePageIsUtf8InTheModelsAndUtf16InTheControls) {
  view_.Show();
  SetForegroundWindow(window_);
  Pump();
  HWND port = Control("txtSMTPServerPort");
  form_["txtSMTPServerPort"].SetText(kLodz);
  EXPECT_EQ(WideText(port), kWideLodz);
  EXPECT_EQ(form_["txtSMTPServerPort"].text(), kLodz) << "no echo changes it";

  // Typed: each character through the view's own message loop, as the
  // keyboard delivers it.
  form_["txtSMTPServerPort"].SetText("");
  form_["txtSMTPServerPort"].SetFocus();
  ASSERT_EQ(GetFocus(), port);
  for (const wchar_t* typed = L"B\u00FCro \u0141\u00F3d\u017A"; *typed; ++typed)
    PostMessageW(port, WM_CHAR, static_cast<WPARAM>(*typed), 1);
  form_.ProcessEvents();
  EXPECT_EQ(form_["txtSMTPServerPort"].text(), std::string(kBuro) + " " + kLodz);
  SetWindowTextW(port, kWideBuro);  // sends EN_CHANGE as typing does
  EXPECT_EQ(form_["txtSMTPServerPort"].text(), kBuro);

  form_.SetCaption(kLodz);
  EXPECT_EQ(WideText(window_), kWideLodz);

  HWND server = Control("cboServer");
  form_["cboServer"].SetLines({kBuro, kLodz});
  form_["cboServer"].SetValue(1);
  EXPECT_EQ(WideText(server), kWideLodz);
  wchar_t line[32] = {};
  ASSERT_EQ(SendMessageW(server, CB_GETLBTEXTLEN, 0, 0), 4) << "in characters";
  SendMessageW(server, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(line));
  EXPECT_EQ(std::wstring(line), kWideBuro);
  SetWindowTextW(server, kWideBuro);
  SendMessageW(window_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(server), CBN_EDITCHANGE),
               reinterpret_cast<LPARAM>(server));
  EXPECT_EQ(form_["cboServer"].text(), kBuro);

  HWND list = Control("lvwPrinters");
  form_["lvwPrinters"].AddRow({{kBuro, kLodz}, "", false});
  for (const auto& [column, expected] : {std::pair{0, kWideBuro}, std::pair{1, kWideLodz}}) {
    wchar_t cell[32] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = cell;
    item.cchTextMax = static_cast<int>(std::size(cell));
    SendMessageW(list, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(std::wstring(cell), expected) << "column " << column;
  }

  HWND tree = Control("tvwPages");
  form_["tvwPages"].AddNode({"KeyL", "", kLodz, 0, false});
  wchar_t node[32] = {};
  TVITEMW item{};
  item.mask = TVIF_TEXT;
  item.hItem = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
  item.pszText = node;
  item.cchTextMax = static_cast<int>(std::size(node));
  ASSERT_TRUE(SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  EXPECT_EQ(std::wstring(node), kWideLodz);
}

TEST_F(Win32FormViewTest, AnEditableCombosBoxAndAMultiLineTextAgreeWithTheirModels) {
  view_.Show();
  Pump();
  HWND server = Control("cboServer");
  // The domain set first, the list of domains filled after.
  form_["cboServer"].SetText("CORP");
  form_["cboServer"].SetLines({"LAB", "CORP", "TEST"});
  EXPECT_EQ(Text(server), "CORP");
  EXPECT_EQ(form_["cboServer"].text(), "CORP");
  form_["cboServer"].SetValue(2);
  EXPECT_EQ(Text(server), "TEST");
  EXPECT_EQ(form_["cboServer"].text(), "TEST");
  form_["cboServer"].SetValue(-1);
  EXPECT_EQ(Text(server), form_["cboServer"].text());
  // Typed text of any length reaches the model.
  const std::string longName(2000, 'n');
  SetWindowTextA(server, longName.c_str());
  SendMessageA(window_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(server), CBN_EDITCHANGE),
               reinterpret_cast<LPARAM>(server));
  EXPECT_EQ(form_["cboServer"].text(), longName);

  // A multi-line text's lines end in CR LF in the edit and in the model alike.
  form_["txtNotes"].SetText("first\r\nsecond");
  EXPECT_EQ(Text(Control("txtNotes")), "first\r\nsecond");
  // Typed: a multi-line edit reports no change of a text set by WM_SETTEXT.
  SendMessageA(Control("txtNotes"), EM_SETSEL, 0, -1);
  SendMessageA(Control("txtNotes"), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("one\r\ntwo"));
  EXPECT_EQ(form_["txtNotes"].text(), "one\r\ntwo");
}

}  // namespace
}  // namespace quillon::gui
