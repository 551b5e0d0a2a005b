// The whole seam between the engine and the operating system. Each service is a
// small interface; the simulated client and the Windows backend implement them.
#pragma once

#include "platform/clock.h"
#include "platform/directory.h"
#include "platform/event_log.h"
#include "platform/file_system.h"
#include "platform/net/socket_loop.h"
#include "platform/profile_strings.h"
#include "platform/registry.h"
#include "platform/spooler.h"
#include "platform/system_info.h"
#include "platform/user_interface.h"

namespace quillon::platform {

struct Platform {
  SystemInfo& system;
  Registry& registry;
  ProfileStrings& profileStrings;
  FileSystem& files;
  UserInterface& ui;
  Clock& clock;
  Spooler& spooler;
  Directory& directory;
  EventLog& eventLog;
  net::Network& network;
};

}  // namespace quillon::platform
