#include "scripted_session.h"

#include <chrono>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <thread>
#include <vector>

#include "../waits.h"
#include "console_out.h"
#include "editor_ini.h"
#include "screenshot.h"
#include "tarnwick_version.h"

using namespace std::chrono_literals;

namespace {

const auto kTimeout = Scaled(std::chrono::milliseconds(10000));  // for every wait: a step takes well under a second
const UINT kMessageTimeout = 2000 * TimeScale();  // milliseconds, for a window that may hang
constexpr char kChooserTitle[] = "Tarnwick: Choose a MAP file...";
constexpr int kFileNameBox = 0x47C;  // a combo box with an edit inside, in the open-file dialog
constexpr char kUploadLine[] = "[client] Uploading dream file ";

bool Check(bool passed, const std::string& what) {
    PrintLine(std::string(passed ? "ok      " : "FAILED  ") + what);
    return passed;
}


std::optional<size_t> WaitForLine(const SessionSetup& setup, size_t from, const std::string& line) {
    return setup.transcript->WaitFor(from, [&](const std::string& spoken) { return spoken == line; }, kTimeout);
}

void SendKey(WORD key, DWORD flags) {
    keybd_event(static_cast<BYTE>(key), static_cast<BYTE>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC)), flags, 0);
}

// Presses the keys in order and lets them go in reverse, as fingers do.
void PressKeys(std::initializer_list<WORD> keys) {
    for (const WORD key : keys) SendKey(key, 0);
    for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) SendKey(*key, KEYEVENTF_KEYUP);
}

HWND FocusOf(DWORD thread) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

// Injected keys go to the foreground window, and in the client to the chat
// input, which keeps the focus.
bool BringClientForward(const SessionSetup& setup) {
    SetForegroundWindow(setup.windows.frame);
    return WaitUntil([&] {
        return GetForegroundWindow() == setup.windows.frame && FocusOf(setup.windowThread) == setup.windows.input;
    });
}

std::string TextOf(HWND window) {
    char text[1024] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, kMessageTimeout,
                        &copied);
    return text;
}

bool SetTextOf(HWND window, const std::string& text) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, kMessageTimeout,
                               &result) != 0 &&
           TextOf(window) == text;
}

// The dialog is a wide window: names outside the ANSI code page go in whole.
bool SetWideTextOf(HWND window, const std::wstring& text) {
    DWORD_PTR result = 0;
    wchar_t shown[1024] = {};
    return SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, kMessageTimeout,
                               &result) != 0 &&
           SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(shown), SMTO_ABORTIFHUNG, kMessageTimeout,
                               &result) != 0 &&
           text == shown;
}

// A wide path as the ANSI client shows it, "?" for what its code page lacks.
std::string AnsiOf(const std::wstring& text) {
    char ansi[1024] = {};
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), -1, ansi, sizeof ansi, nullptr, nullptr);
    return ansi;
}

std::string ShortPathOf(const std::wstring& path) {
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length = GetShortPathNameW(path.c_str(), buffer, MAX_PATH + 1);
    return AnsiOf(length == 0 || length > MAX_PATH ? path : std::wstring(buffer, length));
}

std::wstring WideOf(const std::string& text) {
    wchar_t wide[1024] = {};
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, 1024);
    return wide;
}

std::string NameOf(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The lines of a file's text apart from its MAP entry.
std::vector<std::string> OtherLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        const std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!MapEntryOf(line)) lines.push_back(line);
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

bool TypeInChat(const SessionSetup& setup, const std::string& text, const std::string& answer) {
    const size_t from = setup.transcript->Count();
    const bool typed = BringClientForward(setup) && SetTextOf(setup.windows.input, text);
    if (typed) PressKeys({VK_RETURN});
    return Check(typed && WaitForLine(setup, from, answer), "typed " + text + ": \"" + answer + "\"");
}

