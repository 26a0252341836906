// Texts of the module's design that more than one test program checks,
// held once here.
#pragma once

#include <string>
#include <vector>

#include "resources/string_ids.h"
#include "tarnwick_version.h"

// The library's string table, in id order.
struct StringTableEntry {
    unsigned id;
    const char* text;
};
inline constexpr StringTableEntry kStringTable[] = {
    {IDS_MAP_POINTER_FILE, "editor.ini"}, {IDS_MAP_ENTRY, "MAP"},          {IDS_SETTINGS_SECTION, "Main"},
    {IDS_SETTINGS_KEY, "Flags"},          {IDS_SETTINGS_FILE, "Tarnwick.ini"}, {IDS_COMMAND_F12, "TW-F12"},
    {IDS_COMMAND_CTRLT, "TW-CTRLT"},
};

// The information text (on_module event 4) with the switches as given.
inline std::vector<std::string> InformationLines(bool f12Enabled, bool controlTEnabled) {
    const char* const activeKeys[] = {"Tarnwick: All key commands disabled.", "Tarnwick: Press F12 to activate.",
                                      "Tarnwick: Press Control-T to activate.",
                                      "Tarnwick: Press F12 or Control-T to activate."};
    return {"Tarnwick: A module to help people with more than one dream they wish to upload.",
            "Tarnwick: Version " TARNWICK_VERSION_TEXT ", Created by Tovin.", "Tarnwick: Commands: @TW-F12, @TW-CTRLT",
            activeKeys[f12Enabled + 2 * controlTEnabled]};
}
