// The progress window shown during a run when the document's "ShowProgress" is
// set. The bar moves one step per report and wraps; it does not measure work.
#pragma once

#include <memory>
#include <string>

#include "platform/user_interface.h"

namespace quillon::engine {

struct RunContext;

struct Progress {
  std::unique_ptr<platform::ProgressWindow> window;
  int barValue = 0;
};

inline constexpr const char* kProgressCaption = "Quillon Engine Progress ...";

void StartProgress(RunContext& context);
void UpdateProgress(RunContext& context, const std::string& text);
void FinishProgress(RunContext& context);

}  // namespace quillon::engine
