// One small owner per kind of Windows resource, so that every path out of a
// function releases what it took.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

// A kernel file handle, closed when the owner goes.
class ScopedFile {
public:
    explicit ScopedFile(HANDLE handle) : handle_(handle) {}
    ~ScopedFile() {
        if (IsValid()) CloseHandle(handle_);
    }
    ScopedFile(const ScopedFile&) = delete;
    ScopedFile& operator=(const ScopedFile&) = delete;

    bool IsValid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE Get() const { return handle_; }
    // Closes now, so that the file can be renamed; true when the close worked.
    bool Close() {
        const bool closed = IsValid() && CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE handle_;
};

// A new file, made here for writing: closed and deleted when the owner goes,
// unless it was kept. Never touches a file of that name that was there before.
class ScopedTempFile {
public:
    ScopedTempFile(std::wstring path, DWORD attributes)
        : file_(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr)) {
        if (file_.IsValid()) path_ = std::move(path);
    }
    ~ScopedTempFile() {
        file_.Close();
        if (!path_.empty()) DeleteFileW(path_.c_str());
    }
    ScopedTempFile(const ScopedTempFile&) = delete;
    ScopedTempFile& operator=(const ScopedTempFile&) = delete;

    ScopedFile& File() { return file_; }
    const std::wstring& Path() const { return path_; }
    void Keep() { path_.clear(); }

private:
    ScopedFile file_;
    std::wstring path_;
};

// Keeps the process's current folder at a fixed one: sets it now, again on
// request, and when the owner goes. Relative paths then mean that folder,
// wherever the chooser dialog or an error left the current folder.
class CurrentFolderAnchor {
public:
    explicit CurrentFolderAnchor(std::string folder) : folder_(std::move(folder)) { Return(); }
    ~CurrentFolderAnchor() { Return(); }
    CurrentFolderAnchor(const CurrentFolderAnchor&) = delete;
    CurrentFolderAnchor& operator=(const CurrentFolderAnchor&) = delete;

    void Return() const { SetCurrentDirectoryA(folder_.c_str()); }

private:
    std::string folder_;
};

// A hook on this thread, removed when the owner goes: its procedure is code
// of this library, which must not be called once the library is unloaded.
class ScopedHook {
public:
    ScopedHook() = default;
    explicit ScopedHook(HHOOK hook) : hook_(hook) {}
    ~ScopedHook() {
        if (hook_) UnhookWindowsHookEx(hook_);
    }
    ScopedHook(ScopedHook&& other) noexcept : hook_(std::exchange(other.hook_, nullptr)) {}
    ScopedHook& operator=(ScopedHook&& other) noexcept {
        std::swap(hook_, other.hook_);
        return *this;
    }
    explicit operator bool() const { return hook_ != nullptr; }

private:
    HHOOK hook_ = nullptr;
};

// A timer of this thread, without a window, killed when the owner goes: its
// procedure is code of this library, as above.
class ScopedThreadTimer {
public:
    ScopedThreadTimer() = default;
    explicit ScopedThreadTimer(UINT_PTR id) : id_(id) {}
    ~ScopedThreadTimer() {
        if (id_) KillTimer(nullptr, id_);
    }
    ScopedThreadTimer(ScopedThreadTimer&& other) noexcept : id_(std::exchange(other.id_, 0)) {}
    ScopedThreadTimer& operator=(ScopedThreadTimer&& other) noexcept {
        std::swap(id_, other.id_);
        return *this;
    }

private:
    UINT_PTR id_ = 0;
};
