// The scripted session: a driver thread plays the player while the window's
// thread runs the client, so that the module can be tried with no one at
// the keyboard.
#pragma once

#include <windows.h>

#include <string>

#include "client_folders.h"
#include "client_window.h"
#include "transcript.h"

struct SessionSetup {
    ClientWindows windows;
    DWORD windowThread;
    const Transcript* transcript;
    ClientFolders folders;
    std::string screenshotPath;  // empty: no screenshot
    std::string editorIniBefore;
};

// The driver thread's work: every step, then closing the client. True when
// each step went as expected.
bool DriveSession(const SessionSetup& setup);

// After the client has closed and the module is unloaded: prints the chat
// transcript and the files, checks what the module saved, and gives the
// session's exit code.
int FinishSession(const SessionSetup& setup, bool stepsPassed);
