// A fresh folder under the system's temporary folder, removed with all it
// holds when the test ends.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Text in the ANSI code page, and back; "?" for what it lacks.
std::wstring Wide(const std::string& text);
std::string Ansi(const std::wstring& text);

// The system's 8.3 form of a path, in the ANSI code page; empty when it has none.
std::string ShortPath(const std::wstring& path);
std::string ShortPath(const std::string& path);

// The process's current folder.
std::string CurrentFolder();

// A rename over a file gives it a new number; a write in place keeps it.
unsigned long FileNumberOf(const std::string& path);

// Runs a program on the Linux side of Wine and waits for it; false outside Wine.
bool RunOnLinux(std::vector<const char*> arguments);

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Windows path without a trailing backslash.
    const std::string& Path() const { return path_; }
    std::string PathOf(const std::string& name) const { return path_ + "\\" + name; }

    void Write(const std::string& name, const std::string& bytes) const;
    std::string Read(const std::string& name) const;
    bool Exists(const std::string& name) const;
    // Names of everything in the folder, sorted.
    std::string Listing() const;

private:
    std::string path_;
};

// Runs a Linux program (its command line) from Wine, in folder, and waits
// until test() holds (Wine does not wait for a Linux program); false outside
// Wine or when it never does.
bool RunOnLinuxIn(const std::string& folder, std::string command, const std::function<bool()>& test);

// A symbolic link made and removed on the Linux side of Wine's drive, where
// players' tools make them: Wine 8 can neither make nor remove one.
class LinuxLink {
public:
    LinuxLink(const TempFolder& folder, const std::string& target, const std::string& name)
        : folder_(folder), name_(name),
          made_(RunOnLinuxIn(folder.Path(), "/bin/ln -s " + target + " " + name, [&] { return folder.Exists(name); })) {}
    ~LinuxLink() {
        if (made_) RunOnLinuxIn(folder_.Path(), "/bin/rm " + name_, [&] { return !folder_.Exists(name_); });
    }
    bool Made() const { return made_; }

private:
    const TempFolder& folder_;
    std::string name_;
    bool made_;
};