bool ShowInformation(const SessionSetup& setup) {
    const size_t from = setup.transcript->Count();
    PostMessageA(setup.windows.frame, WM_COMMAND, MAKEWPARAM(kModuleInformationCommand, 0), 0);
    const bool shown = WaitForLine(setup, from, "Tarnwick: Version " TARNWICK_VERSION_TEXT ", Created by Tovin.") &&
                       WaitForLine(setup, from, "Tarnwick: Press Control-T to activate.");
    return Check(shown, "Modules > Module information: the module's information text, Control-T active");
}

// The dialog opens over the chat; moved into the client's lower right
// corner, the picture shows the chat's lines and the whole dialog.
void MoveOffTheChat(HWND frame, HWND dialog) {
    RECT client = {};
    RECT chooser = {};
    if (!GetWindowRect(frame, &client) || !GetWindowRect(dialog, &chooser)) return;
    constexpr int kMargin = 24;
    const int left = client.right - (chooser.right - chooser.left) - kMargin;
    const int top = client.bottom - (chooser.bottom - chooser.top) - kMargin;
    SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool TakeScreenshot(const SessionSetup& setup, HWND dialog) {
    MoveOffTheChat(setup.windows.frame, dialog);
    // Let the dialog paint the name that was just set.
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    std::this_thread::sleep_for(300ms * TimeScale());
    const std::string error = SaveScreenshot({setup.windows.frame, dialog}, setup.screenshotPath);
    return Check(error.empty(), "screenshot of the client and the dialog: " +
                                    (error.empty() ? setup.screenshotPath : error));
}

// F12 with the focus in the chat input; the module's dialog answered with
// `chosen` as a player would, by its name box and OK.
bool ChooseWithF12(const SessionSetup& setup, const std::string& current, const std::wstring& chosen,
                   bool screenshot) {
    if (!Check(BringClientForward(setup), "the client is in front, the chat input has the focus")) return false;
    PressKeys({VK_F12});
    HWND dialog = nullptr;
    const bool opened = WaitUntil([&] {
        dialog = FindWindowA(nullptr, kChooserTitle);
        return dialog != nullptr && IsWindowVisible(dialog);
    });
    if (!Check(opened, std::string("F12 opens the dialog \"") + kChooserTitle + "\"")) return false;

    // Ready once it shows the file that MAP names now, by its long name.
    const HWND nameBox = GetDlgItem(dialog, kFileNameBox);
    const bool atCurrent = nameBox && WaitUntil([&] { return EndsWith(TextOf(nameBox), NameOf(current)); });
    if (!Check(atCurrent, "the dialog starts at the current MAP file, " + NameOf(current))) return false;
    if (!Check(SetWideTextOf(nameBox, chosen), "file name set to " + AnsiOf(chosen))) return false;
    if (screenshot && !setup.screenshotPath.empty() && !TakeScreenshot(setup, dialog)) return false;

    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    return Check(WaitUntil([&] { return !IsWindow(dialog); }), "OK closes the dialog");
}

// The module announces the file as chosen and sends Control-T; the client's
// own upload must follow, with the short path that editor.ini now names.
bool ClientUploadsChosenMap(const SessionSetup& setup, size_t from, const std::string& chosen,
                            const std::string& shortChosen) {
    const auto announced = WaitForLine(setup, from, "Tarnwick: New dream file is " + chosen);
    if (!Check(announced.has_value(), "the module announces the new dream file")) return false;
    const bool uploaded = WaitForLine(setup, *announced + 1, kUploadLine + shortChosen).has_value();
    if (!Check(uploaded, "its Control-T reaches the client, which uploads " + shortChosen)) return false;

    const std::optional<std::string> after = ReadWholeFile(setup.folders.EditorIni());
    return Check(after && MapEntryOf(*after) == shortChosen && OtherLines(*after) == OtherLines(setup.editorIniBefore),
                 "editor.ini: MAP=" + shortChosen + ", its other lines kept");
}

bool ControlTUploadsDirectly(const SessionSetup& setup, const std::string& shortChosen) {
    const size_t from = setup.transcript->Count();
    const bool forward = BringClientForward(setup);
    if (forward) PressKeys({VK_CONTROL, 'T'});
    const auto uploaded = WaitForLine(setup, from, kUploadLine + shortChosen);
    bool moduleQuiet = FindWindowA(nullptr, kChooserTitle) == nullptr;
    const std::vector<std::string> lines = setup.transcript->Lines();
    for (size_t i = from; uploaded && i < *uploaded; ++i) moduleQuiet = moduleQuiet && lines[i].rfind("Tarnwick:", 0) != 0;
    return Check(forward && uploaded && moduleQuiet, "Control-T with interception off: no dialog, the client uploads " +
                                                         shortChosen);
}

bool CloseClient(const SessionSetup& setup) {
    // After a failed step the dialog may still be open.
    if (const HWND dialog = FindWindowA(nullptr, kChooserTitle)) {
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        WaitUntil([&] { return !IsWindow(dialog); });
    }
    PostMessageA(setup.windows.frame, WM_CLOSE, 0, 0);
    return Check(WaitUntil([&] { return !IsWindow(setup.windows.frame); }), "the client closes");
}

void PrintSection(const std::string& title, const std::string& text) {
    PrintLine("--- " + title + " ---");
    std::string shown;
    for (const char c : text) {
        if (c != '\r') shown += c;
    }
    PrintOut(shown);
    if (!shown.empty() && shown.back() != '\n') PrintOut("\n");
}

void PrintTranscript(const Transcript& transcript) {
    std::string text;
    for (const std::string& line : transcript.Lines()) text += line + "\n";
    PrintSection("chat transcript", text);
}

}  // namespace

