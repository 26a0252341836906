// Ids of the localizable names in the library's string table.
// Shared by the resource script and the code, so plain #defines only.
#pragma once

#define IDS_MAP_POINTER_FILE 101  /* editor.ini */
#define IDS_MAP_ENTRY 102         /* MAP */
#define IDS_SETTINGS_SECTION 103  /* Main */
#define IDS_SETTINGS_KEY 104      /* Flags */
#define IDS_SETTINGS_FILE 105     /* Tarnwick.ini */
#define IDS_COMMAND_F12 106       /* TW-F12 */
#define IDS_COMMAND_CTRLT 107     /* TW-CTRLT */
