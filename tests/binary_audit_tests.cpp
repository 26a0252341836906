// Reads the built Tarnwick.dll as a file and checks what the framework and
// the player's system rely on: a 32-bit image with the usual protections, the
// seven exports by name and ordinal, exactly the allowed imports (so no
// runtime DLLs beyond Windows' own), and the string and version resources.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

#include "support/design_texts.h"
#include "support/module_under_test.h"
#include "tarnwick_version.h"

namespace {

class PeImage {
public:
    explicit PeImage(const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << file.rdbuf();
        data_ = bytes.str();
    }
    bool Loaded() const { return data_.size() > sizeof(IMAGE_DOS_HEADER); }
    size_t Size() const { return data_.size(); }

    const IMAGE_NT_HEADERS32& Headers() const {
        return *At<IMAGE_NT_HEADERS32>(At<IMAGE_DOS_HEADER>(0)->e_lfanew);
    }
    const IMAGE_DATA_DIRECTORY& Directory(int index) const { return Headers().OptionalHeader.DataDirectory[index]; }

    // The file offset of a relative virtual address.
    size_t Offset(DWORD rva) const {
        const auto& headers = Headers();
        const auto* sections = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
            reinterpret_cast<const char*>(&headers.OptionalHeader) + headers.FileHeader.SizeOfOptionalHeader);
        for (int i = 0; i < headers.FileHeader.NumberOfSections; ++i) {
            const auto& section = sections[i];
            if (rva >= section.VirtualAddress && rva < section.VirtualAddress + section.Misc.VirtualSize)
                return rva - section.VirtualAddress + section.PointerToRawData;
        }
        throw std::runtime_error("address outside every section");
    }
    template <class T>
    const T* At(size_t offset) const {
        if (offset + sizeof(T) > data_.size()) throw std::runtime_error("past the end of the file");
        return reinterpret_cast<const T*>(data_.data() + offset);
    }
    std::string Text(DWORD rva) const { return std::string(At<char>(Offset(rva))); }

    std::map<WORD, std::string> ExportsByOrdinal() const {
        std::map<WORD, std::string> exports;
        const auto* directory = At<IMAGE_EXPORT_DIRECTORY>(Offset(Directory(IMAGE_DIRECTORY_ENTRY_EXPORT).VirtualAddress));
        const auto* names = At<DWORD>(Offset(directory->AddressOfNames));
        const auto* ordinals = At<WORD>(Offset(directory->AddressOfNameOrdinals));
        for (DWORD i = 0; i < directory->NumberOfNames; ++i)
            exports[static_cast<WORD>(ordinals[i] + directory->Base)] = Text(names[i]);
        EXPECT_EQ(directory->NumberOfFunctions, directory->NumberOfNames) << "an export without a name";
        return exports;
    }
    std::string ExportedLibraryName() const {
        return Text(At<IMAGE_EXPORT_DIRECTORY>(Offset(Directory(IMAGE_DIRECTORY_ENTRY_EXPORT).VirtualAddress))->Name);
    }

    // Imported names by library (lower case); an import by ordinal shows as "#n".
    std::map<std::string, std::set<std::string>> Imports() const {
        std::map<std::string, std::set<std::string>> imports;
        size_t offset = Offset(Directory(IMAGE_DIRECTORY_ENTRY_IMPORT).VirtualAddress);
        for (;; offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
            const auto* descriptor = At<IMAGE_IMPORT_DESCRIPTOR>(offset);
            if (descriptor->Name == 0) break;
            std::string library = Text(descriptor->Name);
            std::transform(library.begin(), library.end(), library.begin(), [](char c) { return std::tolower(c); });
            auto& names = imports[library];
            const DWORD thunks = descriptor->OriginalFirstThunk ? descriptor->OriginalFirstThunk : descriptor->FirstThunk;
            for (const auto* thunk = At<IMAGE_THUNK_DATA32>(Offset(thunks)); thunk->u1.AddressOfData; ++thunk) {
                if (IMAGE_SNAP_BY_ORDINAL32(thunk->u1.Ordinal))
                    names.insert(std::string(1, '#').append(std::to_string(IMAGE_ORDINAL32(thunk->u1.Ordinal))));
                else
                    names.insert(Text(thunk->u1.AddressOfData + 2));  // past the hint
            }
        }
        return imports;
    }

private:
    std::string data_;
};

using ImportRow = std::pair<std::string, const char*>;

