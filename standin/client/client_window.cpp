#include "client_window.h"

#include <vector>

#include "console_out.h"
#include "editor_ini.h"
#include "handles.h"

namespace {

constexpr char kWindowClass[] = "VeldaraStandInClient";
constexpr char kWindowTitle[] = "Veldara - stand-in client";
constexpr int kMargin = 8;
constexpr int kInputHeight = 24;
constexpr int kInputLimit = 400;

struct Client {
    ClientSetup setup = {};
    HWND frame = nullptr;
    HWND pane = nullptr;
    HWND input = nullptr;
    int widestLine = 0;  // pixels, for the pane's horizontal scroll bar
};

Client g_client;

std::vector<std::string> SplitOnBlanks(const std::string& text) {
    std::vector<std::string> words;
    size_t start = text.find_first_not_of(" \t");
    while (start != std::string::npos) {
        const size_t end = text.find_first_of(" \t", start);
        words.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? end : text.find_first_not_of(" \t", end);
    }
    return words;
}

bool ModuleTakesCommand(const std::vector<std::string>& words) {
    const KsModule* module = g_client.setup.module;
    if (module == nullptr || words.empty()) return false;
    std::vector<const char*> argv;
    for (const std::string& word : words) argv.push_back(word.c_str());
    argv.push_back(nullptr);
    return module->on_command(static_cast<int32_t>(words.size()), argv.data()) == KS_TAKEN;
}

// "@WORD more words" goes to the modules, the word without its "@"; anything
// else is ordinary chat, and the stand-in has nobody to hear it.
void RunChatText(const std::string& text) {
    ShowChatLine("[you] " + text);
    if (text[0] != '@') return;
    const std::vector<std::string> words = SplitOnBlanks(text.substr(1));
    if (ModuleTakesCommand(words)) return;
    ShowClientLine("Unknown command: @" + (words.empty() ? std::string() : words.front()));
}

void SubmitChatInput() {
    char text[kInputLimit + 1] = {};
    GetWindowTextA(g_client.input, text, kInputLimit + 1);
    SetWindowTextA(g_client.input, "");
    if (text[0] != '\0') RunChatText(text);
}

bool IsExistingFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The game client uploads the dream file that MAP names; the stand-in only
// says which one it would send.
void Upload() {
    const std::string& iniPath = g_client.setup.editorIni;
    const std::optional<std::string> text = ReadWholeFile(iniPath);
    if (!text) return ShowClientLine("Upload failed: cannot read " + iniPath);
    const std::optional<std::string> map = MapEntryOf(*text);
    if (!map || map->empty()) return ShowClientLine("Upload failed: no MAP entry in " + iniPath);
    if (!IsExistingFile(*map)) return ShowClientLine("Upload failed: the dream file " + *map + " is missing");
    ShowClientLine("Uploading dream file " + *map);
}

void ShowModuleInformation() {
    const KsModule* module = g_client.setup.module;
    if (module == nullptr) return ShowClientLine("No module is loaded.");
    module->on_module(KS_EVENT_INFORMATION, nullptr);
}

bool RunCommand(WORD id) {
    switch (id) {
        case kUploadCommand: Upload(); return true;
        case kModuleInformationCommand: ShowModuleInformation(); return true;
        case kExitCommand: PostMessageA(g_client.frame, WM_CLOSE, 0, 0); return true;
        default: return false;
    }
}

HMENU CreateClientMenu() {
    const HMENU dream = CreatePopupMenu();
    AppendMenuA(dream, MF_STRING, kUploadCommand, "&Upload\tCtrl+T");
    AppendMenuA(dream, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(dream, MF_STRING, kExitCommand, "E&xit");
    const HMENU modules = CreatePopupMenu();
    AppendMenuA(modules, MF_STRING, kModuleInformationCommand, "Module &information");
    const HMENU bar = CreateMenu();
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(dream), "&Dream");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(modules), "&Modules");
    return bar;  // the window destroys it with itself
}

void CreateChildren(HWND frame) {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    g_client.pane = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "",
                                    WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOSEL,
                                    0, 0, 0, 0, frame, nullptr, instance, nullptr);
    g_client.input = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
                                     0, 0, 0, 0, frame, nullptr, instance, nullptr);
    const auto font = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageA(g_client.pane, WM_SETFONT, font, FALSE);
    SendMessageA(g_client.input, WM_SETFONT, font, FALSE);
    SendMessageA(g_client.input, EM_LIMITTEXT, kInputLimit, 0);
}

void LayOut(int width, int height) {
    const int inner = width - 2 * kMargin;
    const int paneHeight = height - 3 * kMargin - kInputHeight;
    MoveWindow(g_client.pane, kMargin, kMargin, inner, paneHeight, TRUE);
    MoveWindow(g_client.input, kMargin, height - kMargin - kInputHeight, inner, kInputHeight, TRUE);
}

void WidenPaneFor(const std::string& line) {
    SIZE size = {};
    {
        const WindowDc dc(g_client.pane);
        if (!dc.Get()) return;
        const Selection font(dc.Get(), GetStockObject(DEFAULT_GUI_FONT));
        GetTextExtentPoint32A(dc.Get(), line.c_str(), static_cast<int>(line.size()), &size);
    }
    if (size.cx + kMargin <= g_client.widestLine) return;
    g_client.widestLine = size.cx + kMargin;
    SendMessageA(g_client.pane, LB_SETHORIZONTALEXTENT, g_client.widestLine, 0);
}

LRESULT CALLBACK ClientWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: CreateChildren(window); return 0;
        case WM_SIZE: LayOut(LOWORD(lParam), HIWORD(lParam)); return 0;
        case WM_SETFOCUS: SetFocus(g_client.input); return 0;  // typing always goes to the chat
        case WM_COMMAND:
            if (RunCommand(LOWORD(wParam))) return 0;
            break;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool IsEnterInChatInput(const MSG& message) {
    return message.message == WM_KEYDOWN && message.wParam == VK_RETURN && message.hwnd == g_client.input;
}

}  // namespace

ClientWindows CreateClientWindow(const ClientSetup& setup) {
    g_client.setup = setup;
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ClientWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass);

    g_client.frame = CreateWindowExA(0, kWindowClass, kWindowTitle, WS_OVERLAPPEDWINDOW, 40, 40, 780, 460, nullptr,
                                     CreateClientMenu(), instance, nullptr);
    if (g_client.frame) {
        ShowWindow(g_client.frame, SW_SHOWNORMAL);
        UpdateWindow(g_client.frame);
    }
    return {g_client.frame, g_client.input};
}

void ShowChatLine(const std::string& line) {
    g_client.setup.transcript->Add(line);
    if (g_client.setup.echoToConsole) PrintLine(line);
    if (!g_client.pane || !IsWindow(g_client.pane)) return;
    const LRESULT index = SendMessageA(g_client.pane, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    if (index >= 0) SendMessageA(g_client.pane, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
    WidenPaneFor(line);
}

void ShowClientLine(const std::string& text) { ShowChatLine("[client] " + text); }

void RunMessageLoop(const ClientWindows& windows) {
    ACCEL controlT = {FVIRTKEY | FCONTROL, 'T', kUploadCommand};
    const Accelerators accelerators(&controlT, 1);
    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        // The framework sees a key in the chat input as the main window's own,
        // so that F12 works wherever the focus is.
        ksh_pretranslate(&message);
        if (TranslateAcceleratorA(windows.frame, accelerators.Get(), &message)) continue;
        if (IsEnterInChatInput(message)) {
            SubmitChatInput();
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
