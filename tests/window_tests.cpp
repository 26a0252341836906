// End to end in a real window: the built Tarnwick.dll in the stand-in
// framework, a client window whose accelerator turns Control+T into the
// upload command, the system's open-file dialog answered from a watcher
// thread, and a low-level keyboard hook that sees every injected key.
#include <gtest/gtest.h>

#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

#include "module/system_path.h"
#include "support/linux_side.h"
#include "support/module_under_test.h"
#include "support/path_forms.h"
#include "support/temp_folder.h"

namespace {

using Lines = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

constexpr UINT kUploadCommand = 121;
constexpr char kDialogTitle[] = "Tarnwick: Choose a MAP file...";
constexpr auto kTimeout = std::chrono::seconds(10);
constexpr int kFileNameBox = 0x47C;
constexpr int kFileTypeBox = 0x470;

std::string WindowText(HWND window) {
    char text[kPathBufferSize] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// ---- The client: what reaches its own window procedure -------------------

struct ClientRecord {
    std::vector<WPARAM> uploads;  // wParam of each upload command the client got
    std::vector<WORD> notices;    // notification code of each child control's command
    int f12KeyDowns = 0;
};
ClientRecord g_client;

constexpr UINT kRunOnClientThread = WM_APP;  // lParam: a const std::function<void()>*

LRESULT CALLBACK ClientWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && LOWORD(wParam) == kUploadCommand) {
        g_client.uploads.push_back(wParam);
        return 0;
    }
    if (message == WM_COMMAND && lParam) g_client.notices.push_back(HIWORD(wParam));
    if (message == kRunOnClientThread) return (*reinterpret_cast<const std::function<void()>*>(lParam))(), 0;
    if (message == WM_KEYDOWN && wParam == VK_F12) ++g_client.f12KeyDowns;
    return DefWindowProcA(window, message, wParam, lParam);
}

// ---- Injected keys, as a low-level hook sees them --------------------------

struct SeenKey {
    DWORD virtualKey;
    bool up;
    bool operator==(const SeenKey&) const = default;
};
void PrintTo(const SeenKey& key, std::ostream* out) { *out << std::hex << key.virtualKey << (key.up ? " up" : " down"); }
std::vector<SeenKey> g_seenKeys;
std::vector<std::string> g_scanMismatches;
std::vector<HWND> g_keyWindows;  // the front window as each injected key went out: the one it goes to

DWORD Unsided(DWORD virtualKey) {
    // Windows reports the left or right Control, Wine the plain one.
    return virtualKey == VK_LCONTROL || virtualKey == VK_RCONTROL ? VK_CONTROL : virtualKey;
}

LRESULT CALLBACK KeyboardHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* event = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        const DWORD virtualKey = Unsided(event->vkCode);
        if (event->flags & LLKHF_INJECTED) {
            g_seenKeys.push_back({virtualKey, (event->flags & LLKHF_UP) != 0});
            g_keyWindows.push_back(GetForegroundWindow());
        }
        if (event->scanCode != (MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC) & 0xFF))
            g_scanMismatches.push_back(std::to_string(virtualKey) + ":" + std::to_string(event->scanCode));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

const std::vector<SeenKey> kControlT = {{VK_CONTROL, false}, {'T', false}, {'T', true}, {VK_CONTROL, true}};

// ---- The dialog, answered from another thread ------------------------------

struct DialogAnswer {
    std::wstring typeIn;  // empty: press Cancel
    std::function<void(HWND dialog)> whileOpen = {};
    std::function<void(HWND dialog)> confirm = {};  // how the player presses OK; a click by default
};

struct DialogSeen {
    bool found = false;
    HWND owner = nullptr;
    std::wstring nameBox;
    std::string fileType;
    std::wstring folder;
};

BOOL CALLBACK CountDialogs(HWND candidate, LPARAM count) {
    if (WindowText(candidate) == kDialogTitle && IsWindowVisible(candidate)) ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// The dialog once it is in front, where keys typed on the X server go; in an
// emulated machine it can exist a second or more before that.
HWND WaitForDialog() {
    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = FindWindowA(nullptr, kDialogTitle)) && GetForegroundWindow() == dialog; });
    return dialog;
}

class DialogWatcher {
public:
    explicit DialogWatcher(DialogAnswer answer) : thread_([this, answer] { Watch(answer); }) {}
    ~DialogWatcher() { thread_.join(); }
    bool Done() const { return done_; }
    const DialogSeen& Seen() const { return seen_; }

private:
    void Watch(const DialogAnswer& answer) {
        if (HWND dialog = WaitForDialog()) {
            Sleep(Scaled(100));  // let the dialog fill its controls
            seen_.found = true;
            seen_.owner = GetWindow(dialog, GW_OWNER);
            wchar_t text[kPathBufferSize] = {};
            GetDlgItemTextW(dialog, kFileNameBox, text, kPathBufferSize);
            seen_.nameBox = text;
            const HWND fileType = GetDlgItem(dialog, kFileTypeBox);
            char typeText[256] = {};
            SendMessageA(fileType, CB_GETLBTEXT, SendMessageA(fileType, CB_GETCURSEL, 0, 0), reinterpret_cast<LPARAM>(typeText));
            seen_.fileType = typeText;
            SendMessageW(dialog, CDM_GETFOLDERPATH, kPathBufferSize, reinterpret_cast<LPARAM>(text));
            seen_.folder = text;
            if (answer.whileOpen) answer.whileOpen(dialog);
            if (!answer.typeIn.empty()) SetDlgItemTextW(dialog, kFileNameBox, answer.typeIn.c_str());
            if (answer.typeIn.empty()) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            else if (answer.confirm) answer.confirm(dialog);
            else PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        }
        done_ = true;
    }

