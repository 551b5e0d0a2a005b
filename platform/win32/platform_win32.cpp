#include "platform/win32/platform_win32.h"

namespace quillon::platform::win32 {

Win32Platform::Win32Platform() : network_(net::CreateHostNetwork()) {}

Platform Win32Platform::AsPlatform() {
  return Platform{system_, registry_, profileStrings_, files_,     ui_,
                  clock_,  spooler_,  directory_,      eventLog_, *network_};
}

}  // namespace quillon::platform::win32
