// Helpers shared by the Win32 tests: scratch keys and files made with the raw API, and a user
// interface that records its boxes instead of showing them.
#pragma once

#include "log/cleaning_log.h"
#include "log_lines.h"
#include "operations/context.h"
#include "operations/delete_action.h"
#include "platform/platform.h"
#include "platform/win32/file_system.h"
#include "platform/win32/processes.h"
#include "platform/win32/registry.h"
#include "platform/win32/system.h"
#include "window/message_box_observer.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <vector>
#include <windows.h>

namespace win32_test {

// Answers every question with Yes and every other box with OK.
class RecordingUserInterface : public platform::UserInterface {
public:
    int message_box(std::string_view text, int style) override {
        boxes.emplace_back(text);
        return style == platform::kMbQuestionYesNo ? platform::kIdYes : platform::kIdOk;
    }
    void set_pointer(int /*shape*/) override {}
    std::vector<std::string> boxes;
};

// The real system as a standard user's run sees it: under Wine every program runs as an
// elevated administrator, and a standard user's run takes other ways (the system's icacls, the
// shell's recycle bin).
class StandardUserSystem final : public win32::System {
public:
    bool may_clean_every_profile() override { return false; }
};

// The real platform with a recording user interface, the shared state and a log: what the
// operations are handed when the program runs.
struct RealWorld {
    win32::Registry registry;
    win32::FileSystem files;
    win32::System system;
    win32::Processes processes;
    RecordingUserInterface ui;
    SharedState state;
    CleaningLog log;
    DeleteAction deletion;
    MessageBoxObserver observer{ui};
    Context context{state, {registry, files, system, processes}, log, deletion, observer};
};

// Wine lets a test put its own program in place of a system tool and offers the kernel's sysfs
// as a folder that takes no new file; Windows allows neither, so tests that need them run under
// Wine only.
inline bool running_under_wine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

inline bool key_exists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

// Creates the key below HKEY_CURRENT_USER, with its parents.
inline void create_key(const std::wstring& path) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

inline void write_file(const std::filesystem::path& path, std::string_view bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace win32_test
