// Start-up's and the log's platform needs, against the real Windows API under Wine.
#include "log/cleaning_log.h"
#include "platform/win32/file_system.h"
#include "platform/win32/registry.h"
#include "platform/win32/system.h"
#include "platform/win32/text.h"
#include "startup/host_discovery.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <windows.h>

namespace {

constexpr const wchar_t* kScratchKey = L"Software\\VeskWizardTests\\Values";

class RegistryValuesTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        RegCloseKey(key_);
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VeskWizardTests");
    }
    void put(const wchar_t* name, DWORD type, const void* data, DWORD size) {
        ASSERT_EQ(RegSetValueExW(key_, name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }
    std::string read(std::string_view name) {
        const auto key = registry_.open_key(
            platform::RegistryRoot::CurrentUser, "Software\\VeskWizardTests\\Values",
            platform::RegistryAccess::QueryValue, platform::RegistryView::Native);
        EXPECT_NE(key, nullptr);
        return MM_GetRegValue(key.get(), name);
    }

    HKEY key_ = nullptr;
    win32::Registry registry_;
};

TEST_F(RegistryValuesTest, EveryTypeReadBackThroughTheRealApi) {
    const wchar_t text[] = L"D:\\Dätä\\Δ";
    put(L"Terminated", REG_SZ, text, sizeof text);
    put(L"Unterminated", REG_SZ, L"D:\\Data", 7 * sizeof(wchar_t));
    const wchar_t two[] = L"abc\0def";
    put(L"TwoParts", REG_SZ, two, sizeof two);
    put(L"Empty", REG_SZ, L"", sizeof(wchar_t));
    const BYTE binary[] = {0x34, 0x12, 0x99};
    put(L"Binary", REG_BINARY, binary, sizeof binary);
    const BYTE minus_one[] = {0xFF, 0xFF};
    put(L"MinusOne", REG_BINARY, minus_one, sizeof minus_one);
    const BYTE seven[] = {0x07};
    put(L"Seven", REG_BINARY, seven, sizeof seven);
    put(L"Expand", REG_EXPAND_SZ, L"%TEMP%", 7 * sizeof(wchar_t));
    const DWORD number = 42;
    put(L"Dword", REG_DWORD, &number, sizeof number);

    EXPECT_EQ(read("Terminated"), "D:\\Dätä\\Δ");
    EXPECT_EQ(read("terminated"), "D:\\Dätä\\Δ");
    EXPECT_EQ(read("Unterminated"), "D:\\Data");
    EXPECT_EQ(read("TwoParts"), "abc");
    EXPECT_EQ(read("Empty"), "");
    EXPECT_EQ(read("Binary"), "4660");
    EXPECT_EQ(read("MinusOne"), "-1");
    EXPECT_EQ(read("Seven"), "7");
    EXPECT_EQ(read("Expand"), "");
    EXPECT_EQ(read("Dword"), "");
    EXPECT_EQ(read("Absent"), "");
}

TEST_F(RegistryValuesTest, SixtyFourKilobyteValue) {
    const std::wstring big(32 * 1024 - 1, L'x');
    put(L"Big", REG_SZ, big.c_str(), static_cast<DWORD>((big.size() + 1) * sizeof(wchar_t)));
    EXPECT_EQ(read("Big"), std::string(big.size(), 'x'));
}

TEST(HostKeyViewTest, ThirtyTwoBitViewIsReadByTheSixtyFourBitBuild) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TOLM\\VESK 4.0", 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t value[] = L"C:\\VeskViewTest";
    RegSetValueExW(key, L"Program Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   sizeof value);
    RegCloseKey(key);

    win32::Registry registry;
    SharedState state;
    MM_ReadHostPaths(state, registry);
    EXPECT_EQ(state.ProgramPath, "C:\\VeskViewTest");
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TOLM\\VESK 4.0", KEY_WOW64_32KEY, 0);
}

class ScratchFolderTest : public testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1];
        GetTempPathW(MAX_PATH + 1, temp);
        folder_ = std::filesystem::path(temp) / L"vesk-test-Ωμέγα-Данные";
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder_)) {
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        std::filesystem::remove_all(folder_);
    }
    std::string folder() const { return win32::utf8(folder_.wstring()); }

    std::filesystem::path folder_;
    win32::FileSystem files_;
};

TEST_F(ScratchFolderTest, HiddenPointerFileCountsAsMissing) {
    const auto file = folder_ / L"VESK40.DIR";
    std::FILE* out = _wfopen(file.c_str(), L"w");
    ASSERT_NE(out, nullptr);
    std::fputs("C:\\Host\r\n", out);
    std::fclose(out);
    const std::string path = folder() + "\\VESK40.DIR";
    EXPECT_TRUE(platform::finds_entry(files_, path, platform::Lookup::OrdinaryFiles));
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(platform::finds_entry(files_, path, platform::Lookup::OrdinaryFiles));
    EXPECT_FALSE(platform::finds_entry(files_, path, platform::Lookup::FoldersIncluded));
}

