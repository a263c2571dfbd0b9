// Faults a careful reviewer would try, against the real Windows API under Wine. Each test
// compares the whole scratch tree before and after: only the intended targets may change.
#include "log/cleaning_log.h"
#include "model/name_tables.h"
#include "operations/registry_settings.h"
#include "operations/settings_files.h"
#include "platform/win32/file_system.h"
#include "platform/win32/handles.h"
#include "platform/win32/processes.h"
#include "platform/win32/registry.h"
#include "platform/win32/system.h"
#include "platform/win32/text.h"
#include "scripted_dialogs.h"
#include "startup/host_discovery.h"
#include "startup/main.h"
#include "win32_support.h"
#include "window/form1.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>
#include <windows.h>

namespace {

using win32_test::create_key;
using win32_test::key_exists;
using win32_test::RecordingUserInterface;
using win32_test::write_file;
namespace fs = std::filesystem;

const std::wstring kSettingsBranchW = L"Software\\VB and VBA Program Settings";

// Every entry below root, as "relative path|attributes|size", sorted.
std::set<std::wstring> tree_of(const fs::path& root) {
    std::set<std::wstring> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const DWORD attributes = GetFileAttributesW(entry.path().c_str());
        const auto size = entry.is_directory() ? 0 : entry.file_size();
        entries.insert(fs::relative(entry.path(), root).wstring() + L"|" +
                       std::to_wstring(attributes) + L"|" + std::to_wstring(size));
    }
    return entries;
}

std::set<std::wstring> without(std::set<std::wstring> tree, const std::vector<std::wstring>& gone) {
    for (const auto& name : gone) {
        const auto found = std::find_if(tree.begin(), tree.end(), [&](const std::wstring& line) {
            return line.starts_with(name + L"|");
        });
        EXPECT_NE(found, tree.end()) << win32::utf8(name);
        if (found != tree.end()) {
            tree.erase(found);
        }
    }
    return tree;
}

// What the log makes of a name: the ANSI code page cannot hold every character.
std::string as_logged(std::string_view utf8) {
    return win32::utf8_from_ansi(win32::ansi_from_utf8(utf8));
}

// A scratch folder with a host folder in it, the real platform, and the window's model.
class FaultTest : public testing::Test, protected win32_test::RealWorld {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1] = {};
        ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
        scratch_ = fs::path(temp) / (L"vesk-fault-Ωμέγα-" + std::to_wstring(GetCurrentProcessId()));
        fs::remove_all(scratch_);
        host_ = scratch_ / L"Host Данные";
        fs::create_directories(host_);
        state.VeskPath = win32::utf8(host_.wstring());
        MF_FillIniList(state);
        MF_FillKeyList(state);
        opengl_ = win32::wide(system.windows_directory()) + L"\\veskhogl.ini";
    }
    void TearDown() override {
        log.close();
        for (const auto& entry : fs::recursive_directory_iterator(scratch_)) {
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        fs::remove_all(scratch_);
        DeleteFileW(opengl_.c_str());
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsBranchW.c_str());
    }
    std::string host(std::wstring_view name) const { return win32::utf8((host_ / name).wstring()); }
    std::string log_text(int number) {
        return files.read_text_file(state.VeskPath + "\\Cleaning" + std::to_string(number) +
                                    ".log");
    }

    fs::path scratch_;
    fs::path host_;
    std::wstring opengl_;
};

