// File names for transfers: what the other subsystems use of them.
#pragma once

#include <cstdint>

#include "core/errors.h"
#include "core/name_case.h"

namespace kx {

// Whether a byte may stand in a local file name made from a host name.
bool IsLocalNameCharacter(unsigned char c);

// The local form of a host name into `out` (260 bytes), by the rules of the
// volume the name points at (or of 8.3 names with LOCAL_NAME_FORCE_83); 5
// when nothing survives, a pointer is null or the host name has 260
// characters or more. LOCAL_NAME_DROP_LAST_EXT may shorten the host
// name in place.
ErrorCode MakeLocalName(char *hostName, char *out, uint32_t flags);

}  // namespace kx
