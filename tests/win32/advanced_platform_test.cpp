// What the advanced run needs of the platform, against the real Windows API under Wine: the
// shell's local application-data folder, a store tree emptied with its folders kept (long paths
// included), and the system's icacls started with the exact command line and its exit code read.
#include "log/cleaning_log.h"
#include "operations/access_rights.h"
#include "operations/virtual_store.h"
#include "platform/win32/file_system.h"
#include "platform/win32/handles.h"
#include "platform/win32/processes.h"
#include "platform/win32/registry.h"
#include "platform/win32/system.h"
#include "platform/win32/text.h"
#include "win32_support.h"

#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <tlhelp32.h>
#include <vector>
#include <windows.h>

namespace {

bool is_folder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(win32::file_path(win32::utf8(path)).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(win32::file_path(win32::utf8(path)).c_str()) !=
           INVALID_FILE_ATTRIBUTES;
}

void make_folder(const std::wstring& path) {
    ASSERT_TRUE(CreateDirectoryW(win32::file_path(win32::utf8(path)).c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS)
        << win32::utf8(path);
}

void make_file(const std::wstring& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    const auto file =
        win32::adopt_handle(CreateFileW(win32::file_path(win32::utf8(path)).c_str(), GENERIC_WRITE,
                                        0, nullptr, CREATE_NEW, attributes, nullptr));
    ASSERT_TRUE(file) << win32::utf8(path);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.get(), "leftover", 8, &written, nullptr));
}

// Removes a tree that may hold read-only files and paths beyond MAX_PATH.
void remove_tree(const std::wstring& folder) {
    WIN32_FIND_DATAW data{};
    const auto search = win32::adopt_find(
        FindFirstFileW(win32::file_path(win32::utf8(folder + L"\\*")).c_str(), &data));
    if (search) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring path = folder + L"\\" + name;
            if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
                remove_tree(path);
            } else {
                const std::wstring long_path = win32::file_path(win32::utf8(path));
                SetFileAttributesW(long_path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(long_path.c_str());
            }
        } while (FindNextFileW(search.get(), &data));
    }
    RemoveDirectoryW(win32::file_path(win32::utf8(folder)).c_str());
}

std::wstring local_app_data() {
    const auto folder = win32::System().special_folder(platform::kCsidlLocalAppData);
    return folder ? win32::wide(*folder) : std::wstring();
}

// The real platform, a scratch host folder for the log, and the state start-up would leave.
class RealAdvancedTest : public testing::Test, protected win32_test::RealWorld {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1] = {};
        ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
        tag_ = L"vesk-advanced-" + std::to_wstring(GetCurrentProcessId());
        host_ = std::wstring(temp) + tag_;
        make_folder(host_);
        state.VeskPath = win32::utf8(host_);
        state.ProgramPath = "C:\\" + win32::utf8(tag_) + "\\Program";
        ASSERT_FALSE(local_app_data().empty());
        make_folder(local_app_data() + L"\\VirtualStore");
        store_ = local_app_data() + L"\\VirtualStore\\" + tag_;
    }
    void TearDown() override {
        log.close();
        remove_tree(host_);
        remove_tree(store_);
    }
    std::vector<std::string> closed_log_lines() {
        log.close();
        return lines_of(files.read_text_file(state.VeskPath + "\\Cleaning1.log"));
    }

    std::wstring tag_;
    std::wstring host_;
    std::wstring store_; // the folder that the program path mirrors in the store
};

TEST(LocalAppDataTest, TheShellGivesAnExistingFullPath) {
    const std::wstring local = local_app_data();
    ASSERT_FALSE(local.empty());
    ASSERT_GE(local.size(), 4u);
    EXPECT_TRUE(iswalpha(local[0]) && local[1] == L':' && local[2] == L'\\') << win32::utf8(local);
    EXPECT_NE(local.back(), L'\\');
    EXPECT_TRUE(is_folder(local));
    wchar_t from_environment[MAX_PATH + 1] = {};
    if (GetEnvironmentVariableW(L"LOCALAPPDATA", from_environment, MAX_PATH + 1) > 0) {
        EXPECT_EQ(CompareStringOrdinal(local.c_str(), -1, from_environment, -1, TRUE), CSTR_EQUAL)
            << win32::utf8(local) << " / " << win32::utf8(from_environment);
    }
}

TEST_F(RealAdvancedTest, TheProgramFilesStoreIsFoundBelowTheShellsFolder) {
    const std::string pf = MM_GetVirtualStorePath(context, StoreKind::ProgramFiles);
    EXPECT_EQ(pf, win32::utf8(store_) + "\\Veskpath");
    EXPECT_FALSE(virtual_store_exists(context, pf));
    make_folder(store_);
    make_folder(store_ + L"\\Veskpath");
    EXPECT_TRUE(virtual_store_exists(context, pf));
}