    DialogSeen seen_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// Cancels a dialog that nobody answers (a second one, say), and ends a menu
// mode that stray keys started on the client's thread (an Alt tap does), so
// that such a fault fails the test instead of hanging it in a modal loop.
class HangBreaker {
public:
    HangBreaker() : clientThread_(GetCurrentThreadId()), thread_([this] { Watch(); }) {}
    ~HangBreaker() {
        stop_ = true;
        thread_.join();
    }
    int DialogsClosed() const { return dialogsClosed_; }
    int MenusEnded() const { return menusEnded_; }

private:
    void Watch() {
        // Long enough for an emulated machine to open and close a dialog that
        // is answered; short enough to end the wait of a test that hangs.
        const auto kUnanswered = Scaled(std::chrono::seconds(8));
        HWND open = nullptr;
        auto since = Clock::now();
        while (!stop_) {
            HWND dialog = FindWindowA(nullptr, kDialogTitle);
            if (dialog != open) {
                open = dialog;
                since = Clock::now();
            } else if (dialog && Clock::now() - since > kUnanswered) {
                PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
                ++dialogsClosed_;
                since = Clock::now();
            }
            GUITHREADINFO client = {};
            client.cbSize = sizeof client;
            if (GetGUIThreadInfo(clientThread_, &client) && (client.flags & (GUI_INMENUMODE | GUI_SYSTEMMENUMODE))) {
                Sleep(Scaled(500));
                PostMessageA(client.hwndMenuOwner, WM_CANCELMODE, 0, 0);
                ++menusEnded_;
            }
            Sleep(50);
        }
    }

    const DWORD clientThread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> dialogsClosed_{0};
    std::atomic<int> menusEnded_{0};
    std::thread thread_;
};

// ---- The test fixture: folders, client window, module ----------------------

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        g_client = {};
        CreateDirectoryA(data.PathOf("My Dream Maps").c_str(), nullptr);
        data.Write("My Dream Maps\\first dream.map", "first");
        data.Write("My Dream Maps\\second dream.map", "second");
        firstMap = data.PathOf("My Dream Maps\\first dream.map");
        secondMap = data.PathOf("My Dream Maps\\second dream.map");
        data.Write("editor.ini", "[Editor]\r\nGrid=8\r\nMAP=" + ShortPath(firstMap) + "\r\n");

        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = ClientWindowProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "TarnwickTestClient";
        RegisterClassA(&windowClass);
        window = CreateWindowA("TarnwickTestClient", "Veldara test client", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50,
                               640, 480, nullptr, nullptr, windowClass.hInstance, nullptr);
        ACCEL controlT = {FVIRTKEY | FCONTROL, 'T', kUploadCommand};
        accelerators = CreateAcceleratorTableA(&controlT, 1);
        hook = SetWindowsHookExA(WH_KEYBOARD_LL, KeyboardHook, GetModuleHandleA(nullptr), 0);
        ASSERT_TRUE(window && accelerators && hook);
        ASSERT_TRUE(module);
        ASSERT_TRUE(ksh_attach_window(window));
        SetForegroundWindow(window);
        SetFocus(window);
        Pump(std::chrono::milliseconds(100));
    }

    void TearDown() override {
        EXPECT_EQ(hangBreaker.DialogsClosed(), 0) << "a dialog stayed open with nobody to answer it";
        EXPECT_EQ(hangBreaker.MenusEnded(), 0) << "the client window fell into menu mode";
        ksh_set_speak_listener(nullptr, nullptr);
        ksh_set_front_during_speak(nullptr);
        UnhookWindowsHookEx(hook);
        DestroyAcceleratorTable(accelerators);
        ksh_unload_module();
        DestroyWindow(window);
        SetCurrentDirectoryA(startFolder.c_str());
        g_seenKeys.clear();
        g_scanMismatches.clear();
        g_keyWindows.clear();
    }

    // With the documents folder docs, or the subfolder docsName of it.
    void Start(const char* flags, const char* dataRoot = nullptr, const std::string& docsName = "") {
        const std::string docsRoot = docsName.empty() ? docs.Path() : docs.PathOf(docsName);
        docs.Write(docsName + (docsName.empty() ? "" : "\\") + "Tarnwick.ini",
                   std::string("[Main]\r\nFlags=") + flags + "\r\n");
        ksh_set_folders(clientRoot.Path().c_str(), dataRoot ? dataRoot : data.Path().c_str(), docsRoot.c_str());
        ksh_start(1, window);
        module.TakeSpoken();
    }

    void Pump(std::chrono::milliseconds duration) {
        PumpUntil([] { return false; }, duration);
    }

    // The client's message loop, until the condition holds or time runs out
    // (limit, stretched by the machine's time scale).
    bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = kTimeout) {
        for (const auto end = Clock::now() + Scaled(limit); Clock::now() < end;) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                ksh_pretranslate(&message);
                if (acceleratorsOn && TranslateAcceleratorA(window, accelerators, &message)) continue;
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
            if (condition()) return true;
            Sleep(5);
        }
        return condition();
    }

    void Press(std::initializer_list<BYTE> keys) {
        SetForegroundWindow(window);
        for (BYTE key : keys) keybd_event(key, static_cast<BYTE>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC)), 0, 0);
        for (auto key = std::rbegin(keys); key != std::rend(keys); ++key)
            keybd_event(*key, static_cast<BYTE>(MapVirtualKeyA(*key, MAPVK_VK_TO_VSC)), KEYEVENTF_KEYUP, 0);
    }

    // Keys that the module injected: everything after the test's own presses.
    std::vector<SeenKey> ModuleKeys(size_t ownEvents) const {
        return g_seenKeys.size() <= ownEvents ? std::vector<SeenKey>{}
                                              : std::vector<SeenKey>(g_seenKeys.begin() + ownEvents, g_seenKeys.end());
    }

    std::string startFolder = CurrentFolder();
    TempFolder clientRoot, data, docs;
    std::string firstMap, secondMap;
    LoadedModule module{ModulePath()};
    HWND window = nullptr;
    HACCEL accelerators = nullptr;
    bool acceleratorsOn = true;  // off: keys reach the client, but no upload command comes of them
    HHOOK hook = nullptr;
    HangBreaker hangBreaker;
};

