// frmWizard over Qt Widgets: the toolkit's main window, its dialogs shown as
// modal windows of their own. Every widget's objectName is its control's key,
// every window's its form's name, so tests and tools find them.
#pragma once

#include <memory>
#include <string>

#include <QWidget>

#include "gui/dialogs.h"
#include "gui/qt/qt_form_view.h"
#include "platform/file_system.h"
#include "platform/directory.h"
#include "toolkit/directory_picker.h"
#include "toolkit/wizard.h"

namespace quillon::toolkit {

class frmWizard : public QWidget {
 public:
  // `dialogs` null: the real Qt dialogs, owned by the window. `directory`
  // null: the pickers have no directory to read.
  frmWizard(platform::FileSystem& files, const std::string& programFolder,
            const std::string& startFolder, gui::Dialogs* dialogs = nullptr,
            platform::Directory* directory = nullptr);
  ~frmWizard() override;

  Wizard& wizard() { return *wizard_; }

 private:
  void ShowModal(gui::Form& form);

  std::unique_ptr<gui::Dialogs> ownDialogs_;
  std::unique_ptr<Wizard> wizard_;
  std::unique_ptr<gui::QtFormView> view_;
  std::unique_ptr<platform::Clock> clock_;
  std::unique_ptr<DirectoryPicker> picker_;
};

}  // namespace quillon::toolkit
