#include "toolkit/help_guide.h"

#include <array>
#include <utility>

#include "platform/file_system.h"

namespace quillon::toolkit {
namespace {

// The pages' contexts (wizard_navigation.cpp) and the start dialog's (1081 at
// start-up, 1036 for File > New; its third context, 1042, is the Servers
// page's too and belongs to a tab that is never available). The ids are the
// guide's headings as make-guide names them, or anchors of its own.
constexpr std::array<std::pair<int, const char*>, 24> kSections{{
    {1081, "starting"},
    {1036, "new-document"},
    {1013, "general"},
    {1014, "targeting"},
    {1004, "active-directory"},
    {1027, "manual-configuration"},
    {1042, "servers"},
    {1039, "printers"},
    {1035, "mixed"},
    {1038, "notification"},
    {1008, "smtp-mail"},
    {1012, "file-output"},
    {1040, "client-pop-up"},
    {1010, "application-event-log"},
    {1006, "deployment"},
    // Directory documents' Deployment General page; in manual documents the
    // same page is called Deployment.
    {1019, "deployment-general"},
    {1080, "deployment-general"},
    {1028, "mdac"},
    {2090, "maintenance"},
    {2100, "populate"},
    {2010, "prune"},
    {2020, "set-default"},
    {2030, "drivers"},
    {1045, "support"},
}};

}  // namespace

std::string GuideSection(int context) {
  for (const auto& [known, section] : kSections) {
    if (known == context) return section;
  }
  return "";
}

std::vector<int> GuideContexts() {
  std::vector<int> contexts;
  for (const auto& entry : kSections) contexts.push_back(entry.first);
  return contexts;
}

std::string GuidePage(const std::string& programFolder, int context) {
  const std::string guide = platform::JoinPath(programFolder, kGuideFolderName);
  const std::string section = GuideSection(context);
  if (section.empty()) return platform::JoinPath(guide, "index.html");
  return platform::JoinPath(platform::JoinPath(guide, "sections"), section + ".html");
}

}  // namespace quillon::toolkit
