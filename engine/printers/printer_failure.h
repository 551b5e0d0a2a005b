// How a failed spooler call is reported: the operation's own debug and report
// lines, then one line each that says in plain words what the code means and
// what usually mends it, so that an administrator reading "Error (3019)" in a
// report knows what to do without looking the number up.
#pragma once

#include <cstdint>
#include <string>

namespace quillon::engine {

struct RunContext;

// The plain-words explanation of a Windows error code (also in its HRESULT
// form 0x8007xxxx); for codes without one, the system's own message text.
std::string ExplainError(RunContext& context, std::uint32_t code);

// The failed call's debug line, its "SYSTEM ERROR: " line, its report line,
// and the explanation lines. Leaves `OperationsSucceeded` alone.
void ReportPrinterFailure(RunContext& context, const std::string& debug, std::uint32_t code,
                          const std::string& report);

// Plain words for a failure of this computer's own Print Spooler (listing the
// printers, reading the default printer).
std::string ExplainSpoolerUnavailable(RunContext& context, std::uint32_t code);

// Like ReportPrinterFailure, but nothing can be moved without the spooler: the
// run stops (AbortStatus) and its success is not stored.
void ReportSpoolerUnavailable(RunContext& context, const std::string& debug, std::uint32_t code,
                              const std::string& report);

}  // namespace quillon::engine