TEST_F(EndToEnd, ControlTAsksForAMapStoresItAndUploadsOnce) {
    Start("3");
    DialogWatcher watcher({Wide(secondMap)});
    Press({VK_CONTROL, 'T'});
    ASSERT_TRUE(PumpUntil([&] { return !g_client.uploads.empty(); })) << "no upload reached the client";
    Pump(std::chrono::milliseconds(300));  // a second upload would arrive by now

    const DialogSeen& seen = watcher.Seen();
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.owner, window);
    // MAP holds the short form; the dialog shows the long one.
    EXPECT_EQ(seen.nameBox, L"first dream.map");
    EXPECT_EQ(seen.folder, Wide(data.PathOf("My Dream Maps")));
    EXPECT_EQ(seen.fileType, "Map Files (*.map)");

    // The player's own Control-T was taken; only ours came back, through the accelerator.
    EXPECT_EQ(g_client.uploads, std::vector<WPARAM>{MAKEWPARAM(kUploadCommand, 1)});
    EXPECT_EQ(ModuleKeys(4), kControlT);
    EXPECT_TRUE(g_scanMismatches.empty()) << g_scanMismatches.front();
    EXPECT_EQ(data.Read("editor.ini"), "[Editor]\r\nGrid=8\r\nMAP=" + ShortPath(secondMap) + "\r\n");
    EXPECT_NE(ShortPath(secondMap), secondMap);
    EXPECT_EQ(module.TakeSpoken(), Lines{"Tarnwick: New dream file is " + secondMap});
    EXPECT_EQ(CurrentFolder(), clientRoot.Path());

    // The mark is spent: the next Control-T asks again.
    DialogWatcher again({});
    Press({VK_CONTROL, 'T'});
    EXPECT_TRUE(PumpUntil([&] { return again.Done(); }));
    EXPECT_EQ(again.Seen().nameBox, L"second dream.map");
    EXPECT_EQ(g_client.uploads.size(), 1u);
}

// A line arrives in the chat box and a button is clicked while our Control-T
// is on its way: their posted messages go before the keys, so the client
// window gets their commands first.
TEST_F(EndToEnd, ChatBoxAndButtonNoticesLeaveOurControlTItsOneUpload) {
    Start("3");
    static HWND chat, button;
    chat = CreateWindowA("EDIT", "", WS_CHILD | WS_VISIBLE, 0, 0, 200, 20, window, HMENU(0x12D), nullptr, nullptr);
    button = CreateWindowA("BUTTON", "", WS_CHILD | WS_VISIBLE, 0, 30, 80, 20, window, HMENU(0x12E), nullptr, nullptr);
    ksh_set_speak_listener([](const char*, void*) {
        PostMessageA(chat, WM_CHAR, 'x', 0);
        PostMessageA(button, BM_CLICK, 0, 0);
    }, nullptr);
    for (const bool f12 : {true, false}) {
        g_client = {};
        DialogWatcher watcher({Wide(secondMap)});
        f12 ? Press({VK_F12}) : Press({VK_CONTROL, 'T'});
        EXPECT_TRUE(PumpUntil([&] { return !g_client.uploads.empty(); })) << f12;
        Pump(std::chrono::milliseconds(300));
        EXPECT_EQ(g_client.notices, (std::vector<WORD>{EN_UPDATE, EN_CHANGE, BN_CLICKED}));
        EXPECT_EQ(g_client.uploads, std::vector<WPARAM>{MAKEWPARAM(kUploadCommand, 1)});
        EXPECT_EQ(module.TakeSpoken(), Lines{"Tarnwick: New dream file is " + secondMap});
    }
}

