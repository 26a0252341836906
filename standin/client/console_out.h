// Text to the console that started the client. The client is a window
// program, so it has a console only when it was started from one.
#pragma once

#include <string_view>

void PrintOut(std::string_view text);
void PrintLine(std::string_view line);
