// The toolkit's windows as descriptions: frmWizard (the page tree, the pages
// with every editing control, menus and toolbar), the start dialog frmNewINI
// and the about box frmAbout. Both front ends build them from these lines.
#pragma once

#include "gui/form.h"
#include "quillon_version.h"

namespace quillon::toolkit {

inline constexpr const char* kProgramTitle = "Quillon Deployment Toolkit";
inline constexpr const char* kProgramVersion = kVersion;
inline constexpr const char* kHelpFileName = "Quillon.hlp";
// Where the two link labels lead.
inline constexpr const char* kMdacInformationUrl =
    "https://learn.microsoft.com/sql/connect/connect-history";
// The product has no public site yet: a reserved name, to be replaced by the
// support page of the organisation that ships it.
inline constexpr const char* kSupportUrl = "https://quillon.example/support";

gui::FormDescription WizardWindowDescription();
gui::FormDescription NewIniDescription();
gui::FormDescription AboutDescription();
// frmProgress: what Deploy Now is doing, over a bar of its steps.
gui::FormDescription ProgressDescription();

}  // namespace quillon::toolkit