TEST_F(EndToEnd, AMapNamedOutsideTheAnsiCodePageGoesInByItsShortName) {
    Start("3");
    const std::wstring cyrillic = Wide(data.PathOf("My Dream Maps\\")) + L"\u041A\u0430\u0440\u0442\u0430.map";
    const HANDLE file = CreateFileW(cyrillic.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    const std::string shortPath = ShortPath(cyrillic);
    ASSERT_EQ(shortPath.find('?'), std::string::npos) << shortPath;

    DialogWatcher watcher({cyrillic});
    Press({VK_CONTROL, 'T'});
    ASSERT_TRUE(PumpUntil([&] { return !g_client.uploads.empty(); })) << module.TakeSpoken().front();
    Pump(std::chrono::milliseconds(300));
    EXPECT_EQ(g_client.uploads.size(), 1u);
    EXPECT_EQ(data.Read("editor.ini"), "[Editor]\r\nGrid=8\r\nMAP=" + shortPath + "\r\n");
    // "?" for the letters that the code page lacks (all but in 932, which has Cyrillic).
    EXPECT_EQ(module.TakeSpoken(), Lines{"Tarnwick: New dream file is " + Ansi(cyrillic)});
}

// Alt held on the X server, as a player holds it, once Wine has taken it in.
// Wine 10 classifies a key, and lets a click pass, before an Alt press just
// ahead of them has been through this test's low-level hook: Alt+O typed at
// xdotool's speed then misses the button, and the click can overtake Alt
// (docs/faults.md). A player's next key or click comes long after.
void HoldOnX(const char* keys, int virtualKey) {
    RunOnLinux({"xdotool", "keydown", keys});
    WaitUntil([=] { return GetAsyncKeyState(virtualKey) < 0; });
}
void HoldAlt() { HoldOnX("alt", VK_MENU); }

// Alt still held when the dialog closes would turn our Control-T into
// Control-Alt-T. Players confirm with Alt+O, or click OK with Alt down. Alt
// is held on the X server: Wine lets go of a key held only by injection at
// its next keymap sync. A Shift typed in the name box and let go is not held.
TEST_F(EndToEnd, KeysHeldWhileConfirmingAreLetGoAndUploadOnce) {
    if (!RunOnLinux({"true"})) GTEST_SKIP() << "holds keys on Wine's X server";
    Start("3");
    const std::vector<SeenKey> altLetGo = {
        {VK_CONTROL, false}, {VK_LMENU, true}, {'T', false}, {'T', true}, {VK_CONTROL, true}};
    const struct {
        std::function<void(HWND)> confirm;
        std::vector<SeenKey> moduleKeys;
    } confirmations[] = {
        {[](HWND) {
             HoldAlt();
             RunOnLinux({"xdotool", "key", "o"});
         },
         altLetGo},
        {[](HWND dialog) {
             RECT ok = {};
             GetWindowRect(GetDlgItem(dialog, IDOK), &ok);
             const std::string x = std::to_string((ok.left + ok.right) / 2), y = std::to_string((ok.top + ok.bottom) / 2);
             HoldAlt();
             RunOnLinux({"xdotool", "mousemove", x.c_str(), y.c_str(), "click", "1"});
         },
         altLetGo},
        // Return, not a posted IDOK, which Wine may take before the typed keys.
        {[](HWND) { RunOnLinux({"xdotool", "key", "shift+a", "BackSpace", "Return"}); }, kControlT},
    };
    for (const auto& c : confirmations) {
        g_client.uploads.clear();
        g_seenKeys.clear();
        DialogWatcher watcher({Wide(secondMap), nullptr, c.confirm});
        Press({VK_CONTROL, 'T'});
        EXPECT_TRUE(PumpUntil([&] { return !g_client.uploads.empty(); })) << "no upload reached the client";
        RunOnLinux({"xdotool", "keyup", "alt"});
        EXPECT_TRUE(PumpUntil([] { return GetAsyncKeyState(VK_MENU) >= 0; })) << "Alt still held";
        Pump(std::chrono::milliseconds(500));  // a menu opened by Alt's release would show by now
        EXPECT_EQ(g_client.uploads, std::vector<WPARAM>{MAKEWPARAM(kUploadCommand, 1)});
        EXPECT_EQ(ModuleKeys(4), c.moduleKeys);
        module.TakeSpoken();
    }
}

TEST_F(EndToEnd, F12StartsTheSameFlowAndStillReachesTheClient) {
    Start("1");  // interception off, F12 on
    // The framework's window handle has gone stale: the dialog opens without an owner.
    const HWND gone = CreateWindowA("STATIC", "gone", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    module->on_client(0, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(gone)));
    DialogWatcher watcher({Wide(secondMap)});
    Press({VK_F12});
    ASSERT_TRUE(PumpUntil([&] { return !g_client.uploads.empty(); }));
    Pump(std::chrono::milliseconds(300));
    EXPECT_TRUE(watcher.Seen().found);
    EXPECT_EQ(watcher.Seen().owner, nullptr);
    EXPECT_EQ(g_client.f12KeyDowns, 1);
    // Our Control-T passes although interception is off.
    EXPECT_EQ(g_client.uploads, std::vector<WPARAM>{MAKEWPARAM(kUploadCommand, 1)});
    EXPECT_EQ(ModuleKeys(2), kControlT);
    EXPECT_EQ(data.Read("editor.ini"), "[Editor]\r\nGrid=8\r\nMAP=" + ShortPath(secondMap) + "\r\n");

    // With interception off the player's Control-T uploads at once.
    g_seenKeys.clear();
    Press({VK_CONTROL, 'T'});
    ASSERT_TRUE(PumpUntil([&] { return g_client.uploads.size() == 2; }));
    EXPECT_EQ(ModuleKeys(4), std::vector<SeenKey>{});
    EXPECT_EQ(module.TakeSpoken(), Lines{"Tarnwick: New dream file is " + secondMap});
}

// The framework starts the module again, through the dialog's message loop,
// and names no data folder this time.
TEST_F(EndToEnd, ARestartWhileTheDialogIsOpenWritesWhereTheMapWasRead) {
    Start("3");
    const std::function<void()> restart = [&] {
        ksh_set_folders(clientRoot.Path().c_str(), nullptr, docs.Path().c_str());
        ksh_start(1, window);
    };
    DialogWatcher watcher({Wide(secondMap), [&](HWND) {
        SendMessageA(window, kRunOnClientThread, 0, reinterpret_cast<LPARAM>(&restart));
    }});
    Press({VK_CONTROL, 'T'});
    ASSERT_TRUE(PumpUntil([&] { return !g_client.uploads.empty(); })) << "no upload reached the client";
    EXPECT_EQ(module.TakeSpoken(), Lines{"Tarnwick: New dream file is " + secondMap});
    EXPECT_EQ(data.Read("editor.ini"), "[Editor]\r\nGrid=8\r\nMAP=" + ShortPath(secondMap) + "\r\n");
    EXPECT_EQ(clientRoot.Listing(), "");  // no editor.ini of the relative path
    // The restart's folders count from the next selection on.
    Press({VK_F12});
    ASSERT_TRUE(PumpUntil([&] { return ksh_spoken_count() > 0; }));
    EXPECT_EQ(module.TakeSpoken(), Lines{"Tarnwick: Error - Unable to find Veldara folder."});
}

TEST_F(EndToEnd, CancelChangesNothingAndUploadsNothing) {
    Start("3");
    const std::string before = data.Read("editor.ini");
    DialogWatcher watcher({});
    Press({VK_CONTROL, 'T'});
    ASSERT_TRUE(PumpUntil([&] { return watcher.Done(); }));
    Pump(std::chrono::milliseconds(300));
    EXPECT_TRUE(watcher.Seen().found);
    EXPECT_EQ(module.TakeSpoken(), Lines{"Tarnwick: Canceled. Dream not uploaded."});
    EXPECT_TRUE(g_client.uploads.empty());
    EXPECT_EQ(ModuleKeys(4), std::vector<SeenKey>{});
    EXPECT_EQ(data.Read("editor.ini"), before);
    EXPECT_EQ(CurrentFolder(), clientRoot.Path());
}

TEST_F(EndToEnd, MissingDataFolderIsReportedWithoutADialog) {
    Start("3", "");
    Press({VK_F12});
    ASSERT_TRUE(PumpUntil([&] { return ksh_spoken_count() > 0; }));
    EXPECT_EQ(module.TakeSpoken(), Lines{"Tarnwick: Error - Unable to find Veldara folder."});
    EXPECT_EQ(FindWindowA(nullptr, kDialogTitle), nullptr);
    EXPECT_EQ(CurrentFolder(), clientRoot.Path());
    EXPECT_EQ(ModuleKeys(2), std::vector<SeenKey>{});
}

// A folder text of the framework's relative to the client's program folder,
// which the dialog moves the current folder away from.
TEST_F(EndToEnd, ARelativeDataFolderMeansTheClientsProgramFolder) {
    const std::string relative = "..\\" + data.Path().substr(data.Path().find_last_of('\\') + 1);
    Start("3", relative.c_str());
    DialogWatcher watcher({Wide(secondMap)});
    Press({VK_CONTROL, 'T'});
    ASSERT_TRUE(PumpUntil([&] { return !g_client.uploads.empty(); })) << module.TakeSpoken().front();
    EXPECT_EQ(watcher.Seen().nameBox, L"first dream.map");
    EXPECT_EQ(data.Read("editor.ini"), "[Editor]\r\nGrid=8\r\nMAP=" + ShortPath(secondMap) + "\r\n");
}

// Names in the double-byte code page of the run, each folder ending in a
// character whose second byte is 0x5C, the backslash.
struct DoubleByteNames {
    UINT codePage;
    const wchar_t *dataFolder, *missingFolder, *mapsFolder, *map, *docsFolder;
};
constexpr DoubleByteNames kDoubleByteNames[] = {
    {932, L"\u30C7\u30FC\u30BF\u8868", L"\u7121\u3044\u8868", L"\u5730\u56F3\u30BD", L"\u5922\u306E\u5341.map",
     L"\u6587\u66F8\u80FD"},  // データ表 無い表 地図ソ 夢の十.map 文書能
    {950, L"\u8CC7\u6599\u8A31", L"\u6C92\u6709\u8A31", L"\u5730\u5716\u8A31", L"\u5922\u60F3\u8A31.map",
     L"\u6587\u4EF6\u8A31"},  // 資料許 沒有許 地圖許 夢想許.map 文件許
};

// The double-byte runs of scripts/test set TARNWICK_CODE_PAGE. Wine reports
// the code page of LANG even where the Linux locale is missing and it cannot
// make such names, so the run proves it with a folder that it makes and finds.
TEST_F(EndToEnd, DoubleByteFoldersEndingInABackslashByteUploadTheChosenMap) {
    const char* wanted = getenv("TARNWICK_CODE_PAGE");
    if (wanted) {
        ASSERT_EQ(GetACP(), static_cast<UINT>(atoi(wanted)));
    }
    const auto names = std::find_if(std::begin(kDoubleByteNames), std::end(kDoubleByteNames),
                                    [](const DoubleByteNames& n) { return n.codePage == GetACP(); });
    if (names == std::end(kDoubleByteNames)) GTEST_SKIP() << "needs the ANSI code page 932 or 950";
    const std::string dataFolder = data.PathOf(Ansi(names->dataFolder)), docsName = Ansi(names->docsFolder);
    ASSERT_EQ(Wide(dataFolder), Wide(data.Path()) + L"\\" + names->dataFolder) << "not all of it in the code page";
    ASSERT_TRUE(CreateDirectoryA(dataFolder.c_str(), nullptr) && CreateDirectoryA(docs.PathOf(docsName).c_str(), nullptr));
    WIN32_FIND_DATAA found = {};
    FindClose(FindFirstFileA(dataFolder.c_str(), &found));
    ASSERT_EQ(found.cFileName, Ansi(names->dataFolder)) << "no Linux locale behind the code page";
    const std::string maps = Ansi(names->mapsFolder);
    CreateDirectoryA(data.PathOf(maps).c_str(), nullptr);
    data.Write(maps + "\\" + Ansi(names->map), "dream");
    const std::string chosen = data.PathOf(maps + "\\" + Ansi(names->map));
    const std::string ini = Ansi(names->dataFolder) + "\\editor.ini", iniPath = data.PathOf(ini);
    const std::string stray = dataFolder + "editor.ini";  // what a byte test made of the folder

    // Without and with its backslash; F12 is on only in the documents folder's Tarnwick.ini.
    for (const std::string& dataRoot : {dataFolder, dataFolder + "\\"}) {
        data.Write(ini, "MAP=" + ShortPath(firstMap) + "\r\n");
        const DWORD before = FileNumberOf(iniPath);
        g_client.uploads.clear();
        Start("3", dataRoot.c_str(), docsName);
        DialogWatcher watcher({Wide(chosen)});
        Press({VK_F12});
        ASSERT_TRUE(PumpUntil([&] { return !g_client.uploads.empty(); })) << dataRoot;
        EXPECT_EQ(watcher.Seen().nameBox, L"first dream.map");
        EXPECT_EQ(data.Read(ini), "MAP=" + ShortPath(chosen) + "\r\n");
        EXPECT_NE(FileNumberOf(iniPath), before) << "not replaced through a new file";
        EXPECT_EQ(module.TakeSpoken(), Lines{"Tarnwick: New dream file is " + chosen});
        EXPECT_EQ(GetFileAttributesA(stray.c_str()), INVALID_FILE_ATTRIBUTES);
    }

    const std::string missing = data.PathOf(Ansi(names->missingFolder));
    Start("3", missing.c_str(), docsName);
    DialogWatcher watcher({Wide(chosen)});
    Press({VK_F12});
    ASSERT_TRUE(PumpUntil([&] { return watcher.Done() && ksh_spoken_count() > 0; }));
    const Lines spoken = module.TakeSpoken();
    ASSERT_EQ(spoken.size(), 1u);
    EXPECT_TRUE(spoken[0].starts_with("Tarnwick: Cannot create file \"" + missing + "\\editor.ini\". ")) << spoken[0];
    EXPECT_EQ(GetFileAttributesA((missing + "editor.ini").c_str()), INVALID_FILE_ATTRIBUTES);
}

// Another window of the process, on a thread of its own (on the client's
// thread the accelerator would turn stolen keys into an upload anyway).
// Where it lies right below a dialog without owner, as when the player
// looked at it while the dialog was open, Wine activates it when the dialog
// closes.
class OtherWindow {
public:
    OtherWindow() : thread_([this] {
        window_ = CreateWindowA("STATIC", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 700, 50, 300, 200, nullptr, nullptr,
                                nullptr, nullptr);
        for (MSG message; GetMessageA(&message, nullptr, 0, 0) > 0;) DispatchMessageA(&message);
        DestroyWindow(window_);
    }) {
        EXPECT_TRUE(WaitUntil([this] { return window_ != nullptr; })) << "the other window was not made";
    }
    ~OtherWindow() {
        PostThreadMessageA(GetWindowThreadProcessId(window_, nullptr), WM_QUIT, 0, 0);
        thread_.join();
    }
    // Brings it to the front, and then the dialog again.
    void VisitFrom(HWND dialog) const {
        SetForegroundWindow(window_);
        Sleep(Scaled(100));
        SetForegroundWindow(dialog);
        Sleep(Scaled(100));
    }
    long KeysSent() const { return std::count(g_keyWindows.begin(), g_keyWindows.end(), window_.load()); }
    HWND Handle() const { return window_; }

private:
    std::atomic<HWND> window_{nullptr};
    std::thread thread_;
};

TEST_F(EndToEnd, WithoutAnOwnerOurKeysReachOnlyTheClient) {
    Start("3");
    module->on_client(0, 0);  // the framework gave no window
    OtherWindow other;
    {
        DialogWatcher watcher({Wide(secondMap), [&](HWND dialog) { other.VisitFrom(dialog); }});
        Press({VK_CONTROL, 'T'});
        EXPECT_TRUE(PumpUntil([&] { return !g_client.uploads.empty(); }));
        Pump(std::chrono::milliseconds(300));
        EXPECT_EQ(watcher.Seen().owner, nullptr);
    }
    EXPECT_EQ(other.KeysSent(), 0);
    EXPECT_EQ(ModuleKeys(4), kControlT);
    EXPECT_EQ(module.TakeSpoken(), Lines{"Tarnwick: New dream file is " + secondMap});

    // Where the module cannot tell the client's window (no owner, and F12
    // came with no window focused), it sends nothing and says what to do:
    // the player's Control-T then uploads, once, without a dialog.
    SetFocus(nullptr);
    DialogWatcher watcher({Wide(firstMap), [&](HWND dialog) { other.VisitFrom(dialog); }});
    PostMessageA(window, WM_KEYDOWN, VK_F12, 0);
    ASSERT_TRUE(PumpUntil([&] { return watcher.Done() && ksh_spoken_count() > 0; }));
    EXPECT_EQ(module.TakeSpoken(), Lines{"Tarnwick: New dream file is " + firstMap + ". Press Control-T to upload it."});
    EXPECT_EQ(other.KeysSent(), 0);
    SetFocus(window);
    Press({VK_CONTROL, 'T'});
    ASSERT_TRUE(PumpUntil([&] { return g_client.uploads.size() == 2; }));
    EXPECT_EQ(FindWindowA(nullptr, kDialogTitle), nullptr);
    EXPECT_EQ(data.Read("editor.ini"), "[Editor]\r\nGrid=8\r\nMAP=" + ShortPath(firstMap) + "\r\n");
}

TEST_F(EndToEnd, KeysWhileTheDialogIsOpenOpenNoSecondDialog) {
    Start("3");
    int dialogs = 0;
    DialogWatcher watcher({L"", [&](HWND) {
        // The client can still deliver keys while the dialog is open.
        PostMessageA(window, WM_KEYDOWN, VK_F12, 0);
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(kUploadCommand, 1), 0);
        Sleep(Scaled(300));
        EnumWindows(CountDialogs, reinterpret_cast<LPARAM>(&dialogs));
    }});
    Press({VK_F12});
    ASSERT_TRUE(PumpUntil([&] { return watcher.Done(); }));
    Pump(std::chrono::milliseconds(300));
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(g_client.f12KeyDowns, 2);   // both F12 key-downs reached the client
    EXPECT_TRUE(g_client.uploads.empty());  // the upload request was taken
    EXPECT_EQ(module.TakeSpoken(), Lines{"Tarnwick: Canceled. Dream not uploaded."});
}

