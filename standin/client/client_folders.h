// The folders of the stand-in client: what the real client has installed,
// made on first run in a place the player may write to.
#pragma once

#include <string>
#include <vector>

struct ClientFolders {
    std::string root;        // everything below lives here
    std::string program;     // the client's program folder (ks_clroot)
    std::string data;        // the client's data folder, with editor.ini (ks_cldataroot)
    std::string moduleDocs;  // where modules keep their documents (ks_moddocroot)
    std::string maps;        // the player's dream files; a long name with blanks in it

    std::string EditorIni() const { return data + "\\editor.ini"; }
    std::string ModuleSettings() const { return moduleDocs + "\\Tarnwick.ini"; }
    // The sample dream files, the first one named by a new editor.ini.
    std::vector<std::string> SampleMaps() const;
    // One more, named in Cyrillic: outside the ANSI code page of a Western
    // system, so the ANSI client knows it only by its short name.
    std::wstring CyrillicSampleMap() const;
};

ClientFolders FoldersUnder(const std::string& root);

// %LOCALAPPDATA%\Veldara stand-in, or the same under the temporary folder.
std::string DefaultClientRoot();

// A new, empty folder under the temporary folder; empty text on failure.
std::string NewTemporaryRoot();

bool HasEditorIni(const ClientFolders& folders);

// Makes what is missing: the folders, editor.ini and the sample maps. Files
// that are there already are left as the player changed them. Empty text on
// success, else what failed.
std::string CreateMissing(const ClientFolders& folders);

void RemoveFolderTree(const std::string& root);
