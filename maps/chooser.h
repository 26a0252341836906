// The open-file dialog in which the player picks the map to upload.
#pragma once

#include <string>

// Shows the dialog starting at current (the MAP value, possibly empty); the
// chosen path, or empty text when the player cancels or the dialog fails.
std::string ChooseMapFile(const std::string& current);
