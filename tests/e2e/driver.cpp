// Drives the wizard's window from outside, as a user would: finds its controls by caption,
// tells which of them can be seen, clicks them, reads ticks and captions, answers its message
// boxes and its dialogs, and times how soon the window answers during a run. The test scripts call
// one subcommand per step; exit status 0 means the step held, 1 that it did not (with the reason on
// stderr), 2 a usage error. Clicks and keys are posted (a click in a dialog is sent): the scripts
// look for their effect with a retry. "in TITLE" before a command points it at the program's
// dialog with that title instead of the window.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>
#include <windows.h>
// After windows.h, whose types it uses.
#include <commctrl.h>

namespace {

constexpr wchar_t kWindowTitle[] = L" VESK Cleaning Wizard";
constexpr wchar_t kBoxTitle[] = L"VESK Cleaning Wizard";
constexpr wchar_t kBoxClass[] = L"#32770";
constexpr int kBoxTextId = 0xFFFF;
constexpr UINT kSendTimeoutMs = 5000;
constexpr double kDefaultWaitSeconds = 20;

std::string utf8(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

// The test scripts pass captions in UTF-8.
std::wstring wide(const char* text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), size);
    out.resize(out.size() - 1);
    return out;
}

std::wstring text_of(HWND window) {
    wchar_t buffer[1024] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, std::size(buffer),
                             reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &copied)) {
        return {};
    }
    return std::wstring(buffer, copied);
}

std::wstring class_of(HWND window) {
    wchar_t buffer[256] = {};
    GetClassNameW(window, buffer, static_cast<int>(std::size(buffer)));
    return buffer;
}

int fail(const std::string& why) {
    std::fprintf(stderr, "driver: %s\n", why.c_str());
    return 1;
}

