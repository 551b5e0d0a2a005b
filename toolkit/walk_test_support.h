// The two kinds of document as the front-end walks take them: the start
// dialog's option that makes one, and every page Next goes through, in order.
#pragma once

#include <vector>

#include "toolkit/wizard_navigation.h"

namespace quillon::toolkit::testing {

struct DocumentKind {
  const char* name;
  const char* option;
  Variant variant;
  std::vector<Page> pages;
};

inline std::vector<DocumentKind> DocumentKinds() {
  using enum Page;
  return {
      {"ad", "optUseActiveDirectory", Variant::ActiveDirectory,
       {General, Targeting, ActiveDirectory, Notification, SmtpMail, FileOutput, ClientPopUp,
        ApplicationEventLog, DeploymentIntroduction, DeploymentGeneral, Mdac, Maintenance,
        Populate, Prune, SetDefault, Drivers, Support}},
      {"manual", "optUseManualConfiguration", Variant::Manual,
       {General, Targeting, ManualConfiguration, Servers, Printers, Mixed, Notification, SmtpMail,
        FileOutput, ClientPopUp, ApplicationEventLog, DeploymentGeneral, Maintenance, Populate,
        Prune, SetDefault, Drivers, Support}},
  };
}

}  // namespace quillon::toolkit::testing
