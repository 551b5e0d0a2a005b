// The Windows half of the file-security seam, open to tests that build a
// security descriptor from its SDDL text.
#pragma once

#include "platform/file_security.h"

namespace quillon::platform::win32 {

// The owner and access list of a security descriptor (a PSECURITY_DESCRIPTOR).
FileSecurity SecurityFromDescriptor(void* descriptor);

}  // namespace quillon::platform::win32