TEST_F(RealAdvancedTest, ANestedStoreLosesItsFilesAndKeepsItsFolders) {
    const std::wstring pf = store_ + L"\\Veskpath";
    make_folder(store_);
    make_folder(pf);
    make_folder(pf + L"\\Sub");
    make_folder(pf + L"\\Sub\\Deeper");
    make_folder(pf + L"\\Empty");
    make_file(pf + L"\\Vesk.ini");
    make_file(pf + L"\\Hidden.dat", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    make_file(pf + L"\\Sub\\Toolbar.tlb");
    make_file(pf + L"\\Sub\\Deeper\\Layout.dat");
    ASSERT_FALSE(log.open_new(files, state.VeskPath).empty());

    MM_CleanVirtualStore(context, MM_GetVirtualStorePath(context, StoreKind::ProgramFiles));

    EXPECT_EQ(closed_log_lines(), std::vector<std::string>{"Path cleaned: " + win32::utf8(pf)});
    for (const wchar_t* gone :
         {L"\\Vesk.ini", L"\\Hidden.dat", L"\\Sub\\Toolbar.tlb", L"\\Sub\\Deeper\\Layout.dat"}) {
        EXPECT_FALSE(exists(pf + gone)) << win32::utf8(gone);
    }
    for (const wchar_t* kept : {L"", L"\\Sub", L"\\Sub\\Deeper", L"\\Empty"}) {
        EXPECT_TRUE(is_folder(pf + kept)) << win32::utf8(kept);
    }
}

TEST_F(RealAdvancedTest, PathsBeyondMaxPathAreCleanedAndRefusalsNamed) {
    const std::wstring pd = store_ + L"\\VESK 4.4";
    make_folder(store_);
    std::wstring folder = pd;
    make_folder(folder);
    while (folder.size() < 400) {
        folder += L"\\A folder name of some forty characters xx";
        make_folder(folder);
    }
    make_file(folder + L"\\Deep.ini");
    make_file(folder + L"\\Kept.ini", FILE_ATTRIBUTE_READONLY);
    make_file(pd + L"\\Top.ini");
    ASSERT_FALSE(log.open_new(files, state.VeskPath).empty());

    MM_CleanVirtualStore(context, win32::utf8(pd));

    const std::string kept = win32::utf8(folder + L"\\Kept.ini");
    EXPECT_EQ(closed_log_lines(), (std::vector<std::string>{
                                      pad_to_zone("Could not delete File:") + kept + " (" +
                                          win32::error_text(ERROR_ACCESS_DENIED) + ")",
                                      pad_to_zone("Path not fully cleaned: ") + win32::utf8(pd)}));
    EXPECT_FALSE(exists(folder + L"\\Deep.ini"));
    EXPECT_FALSE(exists(pd + L"\\Top.ini"));
    EXPECT_TRUE(exists(folder + L"\\Kept.ini"));
    EXPECT_TRUE(is_folder(folder));
    EXPECT_TRUE(has_refusal(files.read_text_file(state.VeskPath + "\\Cleaning1.log")));
}

// The stand-in copied over the prefix's icacls.exe for the test's length; what it recorded.
class IcaclsTest : public RealAdvancedTest {
protected:
    void SetUp() override {
        RealAdvancedTest::SetUp();
        if (!win32_test::running_under_wine()) {
            GTEST_SKIP() << "Windows does not let a test replace its icacls";
        }
        wchar_t module[MAX_PATH + 1] = {};
        ASSERT_GT(GetModuleFileNameW(nullptr, module, MAX_PATH + 1), 0u);
        std::wstring standin = module;
        standin.erase(standin.rfind(L'\\') + 1);
        standin += L"icacls_standin.exe";
        tool_ = win32::wide(system.system_directory()) + L"\\icacls.exe";
        saved_ = host_ + L"\\icacls.exe.saved";
        ASSERT_TRUE(CopyFileW(tool_.c_str(), saved_.c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(standin.c_str(), tool_.c_str(), FALSE));
        record_ = host_ + L"\\icacls.record";
        SetEnvironmentVariableW(L"VESK_ICACLS_RECORD", record_.c_str());
        for (const wchar_t* folder : {L"\\Data Folder", L"\\Data", L"\\Aux Data"}) {
            make_folder(host_ + folder);
        }
    }
    void TearDown() override {
        CopyFileW(saved_.c_str(), tool_.c_str(), FALSE);
        SetEnvironmentVariableW(L"VESK_ICACLS_RECORD", nullptr);
        SetEnvironmentVariableW(L"VESK_ICACLS_EXIT", nullptr);
        SetEnvironmentVariableW(L"VESK_ICACLS_WAIT_MS", nullptr);
        RealAdvancedTest::TearDown();
    }
    // The command line, then each argument as parsed, then "show N".
    std::vector<std::wstring> recorded() const {
        std::vector<std::wstring> lines;
        const auto file =
            win32::adopt_handle(CreateFileW(record_.c_str(), GENERIC_READ, 0, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            return lines;
        }
        std::wstring text(4096, L'\0');
        DWORD got = 0;
        ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &got,
                 nullptr);
        text.resize(got / sizeof(wchar_t));
        for (std::size_t end; (end = text.find(L'\n')) != std::wstring::npos;) {
            lines.push_back(text.substr(0, end));
            text.erase(0, end + 1);
        }
        return lines;
    }

    std::wstring tool_;
    std::wstring saved_;
    std::wstring record_;
    win32_test::StandardUserSystem standard_user;
    Context standard{state, {registry, files, standard_user, processes}, log, deletion, observer};
};

TEST_F(IcaclsTest, TheSystemsToolGetsTheExactCommandLineMinimised) {
    const std::string folder = state.VeskPath + "\\Data Folder";
    const ItemOutcome outcome = MM_SetFolderPermissions(standard, folder);

    EXPECT_EQ(outcome.outcome, Outcome::Done) << outcome.reason;
    const std::wstring line =
        L"icacls \"" + win32::wide(folder) + L"\" /T /Q /grant:r *S-1-5-32-545:(OI)(CI)F";
    EXPECT_EQ(recorded(),
              (std::vector<std::wstring>{line, L"icacls", win32::wide(folder), L"/T", L"/Q",
                                         L"/grant:r", L"*S-1-5-32-545:(OI)(CI)F",
                                         L"show " + std::to_wstring(SW_SHOWMINIMIZED)}));
}

TEST_F(IcaclsTest, ATrailingBackslashReachesTheToolAsOneArgument) {
    const std::string folder = state.VeskPath + "\\Data Folder\\";
    EXPECT_EQ(MM_SetFolderPermissions(standard, folder).outcome, Outcome::Done);
    const std::vector<std::wstring> lines = recorded();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0],
              L"icacls \"" + win32::wide(folder) + L"\\\" /T /Q /grant:r *S-1-5-32-545:(OI)(CI)F");
    EXPECT_EQ(lines[2], win32::wide(folder));
    EXPECT_EQ(lines[3], L"/T");
}