// ks_speak is the framework's and may take any time; another program takes
// the front meanwhile. Our keys would go to it: none go, and the player is
// told to press Control-T, which then uploads once without a dialog.
TEST_F(EndToEnd, AWindowThatComesToTheFrontAsTheLineIsSaidGetsNoKeys) {
    Start("3");
    OtherWindow other;
    ksh_set_front_during_speak(other.Handle());
    {
        DialogWatcher watcher({Wide(secondMap)});
        Press({VK_CONTROL, 'T'});
        ASSERT_TRUE(PumpUntil([&] { return ksh_spoken_count() == 2; }));
    }
    ksh_set_front_during_speak(nullptr);
    Pump(std::chrono::milliseconds(300));
    EXPECT_EQ(other.KeysSent(), 0);
    EXPECT_EQ(ModuleKeys(4), std::vector<SeenKey>{});
    EXPECT_EQ(module.TakeSpoken(), (Lines{"Tarnwick: New dream file is " + secondMap,
                                          "Tarnwick: New dream file is " + secondMap + ". Press Control-T to upload it."}));
    Press({VK_CONTROL, 'T'});
    ASSERT_TRUE(PumpUntil([&] { return g_client.uploads.size() == 1; }));
    EXPECT_EQ(data.Read("editor.ini"), "[Editor]\r\nGrid=8\r\nMAP=" + ShortPath(secondMap) + "\r\n");
}