TEST_F(FaultTest, ASettingsFileOpenElsewhereIsKeptAndLoggedWithTheSystemsReason) {
    write_file(host_ / L"VeskMain.ini", "in use");
    write_file(host_ / L"Vesk30.ini", "free");
    write_file(host_ / L"Notes.txt", "not ours");
    write_file(scratch_ / L"Elsewhere" / L"Vesk30.ini", "not in the host folder");
    // Another program holds the file open without letting anyone delete it.
    const auto holder = win32::adopt_handle(
        CreateFileW((host_ / L"VeskMain.ini").c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    const auto before = tree_of(scratch_);
    ASSERT_FALSE(log.open_new(files, state.VeskPath).empty());

    MM_DeleteIniFiles(context);

    log.close();
    EXPECT_EQ(lines_of(log_text(1)),
              (std::vector<std::string>{
                  pad_to_zone("Deleted File:") + as_logged(host(L"Vesk30.ini")),
                  pad_to_zone("Could not delete File:") + as_logged(host(L"VeskMain.ini")) + " (" +
                      win32::error_text(ERROR_SHARING_VIOLATION) + ")"}));
    auto expected = without(before, {L"Host Данные\\Vesk30.ini"});
    auto after = tree_of(scratch_);
    after.erase(std::find_if(after.begin(), after.end(), [](const std::wstring& line) {
        return line.starts_with(L"Host Данные\\Cleaning1.log|");
    }));
    EXPECT_EQ(after, expected);
    EXPECT_TRUE(has_refusal(log_text(1)));
}

TEST_F(FaultTest, AHostFolderGoneBeforeTheRunCleansNothingAndSaysSo) {
    write_file(host_ / L"a.$$$", "x");
    write_file(scratch_ / L"Sibling" / L"b.$$$", "x");
    write_file(scratch_ / L"Sibling" / L"VeskMain.ini", "x");
    write_file(opengl_, "x");
    ScriptedDialogs dialogs;
    Form1 form(context, ui, dialogs);
    form.Form_Load();
    for (int index = 1; index <= 5; ++index) {
        form.set_value(Form1::Check1(index), 1);
    }
    fs::remove_all(host_);
    const auto before = tree_of(scratch_);

    form.click(ControlId::Command1);

    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[1], "No cleaning log could be created in:\r\n" + state.VeskPath +
                               "\r\n\r\nNothing was cleaned.");
    EXPECT_EQ(tree_of(scratch_), before);
    EXPECT_FALSE(fs::exists(host_));
    EXPECT_TRUE(fs::exists(opengl_));
    EXPECT_FALSE(form.ended());
}

// Wine runs as root here: a folder without Unix write permission, or with the read-only
// attribute, still takes new files. The kernel's sysfs refuses new files even to root, so its
// folder stands in for a host folder the user may not write to.
TEST_F(FaultTest, AHostFolderThatTakesNoNewFileEndsTheRunBeforeAnyDeletion) {
    if (!win32_test::running_under_wine()) {
        GTEST_SKIP() << "Z:\\sys\\kernel is Wine's view of the Linux sysfs";
    }
    state.VeskPath = "Z:\\sys\\kernel";
    const auto kernel = platform::open_checked(files, state.VeskPath, platform::Use::Read);
    ASSERT_NE(kernel.folder, nullptr) << kernel.reason;
    ASSERT_EQ(kernel.folder->create_text_file("probe.txt").status, platform::CreateStatus::Failed);
    create_key(kSettingsBranchW + L"\\VeskTorp\\Window");
    create_key(kSettingsBranchW + L"\\Vesk 4.0 Pro");
    write_file(opengl_, "x");
    write_file(scratch_ / L"Other" / L"a.$$$", "x");
    ScriptedDialogs dialogs;
    Form1 form(context, ui, dialogs);
    form.Form_Load();
    for (int index = 0; index <= 5; ++index) {
        form.set_value(Form1::Check1(index), 1);
    }
    const auto before = tree_of(scratch_);

    form.click(ControlId::Command1);

    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[1], "An error occurred in Command1_Click:\r\n" +
                               win32::error_text(ERROR_ACCESS_DENIED) +
                               "\r\n\r\nThe program will now end.");
    EXPECT_TRUE(form.ended());
    EXPECT_TRUE(key_exists(kSettingsBranchW + L"\\VeskTorp\\Window"));
    EXPECT_TRUE(key_exists(kSettingsBranchW + L"\\Vesk 4.0 Pro"));
    EXPECT_TRUE(fs::exists(opengl_));
    EXPECT_EQ(tree_of(scratch_), before);
}

// Start-up over the real platform with only the pointer file to go by.
class PointerFileTest : public FaultTest {
protected:
    void SetUp() override {
        FaultTest::SetUp();
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\TOLM\\VESK 4.0", KEY_WOW64_32KEY, 0);
        pointer_ = win32::wide(system.windows_directory()) + L"\\VESK40.DIR";
    }
    void TearDown() override {
        DeleteFileW(pointer_.c_str());
        FaultTest::TearDown();
    }
    bool start(std::string_view pointer_text) {
        write_file(pointer_, pointer_text);
        SharedState fresh;
        const bool started = Main(fresh, {registry, files, system, processes}, ui);
        started_path = fresh.VeskPath;
        return started;
    }
    // The pointer file is ANSI text: its folder must be one the code page can spell.
    std::string ansi_folder() { return system.windows_directory(); }
    std::wstring pointer_;
    std::string started_path;
};

TEST_F(PointerFileTest, AMegabyteLineThatIsNoPathStopsWithVeskpathNotFound) {
    // No folder path runs to a megabyte: the system's limit is 32,767 characters.
    const auto before = tree_of(scratch_);
    EXPECT_FALSE(start(ansi_folder() + std::string(1 << 20, 'x')));
    EXPECT_EQ(ui.boxes, std::vector<std::string>{"Veskpath not found!"});
    EXPECT_EQ(tree_of(scratch_), before);
}

