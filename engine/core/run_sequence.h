// The engine's run: start-up, locating and reading the document, the phases in
// their fixed order, and the end of the run.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon::engine {

struct RunContext;

// The report's line when the run-once guard stops a run.
inline constexpr std::string_view kAlreadySucceededText =
    "This INI file has already succeeded on this machine.";

// Whether the command line asks for the release's version alone
// ("--version", blanks around it aside) rather than names a document.
bool AsksForVersion(std::string_view commandLine);

// One whole run, from the opening banner to the debug file.
void RunEngine(RunContext& context, const std::string& commandLine);

void LocateDocument(RunContext& context, const std::string& commandLine);
void RunMigration(RunContext& context);
// The document's targeting decided and its debug lines written; false when
// the run is not targeted and must do nothing more.
bool DecideRunTargeting(RunContext& context);
// The closing banner, the debug file written, and an event when it could not be.
void FinishDebugLog(RunContext& context);

// Sets the abort status and reports the failure, with its error, in the report.
void RecordFailure(RunContext& context, std::string_view contextText, std::int64_t errorNumber,
                   std::string_view errorDescription);

// The computer's network name, or "Computer UNKNOWN".
std::string GetComputerName(RunContext& context);

// A three-line banner: 80 "*", then `left` "*", the title, `right` "*", then 80 "*".
void WriteBanner(RunContext& context, int left, std::string_view title, int right);

const char* BooleanText(bool value);

}  // namespace quillon::engine
