// What the wizard checks: single fields when the administrator leaves them,
// the whole document before the toolbar's saves, and the controls that
// follow the check boxes and options governing them.
#pragma once

#include <functional>
#include <string>

#include "document/migration_document.h"
#include "gui/dialogs.h"
#include "gui/form.h"
#include "toolkit/document_binding.h"
#include "toolkit/wizard_navigation.h"

namespace quillon::toolkit {

// A port number as the engine takes one: decimal digits only, blanks around
// them aside ("25", " 1025 "; not "2.5e1", "0x19", "inf" or "nan"). No range
// is checked.
bool IsNumericText(const std::string& text);

class FieldChecks {
 public:
  struct Hooks {
    std::function<bool(const std::string& folder)> folderExists;
    std::function<void()> refreshDrivers;
  };

  FieldChecks(gui::Form& wizard, gui::Dialogs& dialogs, WizardDocument& document,
              WizardNavigation& navigation, Hooks hooks);

  // Every dependent control as its governing control says (window load).
  void ApplyOptionDependencies();
  // The pre-save check; a refusal has said why and shows the page to mend.
  bool ValidateBeforeSave();
  // The checks before every write, on the record about to be written: the
  // fields checked when left, and the lists the engine would cut. The first
  // that fails is said and its field shown.
  bool CheckBeforeWrite(const document::MigrationDocument& gathered);
  // Whether the page may be left: false, after one message and with the
  // focus put on it, while a field there that the administrator can edit
  // holds a value its check refuses.
  bool MayLeavePage(Page page);

 private:
  void FieldLeft(const std::string& key);
  // Warns and puts the focus back when the field's value is refused.
  bool FieldAccepted(const std::string& key);
  bool FocusWentToNavigation() const;
  void Depend(const std::string& governing, std::vector<std::string> dependents);

  gui::Form& wizard_;
  gui::Dialogs& dialogs_;
  WizardDocument& document_;
  WizardNavigation& navigation_;
  Hooks hooks_;
  bool checking_ = false;  // a field's message or refocus under way
};

}  // namespace quillon::toolkit
