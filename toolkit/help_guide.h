// Where Help leads: the offline guide made from docs/toolkit.md at build time
// (scripts/make-guide) into the QuillonGuide folder beside the program, and
// the section of it that each help context shows.
#pragma once

#include <string>
#include <vector>

namespace quillon::toolkit {

inline constexpr const char* kGuideFolderName = "QuillonGuide";

// The id of the guide's section for a help context; empty for the contents
// (gui::kHelpContents) and for a context the guide has no section for, which
// open the guide at its beginning.
std::string GuideSection(int context);

// Every help context that has a section, in the table's order.
std::vector<int> GuideContexts();

// The page Help opens for a context: the guide itself for its beginning, or
// else the section's own small page (sections/ID.html), which leads the
// browser on to the section. A fragment would be lost on the way: the shell
// and xdg-open drop it from a local file's URL.
std::string GuidePage(const std::string& programFolder, int context);

}  // namespace quillon::toolkit