// The Windows calls of the module's own code, whichever compiler built it.
// A new call is one more row.
const std::vector<ImportRow> kModuleImports = {
    {"kessrig.dll", "ks_speak ks_clroot ks_cldataroot ks_moddocroot"},
    {"comdlg32.dll", "GetOpenFileNameW CommDlgExtendedError"},
    {"user32.dll", "LoadStringA SendInput MapVirtualKeyA GetAsyncKeyState GetKeyState IsWindow GetFocus DefWindowProcA"},
    {"user32.dll", "GetAncestor GetForegroundWindow SetForegroundWindow EnumThreadWindows GetWindowTextW PostMessageW"},
    {"user32.dll", "SetWindowsHookExW UnhookWindowsHookEx CallNextHookEx SetTimer KillTimer"},
    {"kernel32.dll", "GetModuleHandleExW FreeLibrary GetCurrentThreadId GetEnvironmentVariableA"},
    {"kernel32.dll", "GetShortPathNameW GetLongPathNameW GetACP MultiByteToWideChar WideCharToMultiByte IsDBCSLeadByteEx"},
    {"kernel32.dll", "GetPrivateProfileStringA SetCurrentDirectoryA"},
    {"kernel32.dll", "CreateFileA ReadFile WriteFile FlushFileBuffers CloseHandle GetFileSizeEx GetFileAttributesA"},
    {"kernel32.dll", "MoveFileExW DeleteFileW CompareStringA GetFullPathNameA"},
    {"kernel32.dll", "GetLastError FormatMessageA GetCurrentProcessId SetFilePointerEx SetEndOfFile"},
    {"kernel32.dll", "GetFileInformationByHandleEx GetFinalPathNameByHandleW CreateFileW"},
    {"advapi32.dll", "GetFileSecurityW SetFileSecurityW"},
};

// What the static runtime of a mingw-w64 build adds: libstdc++, GCC's
// unwinder and mingw-w64's start-up code, the same for GCC's and clang's
// builds, which link the runtime of the GCC that built these tests. No thread
// control, process or debugging calls (the posix threads library brought
// SuspendThread, GetThreadContext, OpenProcess ...).
const std::vector<ImportRow> kMingwRuntimeImports = {
    // The C library, for the module's code and the runtime alike,
    {"msvcrt.dll", "malloc calloc realloc free memchr memcmp memcpy memmove memset strlen strcmp strncmp wcslen"},
    // locks and thread-local data of the exception machinery,
    {"kernel32.dll", "Sleep SetLastError"},
    {"kernel32.dll", "TlsAlloc TlsFree TlsGetValue TlsSetValue"},
    {"kernel32.dll", "InitializeCriticalSection EnterCriticalSection LeaveCriticalSection DeleteCriticalSection"},
    // and its start-up (relocations, a look for a shared libgcc).
    {"kernel32.dll", "VirtualProtect VirtualQuery GetModuleHandleA LoadLibraryA GetProcAddress FreeLibrary"},
    {"msvcrt.dll", "_initterm _amsg_exit _lock _unlock _iob fwrite vfprintf abort"},
#if __GNUC__ >= 14
    // GCC 14's threads layer locks with critical sections alone; its exception
    // buffer takes its size from GLIBCXX_TUNABLES.
    {"kernel32.dll", "TryEnterCriticalSection GetThreadId"},
    {"msvcrt.dll", "getenv strchr strtoul"},
#else
    // GCC 12's threads layer locks with semaphores.
    {"kernel32.dll", "CreateSemaphoreW ReleaseSemaphore WaitForSingleObject GetCurrentThreadId"},
#endif
};

class BinaryAudit : public ::testing::Test {
protected:
    PeImage image{ModulePath()};
};

