// Folders from the framework, the derived paths, and the two key switches
// kept in Tarnwick.ini.
#pragma once

// Fills the paths from the framework's folders and reads the switches.
void LoadModuleState();

// Writes the switches; raises FileError when the system refuses.
void SaveModuleSettings();