bool DriveSession(const SessionSetup& setup) {
    const std::vector<std::string> maps = setup.folders.SampleMaps();
    const std::string& chosen = maps[1];
    const std::string shortChosen = ShortPathOf(WideOf(chosen));
    // A name the ANSI client cannot spell reaches it by its short name.
    const std::wstring cyrillic = setup.folders.CyrillicSampleMap();
    const std::string shortCyrillic = ShortPathOf(cyrillic);

    bool passed = ShowInformation(setup) && TypeInChat(setup, "@TW-F12", "Tarnwick: F12 is Enabled");
    const size_t beforeF12 = setup.transcript->Count();
    passed = passed && ChooseWithF12(setup, maps.front(), WideOf(chosen), true) &&
             ClientUploadsChosenMap(setup, beforeF12, chosen, shortChosen);
    const size_t beforeCyrillic = setup.transcript->Count();
    passed = passed && ChooseWithF12(setup, chosen, cyrillic, false) &&
             ClientUploadsChosenMap(setup, beforeCyrillic, AnsiOf(cyrillic), shortCyrillic) &&
             TypeInChat(setup, "@TW-CTRLT", "Tarnwick: Control-T is Disabled") &&
             ControlTUploadsDirectly(setup, shortCyrillic) &&
             TypeInChat(setup, "@HELLO there", "[client] Unknown command: @HELLO");
    if (!CloseClient(setup)) {
        // The window's thread is stuck: say what happened and give up.
        PrintTranscript(*setup.transcript);
        ExitProcess(1);
    }
    return passed;
}

int FinishSession(const SessionSetup& setup, bool stepsPassed) {
    // The module keeps its switches at event 1: F12 on and Control-T off now.
    const std::string settings = setup.folders.ModuleSettings();
    const int flags = static_cast<int>(GetPrivateProfileIntA("Main", "Flags", -1, settings.c_str()));
    const bool saved = Check(flags == 1, "at exit the module saved Flags=1 (F12 on, Control-T off) in Tarnwick.ini");

    PrintTranscript(*setup.transcript);
    PrintSection("editor.ini before", setup.editorIniBefore);
    PrintSection("editor.ini after", ReadWholeFile(setup.folders.EditorIni()).value_or("(missing)\n"));
    PrintSection("Tarnwick.ini after", ReadWholeFile(settings).value_or("(missing)\n"));
    const bool passed = stepsPassed && saved;
    PrintLine(passed ? "Scripted session passed." : "Scripted session FAILED.");
    return passed ? 0 : 1;
}