// Our Control-T arrives, but not as the upload command (a message box of the
// client's took it): after a second the player hears what to do, and the
// next Control-T uploads the chosen map once.
TEST_F(EndToEnd, AnUploadThatNeverComesIsToldToThePlayer) {
    Start("3");
    acceleratorsOn = false;
    {
        DialogWatcher watcher({Wide(secondMap)});
        Press({VK_F12});
        ASSERT_TRUE(PumpUntil([&] { return ksh_spoken_count() == 2; }));
    }
    EXPECT_EQ(ModuleKeys(2), kControlT);
    EXPECT_EQ(module.TakeSpoken(), (Lines{"Tarnwick: New dream file is " + secondMap,
                                          "Tarnwick: New dream file is " + secondMap + ". Press Control-T to upload it."}));
    acceleratorsOn = true;
    Press({VK_CONTROL, 'T'});
    ASSERT_TRUE(PumpUntil([&] { return g_client.uploads.size() == 1; }));
    EXPECT_EQ(FindWindowA(nullptr, kDialogTitle), nullptr);
}

// The player keeps Control down through the confirmation and presses T again:
// only T goes out, Control stays held, and that T is an upload command again.
TEST_F(EndToEnd, AControlThePlayerHoldsStaysHeld) {
    if (!RunOnLinux({"true"})) GTEST_SKIP() << "holds keys on Wine's X server";
    Start("3");
    {
        DialogWatcher watcher({Wide(secondMap), [](HWND) { HoldOnX("ctrl", VK_CONTROL); }});
        Press({VK_CONTROL, 'T'});
        EXPECT_TRUE(PumpUntil([&] { return !g_client.uploads.empty(); })) << "no upload reached the client";
    }
    EXPECT_EQ(ModuleKeys(4), (std::vector<SeenKey>{{'T', false}, {'T', true}}));
    EXPECT_LT(GetAsyncKeyState(VK_CONTROL), 0) << "the player's Control was let go";
    DialogWatcher again({});
    RunOnLinux({"xdotool", "key", "t"});
    EXPECT_TRUE(PumpUntil([&] { return again.Done(); }));
    RunOnLinux({"xdotool", "keyup", "ctrl"});
    EXPECT_TRUE(again.Seen().found) << "T with Control held did not ask again";
    EXPECT_EQ(g_client.uploads.size(), 1u);
}