// Polls until found returns true or the time is up.
bool wait_for(double seconds, const std::function<bool()>& found) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<int>(seconds * 1000));
    while (!found()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

HWND main_window() {
    const HWND window = FindWindowW(nullptr, kWindowTitle);
    return window && IsWindowVisible(window) ? window : nullptr;
}

HWND message_box() {
    return FindWindowW(kBoxClass, kBoxTitle);
}

// The program's dialog with this title, once it shows.
HWND dialog_titled(const std::wstring& title) {
    const HWND dialog = FindWindowW(kBoxClass, title.c_str());
    return dialog && IsWindowVisible(dialog) ? dialog : nullptr;
}

// What a user would call the control.
std::string kind_of(HWND control) {
    const std::wstring window_class = class_of(control);
    if (lstrcmpiW(window_class.c_str(), L"Static") == 0) {
        return "label";
    }
    if (lstrcmpiW(window_class.c_str(), WC_LISTVIEWW) == 0 ||
        lstrcmpiW(window_class.c_str(), L"ListBox") == 0) {
        return "list";
    }
    if (lstrcmpiW(window_class.c_str(), L"Button") != 0) {
        return "panel";
    }
    switch (GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) {
    case BS_CHECKBOX:
    case BS_AUTOCHECKBOX:
    case BS_3STATE:
    case BS_AUTO3STATE:
        return "checkbox";
    case BS_GROUPBOX:
        return "frame";
    default:
        return "button";
    }
}

// Shown, and what the screen shows at its centre belongs to it. A frame is seen when its
// caption's corner is not covered (group boxes let hit tests through to what lies under them).
bool seen(HWND control) {
    if (!IsWindowVisible(control)) {
        return false;
    }
    RECT rect;
    GetWindowRect(control, &rect);
    if (kind_of(control) == "frame") {
        const POINT corner{rect.left + 4, rect.top + 4};
        const HWND at = WindowFromPoint(corner);
        return at == control || at == GetParent(control);
    }
    const POINT centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    return WindowFromPoint(centre) == control;
}

std::vector<HWND> controls_of(HWND window) {
    std::vector<HWND> found;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM list) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

int checked_state(HWND box) {
    DWORD_PTR state = 0;
    SendMessageTimeoutW(box, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &state);
    return state == BST_CHECKED ? 1 : 0;
}

// The control with this caption; of several, the one a user can see.
HWND control_by_caption(HWND window, const std::wstring& caption) {
    HWND any = nullptr;
    for (const HWND control : controls_of(window)) {
        if (text_of(control) != caption || kind_of(control) == "panel") {
            continue;
        }
        if (seen(control)) {
            return control;
        }
        any = any ? any : control;
    }
    return any;
}

HWND require_window() {
    const HWND window = main_window();
    if (!window) {
        std::fprintf(stderr, "driver: no window titled \"%s\"\n", utf8(kWindowTitle).c_str());
    }
    return window;
}

int list(HWND window) {
    for (const HWND control : controls_of(window)) {
        const std::string kind = kind_of(control);
        if (kind == "panel") {
            continue;
        }
        const std::string tick = kind == "checkbox" ? std::to_string(checked_state(control)) : "-";
        std::printf("%s\t%s\t%s\t%s\n", seen(control) ? "seen" : "unseen", kind.c_str(),
                    tick.c_str(), utf8(text_of(control)).c_str());
    }
    return 0;
}

int press_box(const std::string& answer) {
    const int id = answer == "yes" ? IDYES : answer == "no" ? IDNO : answer == "ok" ? IDOK : 0;
    if (id == 0) {
        return fail("press-box takes yes, no or ok");
    }
    const HWND box = message_box();
    if (!box) {
        return fail("no message box is open");
    }
    const HWND button = GetDlgItem(box, id);
    if (!button) {
        return fail("the message box has no " + answer + " button");
    }
    // A posted click is lost on the box's modal loop under Wine; a sent one is not.
    DWORD_PTR result = 0;
    SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
    if (!wait_for(kDefaultWaitSeconds, [box] { return !IsWindow(box); })) {
        return fail("the message box stayed open after " + answer);
    }
    return 0;
}

// A key pressed on the focused control, delivered through the window's message queue.
int press_key(HWND window, const std::string& key) {
    const UINT code = key == "tab"      ? VK_TAB
                      : key == "space"  ? VK_SPACE
                      : key == "enter"  ? VK_RETURN
                      : key == "escape" ? VK_ESCAPE
                      : key == "down"   ? VK_DOWN
                      : key == "up"     ? VK_UP
                      : key == "home"   ? VK_HOME
                      : key == "delete" ? VK_DELETE
                                        : 0;
    if (code == 0) {
        return fail("key takes tab, space, enter, escape, down, up, home or delete");
    }
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
    const HWND target = info.hwndFocus ? info.hwndFocus : window;
    PostMessageW(target, WM_KEYDOWN, code, 1);
    PostMessageW(target, WM_KEYUP, code, static_cast<LPARAM>(0xC0000001u));
    return 0;
}

// The name a screen reader gives the control, built as Windows builds it for a standard
// control: its own text, where "&&" stands for "&" and a single "&" marks the access key, on
// buttons, check boxes and frames; a label's text as it is; for a control without text, the
// text of the label just before it.
std::wstring accessible_name(HWND control) {
    const std::wstring text = text_of(control);
    if (text.empty()) {
        const HWND before = GetWindow(control, GW_HWNDPREV);
        return before && kind_of(before) == "label" ? text_of(before) : std::wstring();
    }
    if (kind_of(control) == "label") {
        return text;
    }
    std::wstring name;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size()) {
            ++i;
        }
        name += text[i];
    }
    return name;
}

// Every control a user can see, as "kind<TAB>accessible name".
int names(HWND window) {
    for (const HWND control : controls_of(window)) {
        if (kind_of(control) != "panel" && seen(control)) {
            std::printf("%s\t%s\n", kind_of(control).c_str(),
                        utf8(accessible_name(control)).c_str());
        }
    }
    return 0;
}

// The push button a user sees drawn as the default, the one Enter presses.
int default_button(HWND window) {
    for (const HWND control : controls_of(window)) {
        if (kind_of(control) == "button" && seen(control) &&
            (GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
            std::printf("%s\n", utf8(text_of(control)).c_str());
        }
    }
    return 0;
}

LRESULT ask(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &answer);
    return static_cast<LRESULT>(answer);
}

