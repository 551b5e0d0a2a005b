// frmWizard as a real Win32 window under a display, driven with the mouse
// through the system's input queue: the start dialog answered in its own
// modal loop, every page of each kind of document walked by Next and back by
// Back, tree clicks, a typed field, Save As through a scripted file dialog,
// the file read back with the engine's reader; every page drawn into a BMP.
#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "document/document_file.h"
#include "gui/scripted_dialogs.h"
#include "gui/win32/win32_form_view.h"
#include "gui/win32/win32_test_support.h"
#include "platform/host/host_clock.h"
#include "platform/host/host_file_system.h"
#include "toolkit/wizard.h"
#include "toolkit/walk_test_support.h"
#include "toolkit/wizard_window.h"

namespace quillon::toolkit {
namespace {

namespace fs = std::filesystem;
using gui::testing::ClickMouse;
using gui::testing::PumpUntil;
using gui::testing::WindowText;
using enum Page;

// The top-level window of this thread whose key is `key`, when shown.
struct WindowSearch {
  std::string key;
  HWND found = nullptr;
};
BOOL CALLBACK MatchShownWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  if (IsWindowVisible(window) && gui::ControlKeyOf(window) == search->key) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}
HWND ShownWindow(const std::string& key) {
  WindowSearch search{key, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), MatchShownWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// A click in the middle of a control, as the user's hand makes it.
void ClickOn(HWND control) {
  RECT area{};
  GetClientRect(control, &area);
  ClickMouse(control, gui::testing::Center(area));
}

// Acts in the next window of that key once it shows, from inside whatever
// message loop runs then (a modal window's own).
std::function<void(HWND)> pendingAction;
std::string pendingKey;
void CALLBACK WhenShownTimer(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND window = ShownWindow(pendingKey);
  if (!window || !pendingAction) return;
  KillTimer(nullptr, timer);
  auto act = std::move(pendingAction);
  pendingAction = nullptr;
  act(window);
}
void WhenShown(const std::string& key, std::function<void(HWND)> act) {
  pendingKey = key;
  pendingAction = std::move(act);
  SetTimer(nullptr, 0, 50, WhenShownTimer);
}

class WizardWindowWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    folder_ = fs::temp_directory_path() / ("quillon-wizwin-" + std::to_string(seed()));
    fs::create_directories(folder_ / "program");
    fs::create_directories(folder_ / "docs");
  }
  void TearDown() override {
    view_.reset();
    wizard_.reset();
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  void Open() {
    view_.reset();
    wizard_ = std::make_unique<Wizard>(Wizard::Environment{
        dialogs_, files_, (folder_ / "program").string(), (folder_ / "docs").string(),
        [] { return std::vector<std::string>{"CORP"}; },
        [this](gui::Form& form) {
          gui::Win32FormView modal(form, view_->window());
          modal.RunModal();
        },
        {},
        {}});
    view_ = std::make_unique<gui::Win32FormView>(wizard_->form());
    wizard_->Load();
    SetWindowPos(view_->window(), HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
    view_->Show();
    SetForegroundWindow(view_->window());
    PumpUntil([] { return false; }, 300);
  }

  Page Showing() { return wizard_->navigation().CurrentPage(); }
  HWND Control(const std::string& key) { return view_->Control(key); }

  // The page's title and controls shown, every other page's hidden.
  void ExpectShown(Page page, Variant variant) {
    const std::string title = "lblTitle(" + std::to_string(static_cast<int>(page)) + ")";
    EXPECT_TRUE(IsWindowVisible(Control(title))) << title;
    EXPECT_EQ(WindowText(Control(title)), PageTitle(page, variant));
    for (const auto& model : wizard_->form().controls()) {
      const gui::ControlDescription& described = model->description();
      if (described.container != kPageTabs) continue;
      const bool onPage = described.page == static_cast<int>(page) && model->visible();
      EXPECT_EQ(IsWindowVisible(Control(model->key())) != FALSE, onPage)
          << model->key() << " on page " << static_cast<int>(page);
      const bool button = described.kind == gui::ControlKind::Button ||
                          described.kind == gui::ControlKind::CheckBox ||
                          described.kind == gui::ControlKind::OptionButton;
      if (onPage && button) {
        EXPECT_EQ(WindowText(Control(model->key())), described.caption) << model->key();
      }
    }
  }

  // The page's node is the tree's selection and is drawn highlighted, also
  // while the focus is elsewhere (on the button that led to the page).
  void ExpectHighlighted(Page page, Variant variant) {
    HWND tree = Control(kPageTree);
    const auto& nodes = wizard_->form()[kPageTree].nodes();
    TVITEMW item{};
    item.mask = TVIF_PARAM;
    item.hItem = TreeView_GetSelection(tree);
    ASSERT_TRUE(item.hItem && TreeView_GetItem(tree, &item));
    const auto node = static_cast<std::size_t>(item.lParam);
    ASSERT_LT(node, nodes.size());
    EXPECT_EQ(nodes[node].key, NodeKeyOf(page, variant)) << "page " << static_cast<int>(page);
    RECT place{};
    TreeView_GetItemRect(tree, item.hItem, &place, TRUE);
    PumpUntil([] { return false; }, 50);
    EXPECT_GT(gui::testing::PixelsOf(tree, GetSysColor(COLOR_HIGHLIGHT), &place),
              (place.right - place.left) * (place.bottom - place.top) / 3)
        << nodes[node].text << " is not drawn highlighted";
  }

  void ExpectNoClippedText(const std::string& where) {
    const std::vector<std::string> clipped = gui::testing::ClippedTexts(view_->window());
    EXPECT_TRUE(clipped.empty()) << where << ": " << ::testing::PrintToString(clipped);
  }

  void Draw(const std::string& name) {
    const fs::path out = fs::path(QUILLON_SCREENSHOT_DIR) / "toolkit-windows";
    fs::create_directories(out);
    PumpUntil([] { return false; }, 100);
    EXPECT_TRUE(gui::testing::SaveWindowBitmap(view_->window(),
                                               (out / (name + ".bmp")).string().c_str()));
  }

  // Clicks a button and waits for the page it leads to.
  bool Press(const std::string& key, Page from) {
    ClickOn(Control(key));
    return PumpUntil([&] { return Showing() != from; }, 2000);
  }

  void ClickNode(const std::string& key) {
    HWND tree = Control(kPageTree);
    const auto& nodes = wizard_->form()[kPageTree].nodes();
    // The node's rectangle, through the tree's own items in node order.
    HTREEITEM item = TreeView_GetRoot(tree);
    std::vector<HTREEITEM> order;
    std::function<void(HTREEITEM)> walk = [&](HTREEITEM at) {
      for (; at; at = TreeView_GetNextSibling(tree, at)) {
        order.push_back(at);
        walk(TreeView_GetChild(tree, at));
      }
    };
    walk(item);
    for (std::size_t i = 0; i < nodes.size() && i < order.size(); ++i) {
      if (nodes[i].key != key) continue;
      RECT place{};
      TreeView_GetItemRect(tree, order[i], &place, TRUE);
      ClickMouse(tree, gui::testing::Center(place));
      PumpUntil([&] { return wizard_->form()[kPageTree].text() == key; }, 2000);
      PumpUntil([] { return false; }, 100);
      return;
    }
    ADD_FAILURE() << "no node " << key;
  }

  // Deploy Now with the mouse into a share, then the batch file run as a
  // logon script runs it: the deployed engine starts with the deployed
  // document and writes its debug file beside itself.
  void DeployAndRunBatchFile(const std::string& document) {
    const fs::path share = folder_ / "share";
    fs::create_directories(share);
    const char* exe = std::getenv("QUILLON_TOOLKIT_EXE");
    ASSERT_TRUE(exe);
    fs::copy_file(fs::path(exe).parent_path() / "QuillonEngine.exe",
                  folder_ / "program" / "QuillonEngine.exe", fs::copy_options::overwrite_existing);
    wizard_->SetDeploymentHost({clock_, "ann", "PC042", std::nullopt,
                                [this](gui::Form& form) {
                                  auto* progress = new gui::Win32FormView(form, view_->window());
                                  progress->Show();
                                  return std::function<void()>([progress] { delete progress; });
                                },
                                {}});
    wizard_->form().Click("ID_BTN_DEPLOYMENT");
    wizard_->form()["txtNetworkSharePath"].SetText(share.string());
    PumpUntil([] { return false; }, 100);
    ClickOn(Control("chkBatchFile"));
    ASSERT_TRUE(PumpUntil([&] { return wizard_->form()["chkBatchFile"].checked(); }));
    wizard_->form().Click("ID_BTN_SAVE");
    dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
    ClickOn(Control("cmdDeployNow(0)"));
    ASSERT_TRUE(PumpUntil([&] {
      return !dialogs_.asked.empty() && dialogs_.asked.back().text == "Deployment successfull.";
    })) << gui::Transcript(dialogs_.asked);
    const fs::path batch = share / (fs::path(document).filename().string() + ".bat");
    ASSERT_TRUE(fs::exists(batch));

    std::string command = "cmd.exe /c \"" + batch.string() + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                               nullptr, folder_.string().c_str(), &startup, &process));
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    bool debugFile = false;
    for (const auto& entry : fs::directory_iterator(share)) {
      debugFile = debugFile || entry.path().extension() == ".debug";
    }
    EXPECT_TRUE(debugFile) << "the deployed engine did not run";
  }

