// The stand-in client's main window: a chat pane, a chat input, a menu and
// the Control+T accelerator, as the game client has them.
#pragma once

#include <windows.h>

#include <string>

#include "standin_host.h"
#include "transcript.h"

// Command ids of the main window. The game client's upload command is 121;
// the menu sends it with high word 0, the accelerator with high word 1.
constexpr WORD kUploadCommand = 121;
constexpr WORD kModuleInformationCommand = 122;
constexpr WORD kExitCommand = 123;

struct ClientSetup {
    const KsModule* module;  // null: the client runs without a module
    std::string editorIni;
    Transcript* transcript;  // every chat line goes here as well
    bool echoToConsole;      // print chat lines as they come
};

struct ClientWindows {
    HWND frame;
    HWND input;
};

// Makes and shows the main window; null frame on failure.
ClientWindows CreateClientWindow(const ClientSetup& setup);

// Adds a line to the chat pane. Only on the window's thread.
void ShowChatLine(const std::string& line);
// A line of the client's own, marked as such.
void ShowClientLine(const std::string& text);

// Runs until the main window is gone.
void RunMessageLoop(const ClientWindows& windows);
