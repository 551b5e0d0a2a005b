#include "engine/core/progress.h"

#include "engine/core/run_context.h"

namespace quillon::engine {
namespace {

// The window refuses to close while the run goes on; whoever reads the debug
// file learns that the user (or the system) tried.
void NoteRefusedRequests(RunContext& context) {
  const platform::RefusedRequests refused = context.progress.window->TakeRefusedRequests();
  if (refused.close > 0) {
    WriteDebugLine(context, ">> The user tried to close the progress window; the run goes on.");
  }
  if (refused.endSession > 0) {
    WriteDebugLine(context,
                   ">> Windows asked to end the session; it waits until the run has ended.");
  }
}

}  // namespace

void StartProgress(RunContext& context) {
  if (!context.document.ShowProgress) return;
  Progress& progress = context.progress;
  progress.window =
      context.platform.ui.CreateProgressWindow(kProgressCaption, "Progress statements ...");
  progress.window->SetLabel("Quillon starting ...");
  progress.window->SetBarMaximum(100);
  progress.barValue = 1;
  progress.window->SetBarValue(progress.barValue);
  progress.window->ProcessMessages();
  context.platform.clock.Sleep(250);
  progress.window->Show();
}

void UpdateProgress(RunContext& context, const std::string& text) {
  Progress& progress = context.progress;
  if (!context.document.ShowProgress || !progress.window) return;
  progress.window->Repaint();
  if (!text.empty()) progress.window->SetLabel(text);
  progress.barValue = progress.barValue != 100 ? progress.barValue + 1 : 1;
  progress.window->SetBarValue(progress.barValue);
  progress.window->ProcessMessages();
  NoteRefusedRequests(context);
}

void FinishProgress(RunContext& context) {
  Progress& progress = context.progress;
  if (!context.document.ShowProgress || !progress.window) return;
  progress.window->Repaint();
  progress.window->SetLabel("Quillon finished ...");
  progress.barValue = 100;
  progress.window->SetBarValue(progress.barValue);
  progress.window->ProcessMessages();
  context.platform.clock.Sleep(2000);
  NoteRefusedRequests(context);
  progress.window->Close();
  progress.window.reset();
}

}  // namespace quillon::engine
