// Folders from the framework, the derived paths, and the two key switches
// kept in Tarnwick.ini.
#pragma once

// Fills the paths from the framework's folders and reads the switches.
void LoadModuleState();

// Writes the switches that this session changed into the file as it is now,
// through a new file: Tarnwick.ini keeps its old text, or stays absent, when
// the write fails. Raises FileError "Unable to write to <path>" then.
void SaveModuleSettings();