TEST_F(ScratchFolderTest, FolderIsFoundOnlyWhenFoldersAreIncluded) {
    EXPECT_TRUE(platform::finds_entry(files_, folder(), platform::Lookup::FoldersIncluded));
    EXPECT_FALSE(platform::finds_entry(files_, folder(), platform::Lookup::OrdinaryFiles));
    EXPECT_TRUE(platform::finds_entry(files_, folder() + "\\", platform::Lookup::FoldersIncluded));
    EXPECT_FALSE(
        platform::finds_entry(files_, folder() + "\\gone", platform::Lookup::FoldersIncluded));
}

TEST_F(ScratchFolderTest, LogInANonAnsiFolderIsCreatedNumberedAndWrittenInAnsi) {
    CleaningLog log;
    ASSERT_EQ(log.open_new(files_, folder()), "Cleaning1.log");
    log.write_line("Deleted File:", folder() + "\\x.ini");
    log.close();
    CleaningLog second;
    EXPECT_EQ(second.open_new(files_, folder()), "Cleaning2.log");
    second.close();

    std::FILE* in = _wfopen((folder_ / L"Cleaning1.log").c_str(), L"rb");
    ASSERT_NE(in, nullptr);
    char bytes[1024] = {};
    const std::size_t got = std::fread(bytes, 1, sizeof bytes, in);
    std::fclose(in);
    const std::string text(bytes, got);
    EXPECT_EQ(text, "Deleted File: " + win32::ansi_from_utf8(folder() + "\\x.ini") + "\r\n");
}

TEST_F(ScratchFolderTest, CreateNewRefusesAnExistingFile) {
    std::FILE* out = _wfopen((folder_ / L"Cleaning1.log").c_str(), L"w");
    std::fputs("keep", out);
    std::fclose(out);
    const auto opened = platform::open_checked(files_, folder(), platform::Use::Read);
    ASSERT_NE(opened.folder, nullptr) << opened.reason;
    const auto created = opened.folder->create_text_file("Cleaning1.log");
    EXPECT_EQ(created.status, platform::CreateStatus::AlreadyExists);
    EXPECT_EQ(std::filesystem::file_size(folder_ / L"Cleaning1.log"), 4u);
}

TEST_F(ScratchFolderTest, PointerFileIsReadFromTheAnsiCodePage) {
    const auto file = folder_ / L"VESK40.DIR";
    std::FILE* out = _wfopen(file.c_str(), L"wb");
    const std::string ansi = win32::ansi_from_utf8("\"C:\\Daten, Ä\",4\r\n");
    std::fwrite(ansi.data(), 1, ansi.size(), out);
    std::fclose(out);
    EXPECT_EQ(read_first_field(files_.read_text_file(folder() + "\\VESK40.DIR")), "C:\\Daten, Ä");
}

// Best fit would write a letter the code page lacks as another one, naming a different file.
TEST(AnsiTextTest, ALetterTheCodePageLacksBecomesAQuestionMark) {
    const std::wstring name = L"\u03A9\u03BC\u03AD\u03B3\u03B1.$$$";
    const std::wstring logged =
        win32::wide(win32::utf8_from_ansi(win32::ansi_from_utf8(win32::utf8(name))));
    ASSERT_EQ(logged.size(), name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        EXPECT_TRUE(logged[i] == name[i] || logged[i] == L'?') << win32::utf8(logged);
    }
}

TEST(SystemTest, WindowsAndSystemDirectories) {
    win32::System system;
    const std::string windows = system.windows_directory();
    EXPECT_TRUE(is_fully_qualified(windows)) << windows;
    EXPECT_EQ(system.system_directory().rfind(windows, 0), 0u);
}

// What the organisation's backup folder and the marker take from the system.
TEST(SystemTest, NamesTimeAndEnvironmentAsTheSystemGivesThem) {
    win32::System system;
    EXPECT_EQ(system.computer_name(), system.expand_environment("%COMPUTERNAME%"));
    EXPECT_EQ(system.user_name(), system.expand_environment("%USERNAME%"));
    EXPECT_FALSE(system.user_name().empty());
    // Longer than MAX_PATH once expanded, and a name the environment lacks left as written.
    const std::wstring long_value(300, L'Ω');
    ASSERT_TRUE(SetEnvironmentVariableW(L"VESK_TEST_SHARE", long_value.c_str()));
    EXPECT_EQ(system.expand_environment("\\\\srv\\%vesk_test_share%\\%NO_SUCH_VESK_NAME%"),
              "\\\\srv\\" + win32::utf8(long_value) + "\\%NO_SUCH_VESK_NAME%");
    // UTC to the second, not local time: between two readings of the system's UTC clock.
    const auto seconds = [](const SYSTEMTIME& time) {
        FILETIME file{};
        SystemTimeToFileTime(&time, &file);
        return ((static_cast<std::uint64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime) /
               10'000'000;
    };
    SYSTEMTIME before{};
    GetSystemTime(&before);
    const platform::UtcTime now = system.utc_now();
    SYSTEMTIME after{};
    GetSystemTime(&after);
    const SYSTEMTIME read{static_cast<WORD>(now.year),
                          static_cast<WORD>(now.month),
                          0,
                          static_cast<WORD>(now.day),
                          static_cast<WORD>(now.hour),
                          static_cast<WORD>(now.minute),
                          static_cast<WORD>(now.second),
                          0};
    EXPECT_LE(seconds(before), seconds(read));
    EXPECT_LE(seconds(read), seconds(after));
}

} // namespace
