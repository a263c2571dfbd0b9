// What the standard run's operations need of the platform, against the real Windows API under
// Wine: keys deleted by full path, refusals with the system's reason, the pattern search with
// its short-name matches, and the shell's delete of a project folder.
#include "log/cleaning_log.h"
#include "operations/registry_settings.h"
#include "operations/temp_files.h"
#include "platform/win32/file_system.h"
#include "platform/win32/processes.h"
#include "platform/win32/registry.h"
#include "platform/win32/system.h"
#include "platform/win32/text.h"
#include "win32_support.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <vector>
#include <windows.h>

namespace {

using win32_test::key_exists;
using win32_test::RecordingUserInterface;

using platform::RegistryRoot;
using platform::Removal;

constexpr const wchar_t* kScratchKey = L"Software\\VeskStandardTests";

// A key with one value, so that its deletion is seen to take the values too.
void create_key(const std::wstring& path) {
    win32_test::create_key(path);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, &key),
              ERROR_SUCCESS);
    const wchar_t value[] = L"10";
    RegSetValueExW(key, L"Left", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
    RegCloseKey(key);
}

class KeyDeletionTest : public testing::Test {
protected:
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey); }
    win32::Registry registry;
};

TEST_F(KeyDeletionTest, AKeyTreeGoesByItsFullPathAndItsParentStays) {
    const std::wstring scratch = kScratchKey;
    create_key(scratch + L"\\VeskTorp\\Window\\Recent");
    create_key(scratch + L"\\VeskTorp\\Toolbar");
    create_key(scratch + L"\\Other");

    const auto result = platform::delete_key_tree(registry, RegistryRoot::CurrentUser,
                                                  "Software\\VeskStandardTests\\VeskTorp");

    EXPECT_EQ(result.removal, Removal::Deleted) << result.reason;
    EXPECT_FALSE(key_exists(scratch + L"\\VeskTorp"));
    EXPECT_TRUE(key_exists(scratch));
    EXPECT_TRUE(key_exists(scratch + L"\\Other"));
    EXPECT_EQ(platform::delete_key_tree(registry, RegistryRoot::CurrentUser,
                                        "Software\\VeskStandardTests\\VeskTorp")
                  .removal,
              Removal::Missing);
}

TEST_F(KeyDeletionTest, TheSingleKeyDeletionRefusesAKeyWithSubkeys) {
    const std::wstring scratch = kScratchKey;
    create_key(scratch + L"\\VeskGris\\Sub");
    create_key(scratch + L"\\VeskWend");

    const auto refused = platform::delete_key(registry, RegistryRoot::CurrentUser,
                                              "Software\\VeskStandardTests\\VeskGris");
    const auto deleted = platform::delete_key(registry, RegistryRoot::CurrentUser,
                                              "Software\\VeskStandardTests\\VeskWend");

    EXPECT_EQ(refused.removal, Removal::Refused);
    EXPECT_FALSE(refused.reason.empty());
    EXPECT_TRUE(key_exists(scratch + L"\\VeskGris\\Sub"));
    EXPECT_EQ(deleted.removal, Removal::Deleted) << deleted.reason;
    EXPECT_FALSE(key_exists(scratch + L"\\VeskWend"));
}

// The real platform with a scratch host folder below the prefix's temporary folder.
class RealHostTest : public testing::Test, protected win32_test::RealWorld {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1] = {};
        ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
        folder_ = std::filesystem::path(temp) /
                  (L"vesk-standard-" + std::to_wstring(GetCurrentProcessId()));
        std::filesystem::remove_all(folder_);
        ASSERT_TRUE(std::filesystem::create_directories(folder_));
        state.VeskPath = win32::utf8(folder_.wstring());
    }
    void TearDown() override {
        log.close();
        // Read-only entries would stop the clean-up.
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder_)) {
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        std::filesystem::remove_all(folder_);
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings");
    }
    std::wstring path(std::wstring_view name) const { return (folder_ / name).wstring(); }
    std::string host(std::string_view name) const {
        return state.VeskPath + "\\" + std::string(name);
    }
    void make_file(std::wstring_view name, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
        std::filesystem::create_directories(std::filesystem::path(path(name)).parent_path());
        std::ofstream(std::filesystem::path(path(name))) << "leftover";
        ASSERT_TRUE(SetFileAttributesW(path(name).c_str(), attributes));
    }
    bool exists(std::wstring_view name) const {
        return GetFileAttributesW(path(name).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    std::vector<std::string> found(std::string_view pattern) {
        std::vector<std::string> names;
        const platform::FindResult result = files.find(host(pattern));
        if (result.search) {
            while (const auto entry = result.search->next()) {
                names.push_back(entry->name);
            }
        }
        return names;
    }
    std::string closed_log_text() {
        log.close();
        return files.read_text_file(host("Cleaning1.log"));
    }

    std::filesystem::path folder_;
};

std::string system_text(DWORD code) {
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = text == nullptr ? L"" : text;
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r')) {
        message.pop_back();
    }
    return win32::utf8(message);
}

