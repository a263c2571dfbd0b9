// Backups and restores against Wine's real registry and file system: data that the system's
// own export would shorten comes back exactly, byte for byte and type for type.
#include "engine/cleaning_run.h"
#include "engine/restore_run.h"
#include "model/name_tables.h"
#include "platform/win32/handles.h"
#include "platform/win32/text.h"
#include "win32_support.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>
#include <windows.h>

namespace {

namespace fs = std::filesystem;
using win32_test::write_file;

const std::wstring kBranchW = L"Software\\VB and VBA Program Settings";

struct RawValue {
    DWORD type;
    std::vector<BYTE> data;
    bool operator==(const RawValue&) const = default;
};

void set_raw(const std::wstring& key_path, const std::wstring& name, DWORD type,
             std::vector<BYTE> data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const win32::UniqueKey owned(key);
    const auto size = static_cast<DWORD>(data.size());
    // A character after the data that is not NUL, or RegSetValueExW counts a NUL into a string
    // that ends without one.
    data.insert(data.end(), {0xFF, 0xFF});
    ASSERT_EQ(RegSetValueExW(key, name.c_str(), 0, type, size == 0 ? nullptr : data.data(), size),
              ERROR_SUCCESS);
}

// Every value below the key, by "subkey path|value name", as the registry holds it.
void dump(const std::wstring& key_path, std::map<std::wstring, RawValue>& values) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key_path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return;
    }
    const win32::UniqueKey owned(key);
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD name_size = 16384;
        if (RegEnumValueW(key, index, name, &name_size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        // The data as stored: Wine's RegEnumValueW adds a NUL to a string value stored without.
        DWORD type = 0;
        DWORD data_size = 0;
        ASSERT_EQ(RegQueryValueExW(key, name, nullptr, &type, nullptr, &data_size), ERROR_SUCCESS);
        std::vector<BYTE> data(data_size);
        ASSERT_EQ(RegQueryValueExW(key, name, nullptr, &type, data.data(), &data_size),
                  ERROR_SUCCESS);
        values[key_path + L"|" + std::wstring(name, name_size)] = {type, data};
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD name_size = 256;
        if (RegEnumKeyExW(key, index, name, &name_size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        dump(key_path + L"\\" + std::wstring(name, name_size), values);
    }
}

class BackupPlatformTest : public testing::Test, protected win32_test::RealWorld {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1] = {};
        ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
        host_ = fs::path(temp) / (L"vesk-backup-Ωμέγα-" + std::to_wstring(GetCurrentProcessId()));
        fs::remove_all(host_);
        fs::create_directories(host_);
        state.VeskPath = win32::utf8(host_.wstring());
        MF_FillIniList(state);
        MF_FillKeyList(state);
        RegDeleteTreeW(HKEY_CURRENT_USER, kBranchW.c_str());
    }
    void TearDown() override {
        log.close();
        for (const auto& entry : fs::recursive_directory_iterator(host_)) {
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        fs::remove_all(host_);
        RegDeleteTreeW(HKEY_CURRENT_USER, kBranchW.c_str());
    }
    fs::path host_;
};

TEST_F(BackupPlatformTest, WhatTheSystemsExportWouldShortenComesBackExactly) {
    const std::wstring main = kBranchW + L"\\VeskMain";
    set_raw(main, L"", REG_SZ, {'d', 0, 0, 0});
    set_raw(main, L"Unterminated", REG_SZ, {'a', 0, 'b', 0});
    set_raw(main, L"Empty string", REG_SZ, {});
    set_raw(main, L"NUL inside", REG_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0});
    set_raw(main, L"Two lines \"q\"\\", REG_SZ, {'a', 0, '\r', 0, '\n', 0, 'b', 0, 0, 0});
    set_raw(main, L"Short dword", REG_DWORD, {1, 2});
    set_raw(main, L"Odd type", 0xABCD, {});
    set_raw(main, L"Ωμέγα", REG_MULTI_SZ, {'x', 0, 0, 0, 0, 0});
    set_raw(main + L"\\Deeper\\Deepest", L"Q", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8});
    write_file(host_ / L"VeskMain.ini", "[Ωμέγα]\r\n");
    SetFileAttributesW((host_ / L"VeskMain.ini").c_str(), FILE_ATTRIBUTE_ARCHIVE);
    std::map<std::wstring, RawValue> before;
    dump(main, before);
    ASSERT_EQ(before.size(), 9u);
    ASSERT_EQ(before[main + L"|Unterminated"].data.size(), 4u);

    CleaningOptions options;
    options.registry_settings = options.configuration_settings = true;
    const RunReport cleaned = run_cleaning(context, options);
    log.close();
    ASSERT_EQ(cleaned.done, 2u);
    std::map<std::wstring, RawValue> gone;
    dump(main, gone);
    ASSERT_TRUE(gone.empty());

    const RunReport restored = run_restore(context, 1);
    log.close();

    EXPECT_FALSE(restored.unusable) << *restored.unusable;
    EXPECT_EQ(restored.done, 2u);
    std::map<std::wstring, RawValue> after;
    dump(main, after);
    EXPECT_EQ(after, before);
    EXPECT_EQ(GetFileAttributesW((host_ / L"VeskMain.ini").c_str()), DWORD{FILE_ATTRIBUTE_ARCHIVE});
    EXPECT_EQ(files.read_binary_file(win32::utf8((host_ / L"VeskMain.ini").wstring())),
              "[Ωμέγα]\r\n");
}

