// Reporting the run's outcome through the channels the document enables.
#pragma once

namespace quillon::engine {

struct RunContext;

void SendNotifications(RunContext& context);

}  // namespace quillon::engine