TEST_F(RealHostTest, AReadOnlyFileIsRefusedWithTheSystemsReason) {
    make_file(L"Pomb30.ini", FILE_ATTRIBUTE_READONLY);

    const auto opened = platform::open_checked(files, state.VeskPath, platform::Use::Read);
    ASSERT_NE(opened.folder, nullptr) << opened.reason;
    const auto refused = opened.folder->delete_file("Pomb30.ini");

    EXPECT_EQ(refused.removal, Removal::Refused);
    EXPECT_EQ(refused.reason, system_text(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(refused.reason.empty());
    EXPECT_TRUE(exists(L"Pomb30.ini"));
    EXPECT_EQ(opened.folder->delete_file("Gone.ini").removal, Removal::Missing);
}

TEST_F(RealHostTest, AHiddenTemporaryFileIsFoundAndDeleted) {
    make_file(L"proj.$$$", FILE_ATTRIBUTE_HIDDEN);
    make_file(L"keep.txt");
    EXPECT_EQ(found("*.$*"), std::vector<std::string>{"proj.$$$"});
    ASSERT_EQ(log.open_new(files, state.VeskPath), "Cleaning1.log");

    MM_DeleteTempFiles(context, "*.$*");

    EXPECT_FALSE(exists(L"proj.$$$"));
    EXPECT_TRUE(exists(L"keep.txt"));
    EXPECT_EQ(closed_log_text(), "Deleted File: " + host("proj.$$$") + "\r\n");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(RealHostTest, AShortNameMatchIsListedButNotDeleted) {
    make_file(L"Setup.tlbak");
    make_file(L"Main.tlb");
    const std::vector<std::string> listed = found("*.tlb");
    EXPECT_NE(std::find(listed.begin(), listed.end(), "Setup.tlbak"), listed.end())
        << "the search no longer matches short names";
    ASSERT_EQ(log.open_new(files, state.VeskPath), "Cleaning1.log");

    MM_DeleteTempFiles(context, "*.tlb");

    EXPECT_TRUE(exists(L"Setup.tlbak"));
    EXPECT_FALSE(exists(L"Main.tlb"));
    EXPECT_EQ(closed_log_text(), "Deleted File: " + host("Main.tlb") + "\r\n");
}

TEST_F(RealHostTest, TheShellRemovesAProjectFolderWithItsContents) {
    make_file(L"proj.vk$\\Main.frm");
    make_file(L"proj.vk$\\deep\\x.bin", FILE_ATTRIBUTE_HIDDEN);

    const auto result = files.shell_delete(host("proj.vk$"));

    EXPECT_EQ(result.removal, Removal::Deleted) << result.reason;
    EXPECT_FALSE(exists(L"proj.vk$"));
}

TEST_F(RealHostTest, ProjectFoldersGoThroughTheOperationAndOthersStay) {
    make_file(L"a.vk$\\Main.frm");
    make_file(L"note.vk$");
    make_file(L"b.VK$\\keep.frm");
    ASSERT_EQ(log.open_new(files, state.VeskPath), "Cleaning1.log");

    MM_DeleteTempDirs(context);

    EXPECT_FALSE(exists(L"a.vk$"));
    EXPECT_FALSE(exists(L"note.vk$"));
    EXPECT_TRUE(exists(L"b.VK$\\keep.frm"));
    EXPECT_EQ(closed_log_text(), "Deleted Directory:          " + host("a.vk$") +
                                     "\r\n"
                                     "Deleted Directory:          " +
                                     host("note.vk$") + "\r\n");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(RealHostTest, VersionedSettingsKeysAreDeletedAndTheBranchStays) {
    const std::wstring branch = L"Software\\VB and VBA Program Settings";
    create_key(branch + L"\\VESK 4.0\\Options\\Recent");
    create_key(branch + L"\\VeskTorp\\Window");
    create_key(branch + L"\\VESK4.4");
    state.KeyList = {"VeskTorp"};
    ASSERT_EQ(log.open_new(files, state.VeskPath), "Cleaning1.log");

    MM_EnumVESKKeys(context);
    MM_DeleteVESKKeys(context);

    EXPECT_FALSE(key_exists(branch + L"\\VESK 4.0"));
    EXPECT_FALSE(key_exists(branch + L"\\VeskTorp"));
    EXPECT_TRUE(key_exists(branch + L"\\VESK4.4"));
    EXPECT_TRUE(key_exists(branch));
    const std::string logged = "Deleted Key:  HKEY_CURRENT_USER\\Software\\VB and VBA Program "
                               "Settings\\";
    EXPECT_EQ(closed_log_text(), logged + "VeskTorp\r\n" + logged + "VESK 4.0\r\n");
}

} // namespace