TEST_F(IcaclsTest, TheExitCodesAreReadAndLogged) {
    state.AppDataPath = state.VeskPath + "\\Data";
    state.AuxDataPath = state.VeskPath + "\\Aux Data";
    SetEnvironmentVariableW(L"VESK_ICACLS_EXIT", L"1332");
    ASSERT_FALSE(log.open_new(files, state.VeskPath).empty());

    MM_RestoreAccessRights(standard, "Cleaning1.log");

    EXPECT_EQ(closed_log_lines(),
              (std::vector<std::string>{pad_to_zone("Permissions Not Set For: ") +
                                            state.AppDataPath + " (icacls exit code 1332)",
                                        pad_to_zone("Permissions Not Set For: ") +
                                            state.AuxDataPath + " (icacls exit code 1332)"}));
    SetEnvironmentVariableW(L"VESK_ICACLS_EXIT", L"0");
    EXPECT_EQ(MM_SetFolderPermissions(standard, state.AppDataPath).outcome, Outcome::Done);
}

// The running process started from the program file, or null.
win32::UniqueHandle running_process(const std::wstring& program) {
    const win32::UniqueHandle snapshot =
        win32::adopt_handle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = snapshot && Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry)) {
        if (lstrcmpiW(entry.szExeFile, program.c_str()) == 0) {
            return win32::UniqueHandle(OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID));
        }
    }
    return nullptr;
}

// Closing the window during the tool's run: the wait ends at once, the tool goes on by itself.
TEST_F(IcaclsTest, ACalledOffWaitEndsAtOnceAndLeavesTheToolRunning) {
    SetEnvironmentVariableW(L"VESK_ICACLS_WAIT_MS", L"4000");
    const win32::UniqueHandle call_off(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    win32::Processes waiting(win32::Processes::Show::Minimised, call_off.get());
    const std::jthread closing([&call_off] {
        Sleep(500);
        SetEvent(call_off.get());
    });
    const ULONGLONG started = GetTickCount64();

    const platform::ProcessResult result =
        waiting.run_and_wait(win32::utf8(tool_), "icacls \"" + state.VeskPath + "\"");

    EXPECT_LT(GetTickCount64() - started, 2500u);
    EXPECT_TRUE(result.started);
    EXPECT_FALSE(result.finished);
    const win32::UniqueHandle tool = running_process(L"icacls.exe");
    ASSERT_TRUE(tool) << "the tool ended with the wait";
    // Done before the stand-in is put back: a running program's file cannot be replaced.
    EXPECT_EQ(WaitForSingleObject(tool.get(), 20000), WAIT_OBJECT_0);
}

TEST(ProcessStartTest, AProgramThatCannotStartGivesTheSystemsReason) {
    win32::Processes processes;
    const std::string missing = win32::System().system_directory() + "\\no-such-tool.exe";
    const platform::ProcessResult result = processes.run_and_wait(missing, "no-such-tool");
    EXPECT_FALSE(result.started);
    EXPECT_EQ(result.reason, win32::error_text(ERROR_FILE_NOT_FOUND));
}

} // namespace