  platform::HostClock clock_;
  fs::path folder_;
  gui::ScriptedDialogs dialogs_;
  platform::HostFileSystem files_;
  std::unique_ptr<Wizard> wizard_;
  std::unique_ptr<gui::Win32FormView> view_;
};

TEST_F(WizardWindowWin32Test, ANewDocumentOfEachKindWalksEveryPageAndSavesWhatWasTyped) {
  const std::vector<testing::DocumentKind> kinds = testing::DocumentKinds();
  for (const testing::DocumentKind& kind : kinds) {
    SCOPED_TRACE(kind.name);
    Open();
    WhenShown("frmNewINI", [&kind](HWND dialog) {
      ClickOn(gui::FindControl(dialog, kind.option));
      PumpUntil([] { return false; }, 100);
      ClickOn(gui::FindControl(dialog, "cmdSelect"));
    });
    ASSERT_TRUE(wizard_->Start(""));
    EXPECT_EQ(WindowText(view_->window()), "Quillon - Deployment Toolkit [UNTITLED]");
    EXPECT_EQ(wizard_->navigation().variant(), kind.variant);

    std::vector<Page> walked{Showing()};
    for (std::size_t step = 0; step < kind.pages.size(); ++step) {
      const Page page = Showing();
      ExpectShown(page, kind.variant);
      ExpectHighlighted(page, kind.variant);
      ExpectNoClippedText(std::string(kind.name) + " page " + std::to_string(static_cast<int>(page)));
      Draw(std::string(kind.name) + "-" + (page < Page(10) ? "0" : "") +
           std::to_string(static_cast<int>(page)));
      if (!Press("cmdNext(" + std::to_string(static_cast<int>(page)) + ")", page)) break;
      walked.push_back(Showing());
    }
    EXPECT_EQ(walked, kind.pages);
    std::vector<Page> back{Showing()};
    for (std::size_t step = 0; step < kind.pages.size(); ++step) {
      const Page page = Showing();
      if (!Press("cmdBack(" + std::to_string(static_cast<int>(page)) + ")", page)) break;
      back.push_back(Showing());
      ExpectHighlighted(Showing(), kind.variant);
    }
    EXPECT_EQ(back, std::vector<Page>(kind.pages.rbegin(), kind.pages.rend()));

    if (kind.variant == Variant::ActiveDirectory) {
      ClickNode("Key61");  // "General" under "Deployment"
      EXPECT_EQ(Showing(), DeploymentGeneral);
      ClickNode("Key1");
      EXPECT_EQ(Showing(), General);
    } else {
      ClickNode("Key33");
      EXPECT_EQ(Showing(), Mixed);
    }

    // What a document of the kind needs before it may be saved: the domain,
    // or a server pair through its editor; typed as the user types.
    const auto type = [](const std::string& text) {
      for (const char c : text) gui::testing::TypeKey(static_cast<WORD>(c));
    };
    if (kind.variant == Variant::ActiveDirectory) {
      wizard_->form().Click("ID_BTN_AD");
      PumpUntil([] { return false; }, 100);
      ClickOn(Control("cboDomainName"));
      type("CORP");
      ASSERT_TRUE(PumpUntil([&] { return wizard_->form()["cboDomainName"].text() == "corp"; }))
          << wizard_->form()["cboDomainName"].text();
    } else {
      wizard_->form().Click("ID_BTN_SERVER");
      PumpUntil([] { return false; }, 100);
      ClickOn(Control("txtFromServer"));
      type("OLDPS");
      ClickOn(Control("txtToServer"));
      type("NEWPS");
      ASSERT_TRUE(PumpUntil([&] { return wizard_->form()["txtToServer"].text() == "newps"; }));
      ClickOn(Control("cmdSaveServerPair"));
      ASSERT_TRUE(PumpUntil([&] { return wizard_->form()["lstServerPairs"].lines().size() == 1; }));
      EXPECT_EQ(SendMessageA(Control("lstServerPairs"), LB_GETCOUNT, 0, 0), 1);
    }

    // Typed, saved under a name, read back by the engine's reader.
    wizard_->form().Click("ID_BTN_EMAIL");
    ASSERT_EQ(Showing(), SmtpMail);
    ExpectHighlighted(SmtpMail, kind.variant);
    PumpUntil([] { return false; }, 100);
    ClickOn(Control("chkUseSMTP"));
    ASSERT_TRUE(PumpUntil([&] { return wizard_->form()["chkUseSMTP"].checked(); }));
    ClickOn(Control("txtEmailSubject"));
    // Letter keys without Shift type small letters.
    for (const char c : std::string("FLOOR")) gui::testing::TypeKey(static_cast<WORD>(c));
    ASSERT_TRUE(PumpUntil([&] { return wizard_->form()["txtEmailSubject"].text() == "floor"; }))
        << wizard_->form()["txtEmailSubject"].text();
    const std::string path = (folder_ / "docs" / (std::string(kind.name) + ".ini")).string();
    dialogs_.SetNextFileName(path);
    wizard_->form().Click("ID_BTN_SAVE_AS");
    EXPECT_EQ(WindowText(view_->window()),
              "Quillon - Deployment Toolkit [" + std::string(kind.name) + ".ini]");
    document::MigrationDocument read;
    ASSERT_FALSE(document::ReadDocument(files_, path, read));
    EXPECT_EQ(read.EmailSubject, "floor");
    EXPECT_TRUE(read.UseSMTP);
    EXPECT_EQ(read.UseActiveDirectory, kind.variant == Variant::ActiveDirectory);
    if (kind.variant == Variant::ActiveDirectory) {
      EXPECT_EQ(read.DomainName, "corp");
    } else {
      // One pair, however the file keeps a list of one.
      const document::ServerPair saved{"oldps", "newps"};
      EXPECT_EQ(std::count(read.ServerPairs.begin(), read.ServerPairs.end(), saved), 1);
      DeployAndRunBatchFile(path);
    }
  }
  EXPECT_EQ(dialogs_.unscripted, 0);
}