// F12 or Control-T held on past a dialog answered at once: the repeats of
// the key neither ask again nor upload; one press is one selection.
TEST_F(EndToEnd, AKeyHeldPastTheDialogIsOneSelection) {
    if (!RunOnLinux({"true"})) GTEST_SKIP() << "holds keys on Wine's X server";
    Start("3");
    for (const char* keys : {"F12", "ctrl+t"}) {
        g_client.uploads.clear();
        DialogWatcher watcher({Wide(secondMap)});
        // Not waited for here: Wine 10 takes a key in only once this thread,
        // which holds the test's low-level hook, pumps its messages.
        RunOnLinux({"xdotool", "keydown", keys});
        EXPECT_TRUE(PumpUntil([&] { return !g_client.uploads.empty(); })) << keys;
        Pump(std::chrono::milliseconds(1200));  // past the X server's repeat delay
        RunOnLinux({"xdotool", "keyup", keys});
        Pump(std::chrono::milliseconds(300));
        EXPECT_EQ(g_client.uploads.size(), 1u) << keys;
        EXPECT_EQ(module.TakeSpoken(), Lines{"Tarnwick: New dream file is " + secondMap}) << keys;
    }
}

// The framework stops and unloads the module from a timer, which the
// dialog's message loop runs: the dialog closes as a cancel, nothing is
// written or uploaded, and the process goes on.
void CALLBACK UnloadFromTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    ksh_stop();
    ksh_unload_module();
}

TEST_F(EndToEnd, AnUnloadWhileTheDialogIsOpenEndsItAsACancel) {
    Start("3");
    const std::string before = data.Read("editor.ini");
    const std::function<void()> unloadSoon = [] { SetTimer(nullptr, 0, 0, UnloadFromTimer); };
    DialogWatcher watcher({Wide(secondMap), [&](HWND dialog) {
        SendMessageA(window, kRunOnClientThread, 0, reinterpret_cast<LPARAM>(&unloadSoon));
        WaitUntil([&] { return !IsWindow(dialog); });
    }});
    Press({VK_CONTROL, 'T'});
    ASSERT_TRUE(PumpUntil([&] { return watcher.Done() && ksh_spoken_count() > 0; }));
    Pump(std::chrono::milliseconds(300));
    EXPECT_EQ(module.TakeSpoken(), Lines{"Tarnwick: Canceled. Dream not uploaded."});
    EXPECT_EQ(data.Read("editor.ini"), before);
    EXPECT_TRUE(g_client.uploads.empty());
    EXPECT_EQ(ModuleKeys(4), std::vector<SeenKey>{});
}

}  // namespace
