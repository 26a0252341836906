// The Linux side of Wine, where players' tools and the X server are: a
// test runs a program there, or makes a symbolic link as such a tool would.
#pragma once

#include <string>
#include <vector>

#include "temp_folder.h"

// Runs a program on the Linux side of Wine and waits for it; false outside Wine.
bool RunOnLinux(std::vector<const char*> arguments);

// A Windows path as the Linux side names it; empty outside Wine.
std::string UnixPathOf(const std::string& path);

// A symbolic link made and removed on the Linux side of Wine's drive, where
// players' tools make them: Wine 8 can neither make nor remove one.
class LinuxLink {
public:
    LinuxLink(const TempFolder& folder, const std::string& target, const std::string& name);
    ~LinuxLink();
    LinuxLink(const LinuxLink&) = delete;
    LinuxLink& operator=(const LinuxLink&) = delete;
    bool Made() const { return made_; }

private:
    std::string link_;
    bool made_;
};