// Memory in the program's process: a list view writes an item's text only into its own
// process's memory.
class RemoteBuffer {
public:
    RemoteBuffer(HWND window, std::size_t size) : size_(size) {
        DWORD process_id = 0;
        GetWindowThreadProcessId(window, &process_id);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                               process_id);
        address_ = process_ ? VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE,
                                             PAGE_READWRITE)
                            : nullptr;
    }
    ~RemoteBuffer() {
        if (address_) {
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        }
        if (process_) {
            CloseHandle(process_);
        }
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    char* address() const { return static_cast<char*>(address_); }
    bool write(const void* bytes, std::size_t size) const {
        return size <= size_ && WriteProcessMemory(process_, address_, bytes, size, nullptr);
    }
    bool read(std::size_t offset, void* bytes, std::size_t size) const {
        return offset + size <= size_ &&
               ReadProcessMemory(process_, address() + offset, bytes, size, nullptr);
    }

private:
    std::size_t size_;
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
};

// The text of one cell, read through the buffer: an LVITEMW and the text after it.
std::wstring cell_text(HWND list, const RemoteBuffer& buffer, int row, int column) {
    constexpr int kTextChars = 1024;
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = reinterpret_cast<wchar_t*>(buffer.address() + sizeof item);
    item.cchTextMax = kTextChars;
    if (!buffer.write(&item, sizeof item)) {
        return {};
    }
    const auto length =
        static_cast<std::size_t>(ask(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                                     reinterpret_cast<LPARAM>(buffer.address())));
    std::wstring text(std::min<std::size_t>(length, kTextChars - 1), L'\0');
    return buffer.read(sizeof item, text.data(), text.size() * sizeof(wchar_t)) ? text
                                                                                : std::wstring();
}

