// List boxes (folder and file lists among them) and list views in the Win32
// front end: their classes, a list view's columns, rows and ticks, a list's
// lines and chosen line, and the choices and ticks that come back.
#include "gui/win32/win32_form_parts.h"

#include <commctrl.h>

namespace quillon::gui {

using namespace win32_parts;

namespace {

void InsertRow(HWND list, int index, const ListRow& row) {
  std::wstring first = row.cells.empty() ? std::wstring() : Wide(row.cells[0]);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = index;
  item.pszText = first.data();
  const int at =
      static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  // A row that could not be inserted is -1, which would tick every row below.
  if (at < 0) return;
  for (std::size_t column = 1; column < row.cells.size(); ++column) {
    std::wstring text = Wide(row.cells[column]);
    LVITEMW cell{};
    cell.iSubItem = static_cast<int>(column);
    cell.pszText = text.data();
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&cell));
  }
  ListView_SetCheckState(list, at, row.checked);
}

}  // namespace

namespace win32_parts {

Created ListClass(ControlKind kind, DWORD child) {
  if (kind == ControlKind::ListView)
    return {WC_LISTVIEWW, child | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE};
  return {L"LISTBOX", child | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
          WS_EX_CLIENTEDGE};
}

}  // namespace win32_parts

void Win32FormView::SetUpListView(const ControlDescription& control, HWND created) {
  SendMessageW(created, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  int index = 0;
  for (const std::string& header : control.columns) {
    std::wstring text = Wide(header);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = text.data();
    column.cx = 25 * baseX_;
    column.iSubItem = index;
    SendMessageW(created, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index++),
                 reinterpret_cast<LPARAM>(&column));
  }
}

bool Win32FormView::ShowListChange(ControlModel& changed, HWND control, Change change, int row) {
  if (changed.description().kind != ControlKind::ListView) {
    switch (change) {
      case Change::Value:
        SendMessageW(control, LB_SETCURSEL, static_cast<WPARAM>(changed.value()), 0);
        return true;
      case Change::Lines:
        SendMessageW(control, LB_RESETCONTENT, 0, 0);
        for (const std::string& line : changed.lines()) {
          SendMessageW(control, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(line).c_str()));
        }
        SendMessageW(control, LB_SETCURSEL, static_cast<WPARAM>(changed.value()), 0);
        return true;
      default:
        return false;
    }
  }
  switch (change) {
    case Change::Checked:
      if (row >= 0)
        ListView_SetCheckState(control, row, changed.rows()[static_cast<std::size_t>(row)].checked);
      return true;
    case Change::Rows:
      if (row < 0) {
        SendMessageW(control, LVM_DELETEALLITEMS, 0, 0);
        for (std::size_t i = 0; i < changed.rows().size(); ++i) {
          InsertRow(control, static_cast<int>(i), changed.rows()[i]);
        }
      } else {
        InsertRow(control, row, changed.rows()[static_cast<std::size_t>(row)]);
      }
      return true;
    case Change::ColumnWidths: {
      const int columns = static_cast<int>(changed.description().columns.size());
      for (int column = 0; column < columns; ++column) {
        SendMessageW(control, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column),
                     LVSCW_AUTOSIZE_USEHEADER);
      }
      return true;
    }
    default:
      return false;
  }
}

void Win32FormView::OnListCommand(ControlModel& model, HWND control, int code) {
  // A list view speaks through WM_NOTIFY.
  if (model.description().kind == ControlKind::ListView) return;
  if (code == LBN_SETFOCUS) model.SetFocus(true);
  // The user's choice of a line, by mouse or by key: one Click.
  if (code == LBN_SELCHANGE) {
    model.SetValue(static_cast<int>(SendMessageW(control, LB_GETCURSEL, 0, 0)));
    if (model.value() >= 0) form_.Click(model.key());
  }
  // A double click on a line, or Enter on the chosen line (the "default
  // button's" click, see DM_GETDEFID).
  if ((code == LBN_DBLCLK || code == BN_CLICKED) && SendMessageW(control, LB_GETCURSEL, 0, 0) >= 0)
    form_.DoubleClick(model.key());
}

void Win32FormView::OnListViewNotify(ControlModel& model, const NMHDR& header) {
  if (header.code != LVN_ITEMCHANGED) return;
  const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
  if ((change.uChanged & LVIF_STATE) &&
      ((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK) &&
      (change.uOldState & LVIS_STATEIMAGEMASK) != 0) {
    // State image 2 is the ticked box, 1 the empty one.
    model.SetRowChecked(change.iItem, ((change.uNewState & LVIS_STATEIMAGEMASK) >> 12) == 2);
  }
}

}  // namespace quillon::gui
