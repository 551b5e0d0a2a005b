// QuillonToolkit.exe itself, looked at from this process: a document on its
// command line, and the session's end asking about unsaved work.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "document/document_file.h"
#include "gui/win32/win32_form_view.h"
#include "gui/win32/win32_test_support.h"
#include "platform/host/host_file_system.h"
#include "toolkit/document_binding.h"

namespace quillon::toolkit {
namespace {

namespace fs = std::filesystem;
using gui::testing::PumpUntil;

// Starts the program on the document at `path` and waits for its window,
// whose caption names the document; null when none came.
HWND OpenInToolkit(const char* exe, const std::string& path, const std::wstring& caption,
                   PROCESS_INFORMATION* process) {
  std::string command = "\"" + std::string(exe) + "\" \"" + path + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, process)) {
    return nullptr;
  }
  const std::wstring title = L"Quillon - Deployment Toolkit [" + caption + L"]";
  HWND window = nullptr;
  PumpUntil([&] {
    window = FindWindowW(gui::kFormWindowClass, title.c_str());
    return window != nullptr;
  }, 15000);
  return window;
}

// The program as an administrator starts it: a document on the command line
// opens at once, in a window found by its controls' names.
TEST(QuillonToolkitExeTest, OpensTheDocumentItIsGiven) {
  const char* exe = std::getenv("QUILLON_TOOLKIT_EXE");
  ASSERT_TRUE(exe);
  std::random_device seed;
  const fs::path folder = fs::temp_directory_path() / ("quillon-toolkit-exe-" + std::to_string(seed()));
  fs::create_directories(folder);
  platform::HostFileSystem files;
  document::MigrationDocument record = NewDocumentRecord();
  record.UseManualDefinitions = true;
  record.ServerPairs = {{"", ""}, {"OLDPS01", "NEWPS01"}};
  const std::string path = (folder / "floor 3.ini").string();
  ASSERT_FALSE(document::WriteDocument(files, path, record));

  PROCESS_INFORMATION process{};
  HWND window = OpenInToolkit(exe, path, L"floor 3.ini", &process);
  ASSERT_TRUE(window) << "no window for the document";
  EXPECT_EQ(gui::ControlKeyOf(window), "frmWizard");
  HWND list = gui::FindControl(window, "lstServerPairs");
  ASSERT_TRUE(list);
  // Across processes Wine hands list text over in UTF-16.
  wchar_t line[64] = {};
  ASSERT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), 1);
  SendMessageW(list, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(line));
  EXPECT_EQ(std::wstring(line), L"OLDPS01 -> NEWPS01");
  // Closed unchanged: no question, the program ends.
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 10000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  EXPECT_EQ(code, 0U);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::error_code ignored;
  fs::remove_all(folder, ignored);
}

// The message box of another process, once it shows: a dialog window with
// that title.
HWND WaitForBox(const wchar_t* title) {
  HWND box = nullptr;
  PumpUntil([&] {
    box = FindWindowW(L"#32770", title);
    return box && IsWindowVisible(box);
  }, 10000);
  return box;
}

// Log-off and shutdown reach QuillonToolkit.exe as WM_QUERYENDSESSION: a
// changed document is asked about as at Exit while Windows waits; Cancel
// keeps the session and the window, No lets it end, and the end closes the
// program without asking again.
// Where the answer to a message sent with SendMessageCallbackW is kept; a
// plain function, as 32-bit Windows calls it with its own convention.
void CALLBACK AnswerHeard(HWND, UINT, ULONG_PTR data, LRESULT result) {
  *reinterpret_cast<LRESULT*>(data) = result;
}

TEST(QuillonToolkitExeTest, TheSessionsEndAsksAboutUnsavedWorkAsExitDoes) {
  const char* exe = std::getenv("QUILLON_TOOLKIT_EXE");
  ASSERT_TRUE(exe);
  std::random_device seed;
  const fs::path folder = fs::temp_directory_path() / ("quillon-toolkit-end-" + std::to_string(seed()));
  fs::create_directories(folder);
  platform::HostFileSystem files;
  document::MigrationDocument record = NewDocumentRecord();
  record.UseManualDefinitions = true;
  record.EmailSubject = "Floor 4";
  record.ServerPairs = {{"", ""}, {"OLDPS01", "NEWPS01"}};
  const std::string path = (folder / "floor4.ini").string();
  ASSERT_FALSE(document::WriteDocument(files, path, record));

  PROCESS_INFORMATION process{};
  HWND window = OpenInToolkit(exe, path, L"floor4.ini", &process);
  ASSERT_TRUE(window) << "no window for the document";
  // Unchanged: the session may end at once, nothing asked.
  DWORD_PTR answer = 0;
  ASSERT_TRUE(SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL,
                                  10000, &answer));
  EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
  SendMessageTimeoutW(window, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, &answer);

  // An edit, as typing makes it.
  HWND subject = gui::FindControl(window, "txtEmailSubject");
  ASSERT_TRUE(subject);
  SendMessageW(subject, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Floor 4, edited"));
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(subject), EN_CHANGE),
               reinterpret_cast<LPARAM>(subject));

  // The question comes while the log-off waits; each answer is what Windows hears.
  const auto endSession = [&](int button) {
    LRESULT heard = -1;
    HWND box = nullptr;
    // The box's own loop runs inside the message; the answer comes back here.
    EXPECT_TRUE(SendMessageCallbackW(
        window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF,
        AnswerHeard,
        reinterpret_cast<ULONG_PTR>(&heard)));
    box = WaitForBox(L"Save?");
    EXPECT_TRUE(box) << "no question about the unsaved work";
    if (!box) return heard;
    EXPECT_EQ(heard, -1) << "answered before the question was";
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    PumpUntil([&] { return heard != -1; }, 10000);
    return heard;
  };
  EXPECT_EQ(endSession(IDCANCEL), FALSE);
  SendMessageTimeoutW(window, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, &answer);
  EXPECT_TRUE(IsWindow(window)) << "Cancel keeps the window";
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(endSession(IDNO), TRUE);
  SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, &answer);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 10000), WAIT_OBJECT_0)
      << "the session's end closes the program without a second question";
  if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  document::MigrationDocument read;
  ASSERT_FALSE(document::ReadDocument(files, path, read));
  EXPECT_EQ(read.EmailSubject, "Floor 4") << "\"No\" saved nothing";
  std::error_code ignored;
  fs::remove_all(folder, ignored);
}

}  // namespace
}  // namespace quillon::toolkit