// The kernel's name of a key below HKEY_CURRENT_USER, which a registry link holds as its target.
std::wstring kernel_name(const std::wstring& path) {
    using QueryKey = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QueryKey>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryKey")));
    HKEY key = nullptr;
    if (query == nullptr ||
        RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return {};
    }
    const win32::UniqueKey owned(key);
    // KEY_NAME_INFORMATION: the name's length in bytes, then the name.
    std::vector<ULONG> buffer(1024);
    ULONG size = 0;
    constexpr int kKeyNameInformation = 3;
    if (query(key, kKeyNameInformation, buffer.data(),
              static_cast<ULONG>(buffer.size() * sizeof(ULONG)), &size) != 0) {
        return {};
    }
    return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data() + 1),
                        buffer[0] / sizeof(wchar_t));
}

// A registry link at path below HKEY_CURRENT_USER that leads to the key at target.
void make_key_link(const std::wstring& path, const std::wstring& target) {
    const std::wstring name = kernel_name(target);
    ASSERT_FALSE(name.empty());
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                              KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const win32::UniqueKey owned(key);
    ASSERT_EQ(RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK,
                             reinterpret_cast<const BYTE*>(name.data()),
                             static_cast<DWORD>(name.size() * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

// Whether path is a registry link (opened as itself); removes it when remove says so.
bool is_key_link(const std::wstring& path, bool remove = false) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), REG_OPTION_OPEN_LINK,
                      KEY_QUERY_VALUE | DELETE, &key) != ERROR_SUCCESS) {
        return false;
    }
    const win32::UniqueKey owned(key);
    DWORD type = 0;
    const bool link = RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr,
                                       nullptr) == ERROR_SUCCESS &&
                      type == REG_LINK;
    if (link && remove) {
        using DeleteKey = LONG(WINAPI*)(HANDLE);
        const auto delete_key = reinterpret_cast<DeleteKey>(reinterpret_cast<void (*)()>(
            GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
        EXPECT_EQ(delete_key(key), 0);
    }
    return link;
}

// Real registry links and names that would break a registry file: the cleaning leaves them and
// what they lead to as they are, and says why; names with brackets go and come back.
TEST_F(BackupPlatformTest, LinksAndNamesAFileCannotHoldAreLeftAsTheyAre) {
    const std::wstring target = L"Software\\VeskLinkTarget";
    set_raw(target, L"Keep", REG_SZ, {'k', 0, 0, 0});
    win32_test::create_key(target + L"\\Sub");
    make_key_link(kBranchW + L"\\VeskGris", target);
    make_key_link(kBranchW + L"\\VeskTorp\\Inside", target);
    ASSERT_TRUE(is_key_link(kBranchW + L"\\VeskGris"));
    set_raw(kBranchW + L"\\VeskMain", L"a\r\n\r\n[-HKEY_CURRENT_USER\\Software\\VeskLinkTarget]",
            REG_SZ, {'x', 0, 0, 0});
    win32_test::create_key(kBranchW + L"\\VeskHobb\\Sub\r\nx");
    set_raw(kBranchW + L"\\VeskDarl\\a]b", L"[c]", REG_SZ, {'y', 0, 0, 0});

    CleaningOptions options;
    options.registry_settings = true;
    run_cleaning(context, options);
    log.close();

    std::map<std::wstring, RawValue> behind;
    dump(target, behind);
    EXPECT_EQ(behind.size(), 1u);
    EXPECT_TRUE(win32_test::key_exists(target + L"\\Sub"));
    EXPECT_TRUE(is_key_link(kBranchW + L"\\VeskGris"));
    EXPECT_TRUE(is_key_link(kBranchW + L"\\VeskTorp\\Inside"));
    EXPECT_TRUE(win32_test::key_exists(kBranchW + L"\\VeskMain"));
    EXPECT_TRUE(win32_test::key_exists(kBranchW + L"\\VeskHobb"));
    EXPECT_FALSE(win32_test::key_exists(kBranchW + L"\\VeskDarl"));
    const std::string branch = "HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\";
    const std::string unholdable = " (a name the registry file cannot hold)";
    EXPECT_EQ(lines_of(files.read_text_file(state.VeskPath + "\\Cleaning1.log")),
              (std::vector<std::string>{
                  "Could not back up Key:      " + branch + "VeskTorp (a registry link)",
                  "Could not back up Key:      " + branch + "VeskHobb" + unholdable,
                  "Could not back up Key:      " + branch + "VeskMain" + unholdable,
                  "Could not back up Key:      " + branch + "VeskGris (a registry link)",
                  "Deleted Key:  " + branch + "VeskDarl",
                  "Backed up to: " + win32::utf8_from_ansi(win32::ansi_from_utf8(state.VeskPath)) +
                      "\\Cleaning1.backup"}));

    const RunReport restored = run_restore(context, 1);
    log.close();
    EXPECT_EQ(restored.done, 1u);
    std::map<std::wstring, RawValue> back;
    dump(kBranchW + L"\\VeskDarl", back);
    EXPECT_EQ(back.size(), 1u);
    EXPECT_TRUE(back.contains(kBranchW + L"\\VeskDarl\\a]b|[c]"));

    is_key_link(kBranchW + L"\\VeskGris", true);
    is_key_link(kBranchW + L"\\VeskTorp\\Inside", true);
    RegDeleteTreeW(HKEY_CURRENT_USER, target.c_str());
}

} // namespace