// The window's first list view, a row a line: "CHECK<TAB>first column<TAB>last column", CHECK
// being 1 or 0 for its tick, or - where the list has no check boxes.
int rows(HWND window) {
    const HWND list = FindWindowExW(window, nullptr, WC_LISTVIEWW, nullptr);
    if (!list) {
        return fail("the window has no list view");
    }
    const RemoteBuffer buffer(list, sizeof(LVITEMW) + 1024 * sizeof(wchar_t));
    if (!buffer.address()) {
        return fail("no memory in the program's process to read the list through");
    }
    const auto columns = static_cast<int>(
        ask(reinterpret_cast<HWND>(ask(list, LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0));
    const bool checks = (ask(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES) != 0;
    const auto count = static_cast<int>(ask(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        const auto state = static_cast<UINT>(
            ask(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK));
        const std::string check = !checks ? "-" : (state >> 12) == 2 ? "1" : "0";
        std::printf("%s\t%s\t%s\n", check.c_str(), utf8(cell_text(list, buffer, row, 0)).c_str(),
                    utf8(cell_text(list, buffer, row, std::max(columns - 1, 0))).c_str());
    }
    return 0;
}

using Clock = std::chrono::steady_clock;

double milliseconds_between(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// Sends the window a message that does nothing (WM_NULL) every interval and records how long
// each takes to come back, until told to stop; a window that does not answer holds the send
// for as long as it does not, and that is what is recorded.
class ResponseSampler {
public:
    ResponseSampler(HWND window, int interval_ms)
        : window_(window), interval_(interval_ms), thread_([this] { sample(); }) {}
    ~ResponseSampler() { stop(); }
    ResponseSampler(const ResponseSampler&) = delete;
    ResponseSampler& operator=(const ResponseSampler&) = delete;

    void stop() {
        stopping_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    // Each sample: when it was sent, from the start, and its round trip, in milliseconds.
    const std::vector<std::pair<double, double>>& samples() const { return samples_; }

private:
    void sample() {
        const Clock::time_point start = Clock::now();
        Clock::time_point next = start;
        while (!stopping_) {
            const Clock::time_point sent = Clock::now();
            DWORD_PTR result = 0;
            SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 600000, &result);
            samples_.emplace_back(milliseconds_between(start, sent),
                                  milliseconds_between(sent, Clock::now()));
            // After a send the window held, the next one follows at once, not a burst of them.
            next = std::max(next + interval_, Clock::now());
            std::this_thread::sleep_until(next);
        }
    }

    HWND window_;
    std::chrono::milliseconds interval_;
    std::atomic<bool> stopping_{false};
    std::vector<std::pair<double, double>> samples_;
    std::thread thread_;
};

// With the confirmation box open: answers Yes and times the run from there to the next box (the
// closing message, or the report of a failure), while a sampler times the window's answers.
// Prints "run SECONDS" and writes the samples, one "SENT ROUND_TRIP" a line, to the file given.
int sample_run(const std::string& out, int interval_ms) {
    const HWND window = main_window();
    const HWND confirmation = message_box();
    if (!window || !confirmation) {
        return fail("sample-run wants the window and its confirmation box");
    }
    const HWND yes = GetDlgItem(confirmation, IDYES);
    if (!yes) {
        return fail("the box has no yes button");
    }
    ResponseSampler sampler(window, interval_ms);
    const Clock::time_point pressed = Clock::now();
    DWORD_PTR result = 0;
    SendMessageTimeoutW(yes, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result);
    while (IsWindow(confirmation)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    while (!message_box()) {
        if (!IsWindow(window)) {
            return fail("the window went without a box");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const double run_ms = milliseconds_between(pressed, Clock::now());
    sampler.stop();
    FILE* file = std::fopen(out.c_str(), "w");
    if (!file) {
        return fail("cannot write " + out);
    }
    for (const auto& [sent, round_trip] : sampler.samples()) {
        std::fprintf(file, "%.1f %.3f\n", sent, round_trip);
    }
    std::fclose(file);
    std::printf("run %.3f\n", run_ms / 1000);
    return 0;
}

// Writes the current user's key at path, with everything below it, as a hive file of its own:
// another user's NTUSER.DAT for the tests of a run over every profile.
int save_hive(const char* path, const char* file) {
    HANDLE token = nullptr;
    TOKEN_PRIVILEGES backup{};
    backup.PrivilegeCount = 1;
    backup.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    const bool privileged =
        OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token) &&
        LookupPrivilegeValueW(nullptr, SE_BACKUP_NAME, &backup.Privileges[0].Luid) &&
        AdjustTokenPrivileges(token, FALSE, &backup, 0, nullptr, nullptr);
    if (token) {
        CloseHandle(token);
    }
    if (!privileged) {
        return fail("the backup privilege cannot be had");
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, wide(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return fail("no key " + std::string(path));
    }
    const LSTATUS saved = RegSaveKeyW(key, wide(file).c_str(), nullptr);
    RegCloseKey(key);
    return saved == ERROR_SUCCESS ? 0 : fail("RegSaveKeyW failed: " + std::to_string(saved));
}

int usage() {
    std::fputs("usage: driver wait-window [seconds] | wait-gone [seconds] | list\n"
               "       | seen CAPTION | click CAPTION | checked CAPTION | enabled CAPTION\n"
               "       | focused | rect | close\n"
               "       | key KEY | names | default-button\n"
               "       | wait-box [seconds] | press-box yes|no|ok | no-box | park-pointer\n"
               "       | sample-run FILE [interval-ms] | end-session\n"
               "       | save-hive HKCU-PATH FILE\n"
               "       | wait-dialog TITLE [seconds] | no-dialog TITLE\n"
               "       | in TITLE list|names|default-button|focused|rows|key KEY\n"
               "       | in TITLE seen|click|checked CAPTION\n"
               "  KEY: tab|space|enter|escape|down|up|home|delete\n",
               stderr);
    return 2;
}

double seconds_arg(int argc, char** argv) {
    return argc > 2 ? std::atof(argv[2]) : kDefaultWaitSeconds;
}

int act_on(HWND window, bool dialog, int argc, char** argv);

int run(int argc, char** argv) {
    if (argc < 2) {
        return usage();
    }
    const std::string command = argv[1];
    if (command == "wait-window") {
        return wait_for(seconds_arg(argc, argv), [] { return main_window() != nullptr; })
                   ? 0
                   : fail("the window did not appear");
    }
    if (command == "wait-gone") {
        return wait_for(seconds_arg(argc, argv), [] { return !FindWindowW(nullptr, kWindowTitle); })
                   ? 0
                   : fail("the window is still there");
    }
    if (command == "wait-box") {
        HWND box = nullptr;
        if (!wait_for(seconds_arg(argc, argv),
                      [&box] { return (box = message_box()) != nullptr; })) {
            return fail("no message box appeared");
        }
        wchar_t text[4096] = {};
        GetDlgItemTextW(box, kBoxTextId, text, static_cast<int>(std::size(text)));
        std::printf("%s\n", utf8(text).c_str());
        return 0;
    }
    if (command == "press-box" && argc == 3) {
        return press_box(argv[2]);
    }
    if (command == "sample-run" && argc >= 3) {
        return sample_run(argv[2], argc > 3 ? std::atoi(argv[3]) : 50);
    }
    if (command == "save-hive" && argc == 4) {
        return save_hive(argv[2], argv[3]);
    }
    if (command == "park-pointer") {
        // Out of the way of the window, so that no control shows a hover highlight.
        return SetCursorPos(0, 0) ? 0 : fail("cannot move the mouse pointer");
    }
    if (command == "no-box") {
        return message_box() ? fail("a message box is open") : 0;
    }
    if (command == "wait-dialog" && argc >= 3) {
        const double seconds = argc > 3 ? std::atof(argv[3]) : kDefaultWaitSeconds;
        return wait_for(seconds, [title = wide(argv[2])] { return dialog_titled(title); })
                   ? 0
                   : fail("no dialog titled \"" + std::string(argv[2]) + "\" appeared");
    }
    if (command == "no-dialog" && argc == 3) {
        return dialog_titled(wide(argv[2]))
                   ? fail("a dialog titled \"" + std::string(argv[2]) + "\" is open")
                   : 0;
    }
    if (command == "in" && argc >= 4) {
        const HWND dialog = dialog_titled(wide(argv[2]));
        if (!dialog) {
            return fail("no dialog titled \"" + std::string(argv[2]) + "\" is open");
        }
        return act_on(dialog, true, argc - 2, argv + 2);
    }
    const HWND window = require_window();
    return window ? act_on(window, false, argc, argv) : 1;
}

// A command on the main window or on one of the program's dialogs; argv[1] is the command.
int act_on(HWND window, bool dialog, int argc, char** argv) {
    const std::string command = argv[1];
    if (command == "rows") {
        return rows(window);
    }
    if (command == "list") {
        return list(window);
    }
    if (command == "names") {
        return names(window);
    }
    if (command == "default-button") {
        return default_button(window);
    }
    if (command == "rect") {
        RECT rect;
        GetWindowRect(window, &rect);
        std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top);
        return 0;
    }
    if (command == "focused") {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info);
        // A list has no text of its own: it goes by the name its label gives it.
        const std::wstring focused = !info.hwndFocus ? std::wstring()
                                     : text_of(info.hwndFocus).empty()
                                         ? accessible_name(info.hwndFocus)
                                         : text_of(info.hwndFocus);
        std::printf("%s\n", utf8(focused).c_str());
        return 0;
    }
    if (command == "close") {
        // What the close box and the system menu's Close send.
        PostMessageW(window, WM_CLOSE, 0, 0);
        return 0;
    }
    if (command == "end-session") {
        // What Windows sends at log-off, once every program has agreed: the program may be
        // ended as soon as the window has answered, so this returns only then.
        DWORD_PTR result = 0;
        return SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL,
                                   60000, &result)
                   ? 0
                   : fail("the window did not answer the end of the session");
    }
    if (command == "key" && argc == 3) {
        return press_key(window, argv[2]);
    }
    if (argc != 3) {
        return usage();
    }
    const std::wstring caption = wide(argv[2]);
    const HWND control = control_by_caption(window, caption);
    if (!control) {
        return fail("no control reads \"" + std::string(argv[2]) + "\"");
    }
    if (command == "seen") {
        return seen(control) ? 0 : fail("\"" + std::string(argv[2]) + "\" cannot be seen");
    }
    if (command == "checked") {
        std::printf("%d\n", checked_state(control));
        return 0;
    }
    if (command == "enabled") {
        std::printf("%d\n", IsWindowEnabled(control) ? 1 : 0);
        return 0;
    }
    if (command == "click") {
        if (!seen(control)) {
            return fail("\"" + std::string(argv[2]) + "\" cannot be seen, so not clicked");
        }
        if (dialog) {
            // A dialog's button only ends its dialog; a click posted to it is lost under Wine,
            // as on a message box's buttons.
            ask(control, BM_CLICK, 0, 0);
            return 0;
        }
        // Posted: the click may open a modal box, which would hold a sent message.
        PostMessageW(control, BM_CLICK, 0, 0);
        return 0;
    }
    return usage();
}

} // namespace

int main(int argc, char** argv) {
    return run(argc, argv);
}