TEST_F(BinaryAudit, IsA32BitGuiDllForVistaWithRandomBaseAndNoExecutableData) {
    ASSERT_TRUE(image.Loaded());
    EXPECT_EQ(image.Headers().Signature, IMAGE_NT_SIGNATURE);
    EXPECT_EQ(image.Headers().FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_TRUE(image.Headers().FileHeader.Characteristics & IMAGE_FILE_DLL);
    const auto& optional = image.Headers().OptionalHeader;
    EXPECT_EQ(optional.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    EXPECT_EQ(optional.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
    // Windows Vista, whose calls it needs (GetFinalPathNameByHandle and others).
    EXPECT_EQ(optional.MajorOperatingSystemVersion * 100 + optional.MinorOperatingSystemVersion, 600);
    EXPECT_EQ(optional.MajorSubsystemVersion * 100 + optional.MinorSubsystemVersion, 600);
    constexpr WORD kProtections = IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | IMAGE_DLLCHARACTERISTICS_NX_COMPAT;
    EXPECT_EQ(optional.DllCharacteristics & kProtections, kProtections);
}

TEST_F(BinaryAudit, ExportsExactlyTheSevenCallbacks) {
    ASSERT_TRUE(image.Loaded());
    const std::map<WORD, std::string> expected = {{1, "on_onet"},    {2, "on_inet"},    {3, "on_command"},
                                                  {4, "on_world"},   {5, "on_wndproc"}, {6, "on_client"},
                                                  {7, "on_module"}};
    EXPECT_EQ(image.ExportsByOrdinal(), expected);
    EXPECT_EQ(image.ExportedLibraryName(), "Tarnwick.dll");
}

// By name only: an import by ordinal ("#n") is never on the list.
TEST_F(BinaryAudit, ImportsExactlyTheAllowedCalls) {
#if defined(_MSC_VER)
    GTEST_SKIP() << "the runtime rows are mingw-w64's; a /MT build's runtime imports are not checked";
#else
    ASSERT_TRUE(image.Loaded());
    std::set<std::string> allowed, imported;
    for (const auto* rows : {&kModuleImports, &kMingwRuntimeImports}) {
        for (const auto& [library, names] : *rows) {
            std::istringstream words(names);
            for (std::string name; words >> name;) allowed.insert(library + "!" + name);
        }
    }
    for (const auto& [library, names] : image.Imports()) {
        for (const std::string& name : names) imported.insert(library + "!" + name);
    }
    const auto notIn = [](const std::set<std::string>& names, const std::set<std::string>& list) {
        std::string rest;
        for (const std::string& name : names) rest += list.count(name) ? "" : name + " ";
        return rest;
    };
    EXPECT_EQ(notIn(imported, allowed), "") << "imported, but not on the list";
    EXPECT_EQ(notIn(allowed, imported), "") << "on the list, but no longer imported";
#endif
}

// One std::runtime_error or its kin in the module's code brings the C++
// library's exception classes and older string back: more than the module's
// own code and data (docs/building.md). The limits are mingw-w64 builds':
// the release's GCC 12, GCC 14 (whose std::string code is larger) and clang.
TEST_F(BinaryAudit, KeepsTheCppLibrarysExceptionClassesOut) {
#if !defined(_MSC_VER)
    ASSERT_TRUE(image.Loaded());
    const size_t gccLimit = __GNUC__ >= 13 ? 115'000u : 110'000u;
    EXPECT_LE(image.Size(), ModulePath().find("\\clang\\") == std::string::npos ? gccLimit : 125'000u);
#endif
}

TEST_F(BinaryAudit, CarriesItsStringTableAndVersionRecord) {
    HMODULE library =
        LoadLibraryExA(ModulePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(library, nullptr);
    for (const StringTableEntry& entry : kStringTable) {
        char text[64] = {};
        LoadStringA(library, entry.id, text, sizeof text);
        EXPECT_STREQ(text, entry.text);
    }
    FreeLibrary(library);

    const std::string path = ModulePath();
    DWORD ignored = 0;
    std::string version(GetFileVersionInfoSizeA(path.c_str(), &ignored), '\0');
    ASSERT_FALSE(version.empty());
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(version.size()), version.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueA(version.data(), "\\", reinterpret_cast<void**>(&fixed), &size));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(TARNWICK_VERSION_MINOR, TARNWICK_VERSION_MAJOR));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, TARNWICK_VERSION_PATCH));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    struct Translation { WORD language, codePage; }* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(version.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &size));
    ASSERT_GE(size, sizeof(Translation));
    char block[64];
    snprintf(block, sizeof block, "\\StringFileInfo\\%04X%04X\\", translation->language, translation->codePage);
    auto field = [&](const char* name) {
        char* value = nullptr;
        UINT length = 0;
        return VerQueryValueA(version.data(), (std::string(block) + name).c_str(), reinterpret_cast<void**>(&value), &length)
                   ? std::string(value)
                   : std::string("<missing>");
    };
    EXPECT_EQ(field("OriginalFilename"), "Tarnwick.dll");
    EXPECT_EQ(field("FileVersion"), TARNWICK_VERSION_TEXT);
    EXPECT_EQ(field("ProductName"), "Tarnwick");
    EXPECT_NE(field("FileDescription").find("32-bit"), std::string::npos);
}

}  // namespace