TEST_F(PointerFileTest, AMegabyteLineWhoseFirstFieldIsTheFolderStarts) {
    EXPECT_TRUE(start(ansi_folder() + "," + std::string(1 << 20, 'x')));
    EXPECT_EQ(started_path, ansi_folder());
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(FaultTest, NamesOutsideTheAnsiCodePageEverywhere) {
    for (const wchar_t* name : {L"Ωμέγα.$$$", L"logДанные.txt", L"日本語.tlb",
                                L"Проект.vk$\\файл.frm", L"Ωμέγα.txt", L"Vesk30.ini"}) {
        write_file(host_ / name, "x");
    }
    create_key(kSettingsBranchW + L"\\Vesk 4.0 Ωμέγα\\Окно");
    create_key(kSettingsBranchW + L"\\Ωμέγα Other");
    const std::wstring local = win32::wide(*system.special_folder(platform::kCsidlLocalAppData));
    const std::wstring program = L"Программы-" + std::to_wstring(GetCurrentProcessId());
    state.ProgramPath = "C:\\" + win32::utf8(program) + "\\Vesk";
    const fs::path store = fs::path(local) / L"VirtualStore" / program / L"Veskpath";
    write_file(store / L"Ωμέγα.ini", "x");
    write_file(store / L"Sub Δ" / L"日本.dat", "x");
    const auto host_before = tree_of(scratch_);
    const auto store_before = tree_of(store);
    ScriptedDialogs dialogs;
    Form1 form(context, ui, dialogs);
    form.Form_Load();
    for (const int index : {0, 1, 2, 3, 4}) {
        form.set_value(Form1::Check1(index), 1);
    }
    form.click(ControlId::Command1);
    form.click(ControlId::Command3);
    form.set_value(Form1::named("Check4"), 1);
    form.click(ControlId::Command2);

    const std::string branch = "HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\";
    EXPECT_EQ(lines_of(log_text(1)),
              (std::vector<std::string>{
                  pad_to_zone("Deleted Key:") + as_logged(branch + "Vesk 4.0 Ωμέγα"),
                  pad_to_zone("Deleted File:") + as_logged(host(L"Vesk30.ini")),
                  pad_to_zone("Deleted File:") + as_logged(host(L"Ωμέγα.$$$")),
                  pad_to_zone("Deleted File:") + as_logged(host(L"logДанные.txt")),
                  pad_to_zone("Deleted Directory:") + as_logged(host(L"Проект.vk$")),
                  pad_to_zone("Deleted File:") + as_logged(host(L"日本語.tlb")),
                  pad_to_zone("Backed up to: ") + as_logged(host(L"Cleaning1.backup"))}));
    EXPECT_EQ(lines_of(log_text(2)),
              std::vector<std::string>{pad_to_zone("Path cleaned: ") +
                                       as_logged(win32::utf8(store.wstring()))});
    auto host_after = tree_of(scratch_);
    for (const wchar_t* log_name :
         {L"Host Данные\\Cleaning1.log|", L"Host Данные\\Cleaning2.log|",
          L"Host Данные\\Cleaning1.backup|", L"Host Данные\\Cleaning1.backup\\Vesk30.ini|",
          L"Host Данные\\Cleaning1.backup\\registry.reg|",
          L"Host Данные\\Cleaning1.backup\\contents.sha256|"}) {
        host_after.erase(
            std::find_if(host_after.begin(), host_after.end(),
                         [&](const std::wstring& line) { return line.starts_with(log_name); }));
    }
    EXPECT_EQ(
        host_after,
        without(host_before, {L"Host Данные\\Ωμέγα.$$$", L"Host Данные\\logДанные.txt",
                              L"Host Данные\\日本語.tlb", L"Host Данные\\Проект.vk$",
                              L"Host Данные\\Проект.vk$\\файл.frm", L"Host Данные\\Vesk30.ini"}));
    EXPECT_EQ(tree_of(store), without(store_before, {L"Ωμέγα.ini", L"Sub Δ\\日本.dat"}));
    EXPECT_FALSE(key_exists(kSettingsBranchW + L"\\Vesk 4.0 Ωμέγα"));
    EXPECT_TRUE(key_exists(kSettingsBranchW + L"\\Ωμέγα Other"));
    fs::remove_all(fs::path(local) / L"VirtualStore" / program);
}

} // namespace
