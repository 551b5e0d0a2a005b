#include "engine/notification/notification.h"

namespace quillon::engine {

// No-op until the notification channels exist.
void SendNotifications(RunContext&) {}

}  // namespace quillon::engine