// The keys every editor has, pressed through the system's input queue; the
// focus after a View choice; Back and Next where they lead nowhere.
TEST_F(WizardWindowWin32Test, EditorKeysViewFocusAndGreyedBackAndNext) {
  std::ofstream(folder_ / "program" / "Quillon.hlp") << "help";
  const std::string help = (folder_ / "program" / "Quillon.hlp").string();
  Open();
  gui::Form& form = wizard_->form();
  // The window's own loop, keys included, until `done`.
  const auto run = [&form](const std::function<bool()>& done) {
    for (int waited = 0; waited < 5000; waited += 10) {
      form.ProcessEvents();
      if (done()) return true;
      Sleep(10);
    }
    return done();
  };
  // Saved as it is: a manual document that deletes the local printers.
  form["chkDeleteNonNetworked"].SetChecked(true);
  form["chkUseSMTP"].SetChecked(true);
  form.Click("ID_BTN_EMAIL");
  PumpUntil([] { return false; }, 100);
  ClickOn(Control("txtEmailSubject"));
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == Control("txtEmailSubject"); }));

  // F1 from a field: the help of the page shown.
  gui::testing::TypeKey(VK_F1);
  ASSERT_TRUE(run([&] { return !dialogs_.asked.empty(); }));
  EXPECT_EQ(gui::Transcript(dialogs_.asked), "help " + help + " context=1008\n");
  // Ctrl+S: saved under a name; the menu entry shows its key.
  dialogs_.asked.clear();
  const std::string path = (folder_ / "docs" / "keys.ini").string();
  dialogs_.SetNextFileName(path);
  gui::testing::TypeKey('S', VK_CONTROL);
  ASSERT_TRUE(run([&] { return fs::exists(path); })) << gui::Transcript(dialogs_.asked);
  EXPECT_EQ(WindowText(view_->window()), "Quillon - Deployment Toolkit [keys.ini]");
  std::vector<std::wstring> entries;
  HMENU file = GetSubMenu(GetMenu(view_->window()), 0);
  for (int item = 0; item < GetMenuItemCount(file); ++item) {
    wchar_t entry[64] = {};
    GetMenuStringW(file, static_cast<UINT>(item), entry, 64, MF_BYPOSITION);
    entries.push_back(entry);
  }
  EXPECT_EQ(entries, (std::vector<std::wstring>{L"&New\tCtrl+N", L"", L"&Open ...\tCtrl+O", L"",
                                                L"&Save\tCtrl+S", L"Save &As ...", L"", L"E&xit"}));
  // Ctrl+O: the open dialog, here cancelled.
  dialogs_.asked.clear();
  dialogs_.SetNextFileName("");
  gui::testing::TypeKey('O', VK_CONTROL);
  ASSERT_TRUE(run([&] { return !dialogs_.asked.empty(); }));
  EXPECT_EQ(dialogs_.asked[0].kind, gui::AskedDialog::Kind::OpenFile);
  // Ctrl+N: the kind of the new document is asked; F1 there is its help,
  // Escape its cancel.
  dialogs_.asked.clear();
  bool asked = false;
  WhenShown("frmNewINI", [&asked](HWND) {
    asked = true;
    gui::testing::TypeKey(VK_F1);
    gui::testing::TypeKey(VK_ESCAPE);
  });
  gui::testing::TypeKey('N', VK_CONTROL);
  ASSERT_TRUE(run([&] { return asked && !ShownWindow("frmNewINI"); }));
  ASSERT_EQ(dialogs_.asked.size(), 1U) << gui::Transcript(dialogs_.asked);
  EXPECT_EQ(dialogs_.asked[0].kind, gui::AskedDialog::Kind::Help);
  SetForegroundWindow(view_->window());

  // A View choice takes the focus out of the tree to the page's first field.
  SetFocus(Control(kPageTree));
  form.Click("ID_BTN_FILE");
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(GetFocus(), Control("chkUseFileOutput"));
  // Back on the first page, Next on the last: greyed.
  EXPECT_FALSE(IsWindowEnabled(Control("cmdBack(0)")));
  EXPECT_TRUE(IsWindowEnabled(Control("cmdNext(0)")));
  EXPECT_TRUE(IsWindowEnabled(Control("cmdBack(19)")));
  EXPECT_FALSE(IsWindowEnabled(Control("cmdNext(19)")));
  EXPECT_EQ(dialogs_.unscripted, 0);
}

