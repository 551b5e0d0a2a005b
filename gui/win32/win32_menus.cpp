// The menu bar, the toolbar and the shortcut keys in the Win32 front end:
// their commands' ids, the keys shown beside menu entries, the accelerator
// table, and the greying of a command's entry and tool.
#include "gui/win32/win32_form_parts.h"

#include <commctrl.h>

#include <string>
#include <vector>

namespace quillon::gui {

using namespace win32_parts;

void Win32FormView::CreateMenus() {
  const FormDescription& described = form_.description();
  if (described.menus.empty()) return;
  HMENU bar = CreateMenu();
  int next = kFirstCommandId;
  // Menus nest; a command's id names it in WM_COMMAND.
  auto fill = [&](auto& self, HMENU into, const std::vector<MenuDescription>& items) -> void {
    for (const MenuDescription& item : items) {
      if (item.caption == "-") {
        AppendMenuW(into, MF_SEPARATOR, 0, nullptr);
      } else if (!item.items.empty()) {
        HMENU popup = CreatePopupMenu();
        self(self, popup, item.items);
        AppendMenuW(into, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup),
                    Wide(item.caption).c_str());
      } else {
        commands_[next] = item.name;
        // The entry shows its key, right-aligned after the tab.
        const std::string keys = ShortcutKeys(described, item.name);
        const std::string caption = keys.empty() ? item.caption : item.caption + "\t" + keys;
        AppendMenuW(into, MF_STRING, static_cast<UINT_PTR>(next++), Wide(caption).c_str());
      }
    }
  };
  for (const MenuDescription& menu : described.menus) {
    HMENU popup = CreatePopupMenu();
    fill(fill, popup, menu.items);
    AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup),
                Wide(menu.caption).c_str());
  }
  SetMenu(window_, bar);
}

void Win32FormView::CreateToolbar() {
  const FormDescription& described = form_.description();
  if (described.tools.empty()) return;
  toolbar_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"",
                             WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST | CCS_TOP, 0, 0,
                             0, 0, window_, nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  SendMessageW(toolbar_, TB_SETBITMAPSIZE, 0, MAKELONG(0, 0));
  int next = kFirstToolId;
  for (const ToolDescription& tool : described.tools) {
    if (tool.caption == "-") {
      TBBUTTON separator{};
      separator.fsStyle = BTNS_SEP;  // of the default width
      SendMessageW(toolbar_, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&separator));
      continue;
    }
    commands_[next] = tool.name;
    // A list of strings: the second NUL ends it.
    const std::wstring caption = Wide(tool.caption) + L'\0';
    const INT_PTR text =
        SendMessageW(toolbar_, TB_ADDSTRINGW, 0, reinterpret_cast<LPARAM>(caption.c_str()));
    TBBUTTON button{};
    button.iBitmap = I_IMAGENONE;
    button.idCommand = next++;
    button.fsState = TBSTATE_ENABLED;
    button.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE | BTNS_SHOWTEXT;
    button.iString = text;
    SendMessageW(toolbar_, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
  }
  SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
  SetKey(toolbar_, described.name + ".toolbar");
}

void Win32FormView::CreateShortcuts() {
  // The keys: a key of a menu entry sends that entry's command, any other
  // one of its own.
  std::vector<ACCEL> keys;
  int nextShortcut = kFirstShortcutId;
  for (const ShortcutDescription& shortcut : form_.description().shortcuts) {
    const KeyChord chord = ParseShortcut(shortcut.keys);
    if (chord.key.empty()) continue;
    int id = 0;
    for (const auto& [each, name] : commands_) {
      if (name == shortcut.command && each < kFirstToolId) {
        id = each;
        break;
      }
    }
    if (!id) {
      id = nextShortcut++;
      commands_[id] = shortcut.command;
    }
    ACCEL key{};
    key.fVirt = static_cast<BYTE>(FVIRTKEY | (chord.control ? FCONTROL : 0) |
                                  (chord.shift ? FSHIFT : 0) | (chord.alt ? FALT : 0));
    key.key = static_cast<WORD>(chord.key.size() == 1 ? chord.key[0]
                                                      : VK_F1 + std::stoi(chord.key.substr(1)) - 1);
    key.cmd = static_cast<WORD>(id);
    keys.push_back(key);
  }
  if (!keys.empty())
    accelerators_ = CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size()));
}

void Win32FormView::ShowCommandState(const std::string& name) {
  const bool enabled = form_.CommandEnabled(name);
  for (const auto& [id, command] : commands_) {
    if (command != name || id >= kFirstShortcutId) continue;
    if (id >= kFirstToolId) {
      SendMessageW(toolbar_, TB_ENABLEBUTTON, static_cast<WPARAM>(id), MAKELONG(enabled, 0));
    } else {
      EnableMenuItem(GetMenu(window_), static_cast<UINT>(id),
                     MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    }
  }
}

}  // namespace quillon::gui
