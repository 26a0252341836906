// The stand-in game client: loads a module through the stand-in framework
// and gives it what the game client gives it, a window with a chat and an
// upload command. Interactive, or a scripted session with no one at the keys.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "client_folders.h"
#include "client_window.h"
#include "console_out.h"
#include "editor_ini.h"
#include "scripted_session.h"
#include "../loaded_module.h"
#include "standin_host.h"

namespace {

constexpr uint32_t kModuleId = 1;

constexpr char kUsage[] =
    "standin_client [--folder DIR] [--module FILE] [--script [--screenshot FILE.png]]\n"
    "  --folder DIR       the client's folders, made on first run (default: %LOCALAPPDATA%\\Veldara stand-in;\n"
    "                     with --script a new temporary folder, removed afterwards)\n"
    "  --module FILE      the module to load (default: Tarnwick.dll beside this program)\n"
    "  --script           play the scripted session; exit code 0 when it went as expected\n"
    "  --screenshot FILE  with --script: save a PNG of the client with the module's dialog open\n";

struct Options {
    std::string folder;
    std::string module;
    std::string screenshot;
    bool script = false;
    std::string error;  // not empty: the command line was wrong
};

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc && options.error.empty(); ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--script") options.script = true;
        else if (option == "--folder" && hasValue) options.folder = argv[++i];
        else if (option == "--module" && hasValue) options.module = argv[++i];
        else if (option == "--screenshot" && hasValue) options.screenshot = argv[++i];
        else options.error = "unknown or incomplete option " + option;
    }
    if (options.error.empty() && !options.screenshot.empty() && !options.script)
        options.error = "--screenshot needs --script";
    return options;
}

std::string ProgramFolder() {
    char path[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string program(path);
    return program.substr(0, program.find_last_of('\\'));
}

std::string FullPathOf(const std::string& path) {
    char full[MAX_PATH + 1] = {};
    const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH + 1, full, nullptr);
    return length == 0 || length > MAX_PATH ? path : std::string(full, length);
}

void KS_CALL ShowSpokenLine(const char* line, void*) { ShowChatLine(line); }

// What the module speaks goes to the chat pane while the owner lives.
class SpeakListener {
public:
    SpeakListener() { ksh_set_speak_listener(ShowSpokenLine, nullptr); }
    ~SpeakListener() { ksh_set_speak_listener(nullptr, nullptr); }
    SpeakListener(const SpeakListener&) = delete;
    SpeakListener& operator=(const SpeakListener&) = delete;
};

// A folder that the client made for one session only.
class SessionFolder {
public:
    explicit SessionFolder(std::string path) : path_(std::move(path)) {}
    ~SessionFolder() {
        if (!path_.empty()) RemoveFolderTree(path_);
    }
    SessionFolder(const SessionFolder&) = delete;
    SessionFolder& operator=(const SessionFolder&) = delete;

private:
    std::string path_;
};

std::vector<std::string> StartLines(const ClientFolders& folders, const std::string& modulePath, bool loaded) {
    return {"Veldara stand-in client",
            "Program folder: " + folders.program,
            "Data folder: " + folders.data + " (editor.ini)",
            "Module documents: " + folders.moduleDocs,
            "Maps folder: " + folders.maps,
            (loaded ? "Module: " : "Module not loaded: ") + modulePath};
}

int Fail(const std::string& message) {
    PrintLine("standin_client: " + message);
    return 2;
}

int RunClient(const Options& options) {
    // A scripted session starts from first-run files, so that its checks hold.
    const std::string root = options.folder.empty() ? (options.script ? NewTemporaryRoot() : DefaultClientRoot())
                                              : FullPathOf(options.folder);
    if (root.empty()) return Fail("cannot make a temporary folder");
    const SessionFolder temporary(options.script && options.folder.empty() ? root : std::string());
    const ClientFolders folders = FoldersUnder(root);
    if (options.script && HasEditorIni(folders))
        return Fail("the scripted session needs a new folder; " + root + " was used before");
    const std::string created = CreateMissing(folders);
    if (!created.empty()) return Fail(created);

    ksh_set_folders(folders.program.c_str(), folders.data.c_str(), folders.moduleDocs.c_str());
    SetCurrentDirectoryA(folders.program.c_str());  // the game client runs in its program folder
    const std::string modulePath = options.module.empty() ? ProgramFolder() + "\\Tarnwick.dll" : options.module;
    const LoadedModule module(modulePath);

    Transcript transcript;
    const ClientWindows windows = CreateClientWindow({module.Get(), folders.EditorIni(), &transcript, !options.script});
    if (!windows.frame) return Fail("cannot create the main window");
    for (const std::string& line : StartLines(folders, modulePath, module.Get() != nullptr)) {
        ShowClientLine(line);
        if (options.script) PrintLine("[client] " + line);
    }
    if (options.script && !module.Get()) {
        DestroyWindow(windows.frame);
        return Fail("no module to try");
    }

    // As the framework does: every message of the main window reaches the
    // module first; then the module learns its id and the window.
    ksh_attach_window(windows.frame);
    const SpeakListener listener;
    if (module.Get()) ksh_start(kModuleId, windows.frame);

    if (!options.script) {
        RunMessageLoop(windows);
        ksh_stop();
        return 0;
    }

    const auto started = std::chrono::steady_clock::now();
    const SessionSetup session = {windows, GetCurrentThreadId(), &transcript, folders, options.screenshot,
                                  ReadWholeFile(folders.EditorIni()).value_or(std::string())};
    bool stepsPassed = false;
    std::thread driver([&] { stepsPassed = DriveSession(session); });
    RunMessageLoop(windows);
    ksh_stop();
    driver.join();
    const int result = FinishSession(session, stepsPassed);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    char shown[32] = {};
    snprintf(shown, sizeof(shown), "Session time: %.1f s", seconds);
    PrintLine(shown);
    return result;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const Options options = ParseOptions(__argc, __argv);
    if (!options.error.empty()) {
        PrintOut(kUsage);
        return Fail(options.error);
    }
    return RunClient(options);
}