TEST_F(WizardWindowWin32Test, AnExistingDocumentIsChosenFromTheFileList) {
  document::MigrationDocument record = NewDocumentRecord();
  record.UseActiveDirectory = true;
  record.DomainName = "CORP";
  ASSERT_FALSE(document::WriteDocument(files_, (folder_ / "docs" / "floor2.ini").string(), record));
  Open();
  WhenShown("frmNewINI", [](HWND dialog) {
    HWND tabs = gui::FindControl(dialog, "sstNewINI");
    // The "Existing" header, clicked.
    RECT header{};
    TabCtrl_GetItemRect(tabs, 1, &header);
    ClickMouse(tabs, gui::testing::Center(header));
    HWND files = gui::FindControl(dialog, "filExistingINI");
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(files) != FALSE; }));
    ASSERT_EQ(SendMessageA(files, LB_GETCOUNT, 0, 0), 1);
    RECT line{};
    SendMessageA(files, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&line));
    ClickMouse(files, gui::testing::Center(line), 2);
  });
  ASSERT_TRUE(wizard_->Start(""));
  EXPECT_EQ(WindowText(view_->window()), "Quillon - Deployment Toolkit [floor2.ini]");
  EXPECT_EQ(WindowText(Control("cboDomainName")), "CORP");
  EXPECT_EQ(dialogs_.unscripted, 0);
}

}  // namespace
}  // namespace quillon::toolkit
