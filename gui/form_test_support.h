// A window with a control of every kind, for the tests of the models and of
// both front ends: a text box with its label, a control array of option
// buttons, a tab control of three pages whose second holds a list and a tree,
// a link, a tab control whose pages are switched by code only, a menu bar, a
// toolbar with a separator and a tool that is also a menu command, and Escape
// and Enter buttons; and a modal window.
#pragma once

#include "gui/form.h"

namespace quillon::gui::testing {

inline FormDescription SampleForm() {
  constexpr unsigned kBottomRight = kAnchorRight | kAnchorBottom;
  FormDescription form;
  form.name = "frmSample";
  form.caption = "Sample";
  form.width = 400;
  form.height = 200;
  form.cancelControl = "cmdCancel";
  form.defaultControl = "cmdOK";
  form.menus = {{"mnuFile",
                 "&File",
                 {{"mnuFileOpen", "&Open...", {}}, {"", "-", {}}, {"mnuFileExit", "E&xit", {}}}}};
  form.tools = {{"tbrNew", "New"}, {"", "-"}, {"mnuFileOpen", "Open"}, {"tbrSave", "Save"}};
  using Kind = ControlKind;
  form.controls = {
      Control(Kind::Label, "lblPort", "&Port:", {4, 6, 30, 8}),
      Control(Kind::TextBox, "txtSMTPServerPort", "25", {40, 4, 40, 12}),
      Control(Kind::MultiLineText, "txtNotes", "", {90, 4, 100, 24}),
      Control(Kind::CheckBox, "chkUseSMTP", "Use &SMTP", {4, 20, 60, 10}),
      Control(Kind::OptionButton, "optDefault", "&None", {4, 32, 60, 10}).Member(0),
      Control(Kind::OptionButton, "optDefault", "&First", {4, 44, 60, 10}).Member(1),
      Control(Kind::OptionButton, "optDefault", "N&amed", {4, 56, 60, 10}).Member(2),
      Control(Kind::ComboBox, "cboServer", "", {200, 4, 90, 60}),
      Control(Kind::ComboList, "cboMode", "", {200, 20, 90, 60}),
      Control(Kind::TabControl, "sstPages", "", {70, 36, 220, 130}, kAnchorAll)
          .Columns({"General", "Lists", "Options"}),
      Control(Kind::ListBox, "lstServers", "", {76, 54, 100, 40}).OnPage("sstPages", 0),
      Control(Kind::ProgressBar, "prbWork", "", {76, 100, 100, 10}).OnPage("sstPages", 0),
      Control(Kind::ListView, "lvwPrinters", "", {76, 54, 100, 60})
          .OnPage("sstPages", 1)
          .Columns({"Name", "Driver"}),
      Control(Kind::TreeView, "tvwPages", "", {180, 54, 100, 100})
          .OnPage("sstPages", 1)
          .Images({StockImage::Document, StockImage::Folder}),
      Control(Kind::CheckBox, "chkVerbose", "&Verbose", {76, 54, 100, 10}).OnPage("sstPages", 2),
      Control(Kind::DriveList, "drvExisting", "", {4, 70, 60, 60}),
      Control(Kind::FolderList, "dirExisting", "", {4, 86, 60, 30}),
      Control(Kind::FileList, "filExisting", "", {4, 120, 60, 30}),
      Control(Kind::Link, "lnkHelp", "More about ports", {4, 154, 60, 10}),
      Control(Kind::TabControl, "sstSteps", "", {300, 4, 96, 60})
          .Columns({"First", "Second"})
          .HideTabs(),
      Control(Kind::TextBox, "txtFirstStep", "", {306, 10, 80, 12}).OnPage("sstSteps", 0),
      Control(Kind::CheckBox, "chkSecondStep", "S&econd step", {306, 10, 80, 10})
          .OnPage("sstSteps", 1),
      Control(Kind::Button, "cmdOK", "OK", {186, 180, 50, 14}, kBottomRight),
      Control(Kind::Button, "cmdCancel", "&Cancel", {240, 180, 50, 14}, kBottomRight),
  };
  return form;
}

// A modal window with one button that Escape presses.
inline FormDescription ModalSampleForm() {
  FormDescription form;
  form.name = "frmNewINI";
  form.caption = "New INI";
  form.width = 120;
  form.height = 40;
  form.modal = true;
  form.cancelControl = "cmdCancel";
  form.controls = {Control(ControlKind::Button, "cmdCancel", "&Cancel", {64, 20, 50, 14})};
  return form;
}

}  // namespace quillon::gui::testing
