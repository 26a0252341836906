#include "settings.h"

#include <windows.h>

#include <optional>
#include <string>

#include "../host/kessrig.h"
#include "../resources/string_ids.h"
#include "code_page.h"
#include "file_error.h"
#include "host_link.h"
#include "state.h"
#include "text.h"
#include "text_file.h"

namespace {

// The framework's pointer is copied at once and never kept.
std::string CopyHostText(const char* text) { return text ? std::string(text) : std::string(); }

// The profile functions convert the file name to a counted wide string. Past
// what that holds, Wine's read and wrote win.ini instead (and another build
// crashed), so such a name is never handed to them.
bool ProfileFunctionsTake(const std::string& path) {
    constexpr size_t kLongestProfileName = 32766;
    return WideFromAnsi(path).size() <= kLongestProfileName;
}

std::string WriteErrorText(const std::string& settingsPath) { return "Unable to write to " + settingsPath; }

KeyEnableFlags ReadKeyFlags(const std::string& settingsPath) {
    if (!ProfileFunctionsTake(settingsPath)) return kDefaultKeyFlags;
    constexpr DWORD kValueBufferSize = 2048;
    char value[kValueBufferSize] = {};
    const DWORD length =
        GetPrivateProfileStringA(LoadText(IDS_SETTINGS_SECTION).c_str(), LoadText(IDS_SETTINGS_KEY).c_str(), "",
                                 value, kValueBufferSize, settingsPath.c_str());
    return KeyFlagsFromText(std::string_view(value, length));
}

}  // namespace

void LoadModuleState() {
    ModuleState& state = g_state;
    state.clientRoot = CopyHostText(ks_clroot());
    state.clientDataRoot = WithTrailingBackslash(CopyHostText(ks_cldataroot()), IsAnsiLeadByte);
    state.mapPointerPath = state.clientDataRoot + LoadText(IDS_MAP_POINTER_FILE);
    state.settingsPath = CopyHostText(ks_moddocroot(state.moduleId)) + '\\' + LoadText(IDS_SETTINGS_FILE);

    const KeyEnableFlags flags = ReadKeyFlags(state.settingsPath);
    state.f12Enabled = (flags & kF12Flag) != 0;
    state.controlTEnabled = (flags & kControlTFlag) != 0;
    state.savedKeyFlags = flags;
}

void SaveModuleSettings() {
    ModuleState& state = g_state;
    const std::string& path = state.settingsPath;
    // A second client may have saved its switches since this one read them:
    // only the switches that this session changed go over the file's.
    const KeyEnableFlags session = KeyFlagsOf(state.f12Enabled, state.controlTEnabled);
    const KeyEnableFlags changed = session ^ state.savedKeyFlags;
    const KeyEnableFlags flags = (ReadKeyFlags(path) & ~changed) | (session & changed);
    // Not the system's profile writer: it rewrites the file in place, and
    // under Wine reports success when a full disk left it empty. Through a new
    // file instead, as editor.ini, so that the old text stays on any failure.
    try {
        const OldFile old = ReadForRewrite(path);
        const std::optional<std::string> text =
            WithProfileValue(old.text, LoadText(IDS_SETTINGS_SECTION), LoadText(IDS_SETTINGS_KEY),
                             std::to_string(flags), NamesEqualForUser);
        // NUL bytes: no text that the profile reader takes, so it is kept as it is.
        if (!text) throw FileError(WriteErrorText(path));
        RewriteFile(path, old, *text);
    } catch (const FileError&) {
        throw FileError(WriteErrorText(path));
    }
    state.savedKeyFlags = session;
}
