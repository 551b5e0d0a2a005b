// A window with a control of every kind, for the tests of the models and of
// both front ends: a text box with its label, a control array of option
// buttons, a tab control whose second page holds a list and a tree, a menu
// bar, a toolbar, and Escape and Enter buttons.
#pragma once

#include "gui/form.h"

namespace quillon::gui::testing {

inline FormDescription SampleForm() {
  constexpr unsigned kTopLeft = kAnchorLeft | kAnchorTop;
  constexpr unsigned kBottomRight = kAnchorRight | kAnchorBottom;
  FormDescription form;
  form.name = "frmSample";
  form.caption = "Sample";
  form.width = 300;
  form.height = 200;
  form.cancelControl = "cmdCancel";
  form.defaultControl = "cmdOK";
  form.menus = {{"mnuFile", "&File", {{"mnuFileOpen", "&Open...", {}}, {"", "-", {}},
                                      {"mnuFileExit", "E&xit", {}}}}};
  form.tools = {{"tbrNew", "New"}, {"tbrSave", "Save"}};
  form.controls = {
      {ControlKind::Label, "lblPort", -1, "&Port:", {4, 6, 30, 8}, kTopLeft, "", 0, {}, {}},
      {ControlKind::TextBox, "txtSMTPServerPort", -1, "25", {40, 4, 40, 12}, kTopLeft, "", 0, {}, {}},
      {ControlKind::MultiLineText, "txtNotes", -1, "", {90, 4, 100, 24}, kTopLeft, "", 0, {}, {}},
      {ControlKind::CheckBox, "chkUseSMTP", -1, "Use &SMTP", {4, 20, 60, 10}, kTopLeft, "", 0, {}, {}},
      {ControlKind::OptionButton, "optDefault", 0, "&None", {4, 32, 60, 10}, kTopLeft, "", 0, {}, {}},
      {ControlKind::OptionButton, "optDefault", 1, "&First", {4, 44, 60, 10}, kTopLeft, "", 0, {}, {}},
      {ControlKind::OptionButton, "optDefault", 2, "N&amed", {4, 56, 60, 10}, kTopLeft, "", 0, {}, {}},
      {ControlKind::ComboBox, "cboServer", -1, "", {200, 4, 90, 60}, kTopLeft, "", 0, {}, {}},
      {ControlKind::ComboList, "cboMode", -1, "", {200, 20, 90, 60}, kTopLeft, "", 0, {}, {}},
      {ControlKind::TabControl, "sstPages", -1, "", {70, 36, 220, 130}, kAnchorAll, "", 0,
       {"General", "Lists"}, {}},
      {ControlKind::ListBox, "lstServers", -1, "", {76, 54, 100, 40}, kTopLeft, "sstPages", 0, {}, {}},
      {ControlKind::ProgressBar, "prbWork", -1, "", {76, 100, 100, 10}, kTopLeft, "sstPages", 0, {}, {}},
      {ControlKind::ListView, "lvwPrinters", -1, "", {76, 54, 100, 60}, kTopLeft, "sstPages", 1,
       {"Name", "Driver"}, {}},
      {ControlKind::TreeView, "tvwPages", -1, "", {180, 54, 100, 100}, kTopLeft, "sstPages", 1, {},
       {StockImage::Document, StockImage::Folder}},
      {ControlKind::DriveList, "drvExisting", -1, "", {4, 70, 60, 60}, kTopLeft, "", 0, {}, {}},
      {ControlKind::FolderList, "dirExisting", -1, "", {4, 86, 60, 30}, kTopLeft, "", 0, {}, {}},
      {ControlKind::FileList, "filExisting", -1, "", {4, 120, 60, 30}, kTopLeft, "", 0, {}, {}},
      {ControlKind::Button, "cmdOK", -1, "OK", {186, 180, 50, 14}, kBottomRight, "", 0, {}, {}},
      {ControlKind::Button, "cmdCancel", -1, "&Cancel", {240, 180, 50, 14}, kBottomRight, "", 0, {}, {}},
  };
  return form;
}

}  // namespace quillon::gui::testing
