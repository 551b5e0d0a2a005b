// The wizard's controls and the migration document: the controls are the
// working copy while the administrator edits; the record is brought up to
// date by GatherFormIntoDocument before every write, and shown again by
// FillFormFromDocument after every read. Logic on the control models only,
// so it runs without a window.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "document/migration_document.h"
#include "gui/form.h"

namespace quillon::toolkit {

inline constexpr const char* kUntitled = "UNTITLED";

// The document the wizard edits and its file state.
struct WizardDocument {
  document::MigrationDocument record;
  std::string DocumentPath;                  // full path; empty until saved or opened
  std::string DocumentFileName = kUntitled;  // without folder
  bool DocumentDirty = false;
};

// A line break of a pop-up message, as the one-line document value holds it.
inline constexpr std::string_view kEscapedLineBreak = "^CRLF";
std::string EscapeMessage(std::string_view text);    // CR LF -> "^CRLF"
std::string UnescapeMessage(std::string_view text);  // "^CRLF" -> CR LF

// The list box line of one list element, and the element a line stands for.
// Separators are " -> " between from and to, " >> " inside a side.
std::string ListLine(const document::ServerPair& pair);
std::string ListLine(const document::PrinterPair& pair);
std::string ListLine(const document::MixedPair& pair);
std::string ListLine(const document::PopulateRule& rule);
std::string ListLine(const document::PruneRule& rule);
std::string ListLine(const document::PrinterDriverRule& rule);
document::ServerPair ServerPairOfLine(std::string_view line);
document::PrinterPair PrinterPairOfLine(std::string_view line);
document::MixedPair MixedPairOfLine(std::string_view line);
document::PopulateRule PopulateRuleOfLine(std::string_view line);
document::PruneRule PruneRuleOfLine(std::string_view line);
document::PrinterDriverRule PrinterDriverOfLine(std::string_view line);

// A list line cut at every `separator` (" -> " or " >> "), empty parts kept.
std::vector<std::string> LineParts(std::string_view line, std::string_view separator);

// The new-document defaults of the record alone.
document::MigrationDocument NewDocumentRecord();

// Empties the list editors' boxes and the directory printer combos.
void ClearEditBoxes(gui::Form& form);
// Document to controls. The change handlers that fire meanwhile mark the
// document changed; every caller clears the mark afterwards.
void FillFormFromDocument(gui::Form& form, const document::MigrationDocument& record);
// Controls to document: every mapped field, every list rebuilt.
void GatherFormIntoDocument(gui::Form& form, document::MigrationDocument& record);
// The new-document defaults, shown, with no file and no changes.
void ResetDocument(gui::Form& form, WizardDocument& document);

// Marks the document changed on every edit of a bound control or of a list
// editor's boxes, as the administrator makes them.
void WatchForChanges(gui::Form& form, WizardDocument& document);

// The controls this binding reads and writes, with their kinds: what the
// wizard's description must hold.
std::vector<gui::ControlDescription> BoundControls();

}  // namespace quillon::toolkit
