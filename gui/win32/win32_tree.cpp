// Tree views in the Win32 front end: their class, their images, their nodes
// and chosen node, the chosen node's highlight, and the choices by key and
// by click that come back.
#include "gui/win32/win32_form_parts.h"

#include <commctrl.h>
#include <shellapi.h>

#include <map>

namespace quillon::gui {

using namespace win32_parts;

namespace win32_parts {

Created TreeClass(DWORD child) {
  return {WC_TREEVIEWW,
          child | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
          WS_EX_CLIENTEDGE};
}

}  // namespace win32_parts

void Win32FormView::MakeImages() {
  for (HIMAGELIST images : images_) ImageList_Destroy(images);
  images_.clear();
  const int width = MetricForDpi(SM_CXSMICON, dpi_), height = MetricForDpi(SM_CYSMICON, dpi_);
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    const ControlDescription& control = form_.controls()[i]->description();
    if (control.kind != ControlKind::TreeView || control.images.empty()) continue;
    // Each tree its own list: the images differ from tree to tree.
    HIMAGELIST images = ImageList_Create(width, height, ILC_COLOR32 | ILC_MASK, 2, 2);
    images_.push_back(images);
    for (StockImage image : control.images) {
      // The shell's own icons of a folder and a document, the large ones
      // where the small size is above the system's small icons'.
      const bool large = width > GetSystemMetrics(SM_CXSMICON);
      SHFILEINFOW info{};
      SHGetFileInfoW(image == StockImage::Folder ? L"folder" : L"file.txt",
                     image == StockImage::Folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL,
                     &info, sizeof info,
                     SHGFI_USEFILEATTRIBUTES | SHGFI_ICON |
                         (large ? SHGFI_LARGEICON : SHGFI_SMALLICON));
      ImageList_AddIcon(images, info.hIcon ? info.hIcon
                                           : LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(
                                                                    IDI_APPLICATION)));
      if (info.hIcon) DestroyIcon(info.hIcon);
    }
    SendMessageW(controls_[i], TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
  }
}

void Win32FormView::SelectNode(const ControlModel& tree) {
  HWND control = Control(tree.key());
  const std::vector<HTREEITEM>& items = treeItems_[control];
  HTREEITEM chosen = nullptr;
  for (std::size_t i = 0; i < tree.nodes().size() && i < items.size(); ++i) {
    if (tree.nodes()[i].key == tree.text()) chosen = items[i];
  }
  SendMessageW(control, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(chosen));
}

void Win32FormView::ShowNodes(const ControlModel& tree, HWND control) {
  SendMessageW(control, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
  std::vector<HTREEITEM>& items = treeItems_[control];
  items.clear();
  std::map<std::string, HTREEITEM> byKey;
  const std::vector<TreeNode>& nodes = tree.nodes();
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const auto parent = byKey.find(nodes[i].parentKey);
    std::wstring text = Wide(nodes[i].text);
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent == byKey.end() ? TVI_ROOT : parent->second;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = text.data();
    insert.item.lParam = static_cast<LPARAM>(i);
    insert.item.iImage = insert.item.iSelectedImage = nodes[i].image;
    items.push_back(reinterpret_cast<HTREEITEM>(
        SendMessageW(control, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert))));
    byKey[nodes[i].key] = items.back();
  }
  for (const TreeNode& node : nodes) {
    if (node.expanded)
      SendMessageW(control, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(byKey[node.key]));
  }
  SelectNode(tree);
}

bool Win32FormView::ShowTreeChange(ControlModel& changed, HWND control, Change change) {
  switch (change) {
    case Change::Text:
      SelectNode(changed);
      return true;
    case Change::Nodes:
      ShowNodes(changed, control);
      return true;
    default:
      return false;
  }
}

LRESULT Win32FormView::DrawTreeItem(const NMHDR& header) {
  // The chosen node stays highlighted while the focus is elsewhere (on the
  // Next button that led to its page), not greyed to near nothing.
  auto& draw = const_cast<NMTVCUSTOMDRAW&>(reinterpret_cast<const NMTVCUSTOMDRAW&>(header));
  if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
  if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT && GetFocus() != header.hwndFrom &&
      reinterpret_cast<HTREEITEM>(draw.nmcd.dwItemSpec) ==
          reinterpret_cast<HTREEITEM>(
              SendMessageW(header.hwndFrom, TVM_GETNEXTITEM, TVGN_CARET, 0))) {
    draw.clrText = GetSysColor(COLOR_HIGHLIGHTTEXT);
    draw.clrTextBk = GetSysColor(COLOR_HIGHLIGHT);
  }
  return CDRF_DODEFAULT;
}

void Win32FormView::OnTreeNotify(ControlModel& model, const NMHDR& header) {
  // Unicode notifications: the window is a Unicode one (WM_NOTIFYFORMAT).
  if (header.code == TVN_SELCHANGEDW) {
    // A move by key is a choice. A click's choice is reported by its
    // NM_CLICK, which comes before the selection moves (or after it, in
    // some versions). A selection by code is none.
    const auto& change = reinterpret_cast<const NMTREEVIEWW&>(header);
    const auto node = static_cast<std::size_t>(change.itemNew.lParam);
    if (change.itemNew.hItem && node < model.nodes().size()) {
      model.SetText(model.nodes()[node].key);
      if (change.action == TVC_BYKEYBOARD) form_.Click(model.key());
    }
  }
  if (header.code == NM_CLICK) {
    // The node clicked, also the one already selected, is the choice.
    TVHITTESTINFO hit{};
    hit.pt = MessagePoint(header.hwndFrom);
    auto* item = reinterpret_cast<HTREEITEM>(
        SendMessageW(header.hwndFrom, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (!item || !(hit.flags & TVHT_ONITEM)) return;
    const std::vector<HTREEITEM>& items = treeItems_[header.hwndFrom];
    for (std::size_t i = 0; i < items.size() && i < model.nodes().size(); ++i) {
      if (items[i] != item) continue;
      model.SetText(model.nodes()[i].key);
      form_.Click(model.key());
      break;
    }
  }
}

}  // namespace quillon::gui
