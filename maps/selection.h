// F12 and the client's Control-T upload command start a map selection; the
// chosen map goes into editor.ini and our own Control-T lets the upload run.
#pragma once

#include <cstdint>

#include "../host/kessrig.h"

// A key-down or command message of the client window: KS_TAKEN when the
// module took it (its result set to 0), KS_PASS_ON when the client gets it.
int32_t HandleKeyOrCommand(HostMessage& message) noexcept;

// Asks for a map, stores it and sends Control-T to the client.
void RunMapSelection();
