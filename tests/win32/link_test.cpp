// Links in the places the cleaning walks, against the real file functions. On Windows a folder
// link is a junction. Wine 8 makes no junction or symbolic link of its own (CreateSymbolicLinkW
// succeeds and creates nothing, mklink /j fails), but it lists a Unix symbolic link as a folder
// link (directory and reparse point), so under Wine the tests make one with the Unix ln, started
// through Wine's start /unix.
#include "operations/temp_files.h"
#include "operations/virtual_store.h"
#include "platform/win32/handles.h"
#include "platform/win32/processes.h"
#include "platform/win32/system.h"
#include "platform/win32/text.h"
#include "win32_support.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>
#include <winioctl.h>

namespace {

namespace fs = std::filesystem;
using win32_test::write_file;

// The Unix path of a Windows path, from Wine's own export; empty outside Wine.
std::string unix_path(const fs::path& path) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    const auto to_unix = reinterpret_cast<ToUnix>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!to_unix) {
        return {};
    }
    char* converted = to_unix(path.wstring().c_str());
    if (!converted) {
        return {};
    }
    std::string result = converted;
    HeapFree(GetProcessHeap(), 0, converted);
    return result;
}

constexpr DWORD kFolderLink = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;

// Runs a Unix program with Wine's start /unix, which does not wait for a Unix program's end:
// this waits until the path's attributes read done.
void run_unix(const std::string& command_line, const fs::path& path, DWORD done) {
    win32::Processes processes;
    const platform::ProcessResult ran = processes.run_and_wait(
        win32::System().system_directory() + "\\start.exe", "start /wait /unix " + command_line);
    ASSERT_TRUE(ran.started) << ran.reason;
    for (int tries = 0; tries < 100 && GetFileAttributesW(path.c_str()) != done; ++tries) {
        Sleep(50);
    }
    ASSERT_EQ(GetFileAttributesW(path.c_str()), done) << command_line;
}

// Runs a Unix shell's script, which ends by making the folder done, and waits for that.
void run_unix_script(const std::string& script, const fs::path& done) {
    const std::string at = unix_path(done);
    ASSERT_FALSE(at.empty()) << "not running under Wine";
    run_unix("/bin/sh -c \"" + script + "; mkdir '" + at + "'\"", done, FILE_ATTRIBUTE_DIRECTORY);
}

// A Unix symbolic link at link that leads to the file target: Wine shows it as the file.
void make_file_link(const fs::path& target, const fs::path& link) {
    run_unix("/bin/ln -s \"" + unix_path(target) + "\" \"" + unix_path(link) + "\"", link,
             GetFileAttributesW(target.c_str()));
}

// A junction at link, a new folder, that leads to the folder target: what a standard user may
// make on Windows in a folder of theirs.
void make_junction(const fs::path& target, const fs::path& link) {
    ASSERT_TRUE(CreateDirectoryW(link.c_str(), nullptr));
    const win32::UniqueHandle folder = win32::adopt_handle(
        CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    ASSERT_TRUE(folder);
    const std::wstring substitute = L"\\??\\" + fs::absolute(target).wstring();
    const auto substitute_bytes = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
    // The mount point's layout: tag, length, reserved, then the names' offsets and lengths and
    // the names themselves (the substitute name, then an empty print name), each NUL-ended.
    std::vector<std::uint8_t> data(16 + substitute_bytes + 4, 0);
    auto put = [&data](std::size_t at, auto value) {
        std::memcpy(&data[at], &value, sizeof value);
    };
    put(0, static_cast<DWORD>(IO_REPARSE_TAG_MOUNT_POINT));
    put(4, static_cast<WORD>(data.size() - 8));
    put(8, static_cast<WORD>(0));
    put(10, substitute_bytes);
    put(12, static_cast<WORD>(substitute_bytes + sizeof(wchar_t)));
    put(14, static_cast<WORD>(0));
    std::memcpy(&data[16], substitute.data(), substitute_bytes);
    DWORD returned = 0;
    ASSERT_TRUE(DeviceIoControl(folder.get(), FSCTL_SET_REPARSE_POINT, data.data(),
                                static_cast<DWORD>(data.size()), nullptr, 0, &returned, nullptr))
        << GetLastError();
}

// A folder link at link that leads to the folder target: a junction on Windows, a Unix symbolic
// link under Wine.
void make_link(const fs::path& target, const fs::path& link) {
    if (!win32_test::running_under_wine()) {
        make_junction(target, link);
        return;
    }
    const std::string from = unix_path(target);
    const std::string at = unix_path(link);
    ASSERT_FALSE(from.empty() || at.empty());
    // Wine lists it as a folder link: a directory that is a reparse point.
    run_unix("/bin/ln -s \"" + from + "\" \"" + at + "\"", link, kFolderLink);
}

// Removes a tree, its folder links by themselves, never what they lead to.
void remove_windows_tree(const fs::path& folder) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        const DWORD attributes = GetFileAttributesW(entry.path().c_str());
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            RemoveDirectoryW(entry.path().c_str());
        } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            remove_windows_tree(entry.path());
        } else {
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(entry.path().c_str());
        }
    }
    RemoveDirectoryW(folder.c_str());
}

// Wine's own functions cannot remove a Unix link: the scratch tree goes with the Unix rm, after
// the immutable files in it have been let go.
void remove_scratch(const fs::path& folder) {
    if (!win32_test::running_under_wine()) {
        remove_windows_tree(folder);
        return;
    }
    const std::string path = unix_path(folder);
    ASSERT_FALSE(path.empty());
    run_unix("/bin/sh -c \"chattr -R -i '" + path + "' 2>/dev/null; rm -rf '" + path + "'\"",
             folder, INVALID_FILE_ATTRIBUTES);
}

// A scratch folder with a host folder, a store, and a folder elsewhere whose files must stay.
class LinkTest : public testing::Test, protected win32_test::RealWorld {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1] = {};
        ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
        // A folder of its own for every test: the Unix rm of the last one may still be at work.
        static int tests = 0;
        scratch_ = fs::path(temp) / (L"vesk-links-" + std::to_wstring(GetCurrentProcessId()) +
                                     L"-" + std::to_wstring(++tests));
        host_ = scratch_ / L"Host";
        store_ = scratch_ / L"Store";
        elsewhere_ = scratch_ / L"Elsewhere";
        fs::create_directories(host_);
        fs::create_directories(store_);
        write_file(elsewhere_ / L"precious.frm", "not the suite's");
        write_file(elsewhere_ / L"Deeper" / L"precious.ini", "not the suite's either");
        state.VeskPath = win32::utf8(host_.wstring());
        ASSERT_FALSE(log.open_new(files, state.VeskPath).empty());
    }
    void TearDown() override {
        log.close();
        remove_scratch(scratch_);
    }
    void link_to_elsewhere(const fs::path& link) { make_link(elsewhere_, link); }
    void expect_elsewhere_untouched() const {
        EXPECT_TRUE(fs::exists(elsewhere_ / L"precious.frm"));
        EXPECT_TRUE(fs::exists(elsewhere_ / L"Deeper" / L"precious.ini"));
    }
    std::vector<std::string> closed_log_lines() {
        log.close();
        return lines_of(files.read_text_file(state.VeskPath + "\\Cleaning1.log"));
    }

    fs::path scratch_;
    fs::path host_;
    fs::path store_;
    fs::path elsewhere_;
};

TEST_F(LinkTest, TheStoreWalkPassesALinkByAndEmptiesTheRest) {
    write_file(store_ / L"Vesk.ini", "leftover");
    write_file(store_ / L"Sub" / L"Main.tlb", "leftover");
    link_to_elsewhere(store_ / L"Sub" / L"Linked");

    MM_CleanVirtualStore(context, win32::utf8(store_.wstring()));

    EXPECT_EQ(closed_log_lines(),
              std::vector<std::string>{"Path cleaned: " + win32::utf8(store_.wstring())});
    EXPECT_FALSE(fs::exists(store_ / L"Vesk.ini"));
    EXPECT_FALSE(fs::exists(store_ / L"Sub" / L"Main.tlb"));
    EXPECT_EQ(GetFileAttributesW((store_ / L"Sub" / L"Linked").c_str()), kFolderLink);
    expect_elsewhere_untouched();
}

// The links in a project folder go first, by themselves: Windows removes a junction so, and the
// folder follows; Wine cannot remove a Unix link by itself, so the folder stays, refused, and so
// does everything behind the link.
TEST_F(LinkTest, AProjectFolderWithALinkInsideNeverLosesWhatTheLinkLeadsTo) {
    write_file(host_ / L"p.vk$" / L"Main.frm", "leftover");
    fs::create_directories(host_ / L"p.vk$" / L"Sub");
    link_to_elsewhere(host_ / L"p.vk$" / L"Sub" / L"Linked");

    MM_DeleteTempDirs(context);

    const std::string project = win32::utf8((host_ / L"p.vk$").wstring());
    const std::vector<std::string> lines = closed_log_lines();
    ASSERT_EQ(lines.size(), 1u);
    if (win32_test::running_under_wine()) {
        EXPECT_TRUE(lines[0].starts_with(pad_to_zone("Could not delete Directory:") + project +
                                         " (the link "))
            << lines[0];
        EXPECT_TRUE(fs::exists(host_ / L"p.vk$" / L"Main.frm"));
    } else {
        EXPECT_EQ(lines[0], pad_to_zone("Deleted Directory:") + project);
    }
    expect_elsewhere_untouched();
}

TEST_F(LinkTest, AProjectFolderThatIsALinkIsNeverEmptied) {
    link_to_elsewhere(host_ / L"linked.vk$");

    MM_DeleteTempDirs(context);

    const std::string link = win32::utf8((host_ / L"linked.vk$").wstring());
    const std::vector<std::string> lines = closed_log_lines();
    ASSERT_EQ(lines.size(), 1u);
    if (win32_test::running_under_wine()) {
        // Wine cannot remove a Unix link: the link stays, and so does its target.
        EXPECT_TRUE(lines[0].starts_with(pad_to_zone("Could not delete Directory:") + link + " ("))
            << lines[0];
        EXPECT_EQ(GetFileAttributesW((host_ / L"linked.vk$").c_str()), kFolderLink);
    } else {
        EXPECT_EQ(lines[0], pad_to_zone("Deleted Directory:") + link);
    }
    expect_elsewhere_untouched();
}

// A folder is entered through the handle of the folder that listed it, as itself: one swapped
// for a link after the listing is said to be a link, and nothing behind it is reached.
TEST_F(LinkTest, AFolderSwappedForALinkAfterItsListingIsNeverEntered) {
    write_file(store_ / L"Two" / L"b.ini", "the store's");
    const platform::OpenedFolder store =
        platform::open_checked(files, win32::utf8(store_.wstring()), platform::Use::Read);
    ASSERT_TRUE(store.folder) << store.reason;
    const std::vector<platform::DirEntry> listed = store.folder->list();
    ASSERT_EQ(listed.size(), 1u);
    ASSERT_EQ(listed[0].name, "Two");

    fs::rename(store_ / L"Two", store_ / L"Two.moved");
    link_to_elsewhere(store_ / L"Two");

    const platform::OpenedFolder entered = store.folder->open_folder("Two", platform::Use::Delete);
    EXPECT_EQ(entered.status, platform::OpenStatus::Link) << entered.reason;
    EXPECT_EQ(store.folder->delete_file("Two").removal, platform::Removal::Refused);
    expect_elsewhere_untouched();
}

// A folder renamed after it was opened keeps what is done through its handle inside it: a
// folder put in its place by the same name is not touched.
TEST_F(LinkTest, AFolderRenamedAfterItWasOpenedKeepsItsDeletionsInside) {
    if (win32_test::running_under_wine()) {
        // Wine opens through the folder's own descriptor, but its server deletes a file by the
        // Unix name it was opened under: the name in the folder's new place.
        GTEST_SKIP() << "Wine deletes by the name a file was opened under";
    }
    write_file(store_ / L"One" / L"a.ini", "the store's");
    const platform::OpenedFolder one = platform::open_checked(
        files, win32::utf8((store_ / L"One").wstring()), platform::Use::Read);
    ASSERT_TRUE(one.folder) << one.reason;

    fs::rename(store_ / L"One", store_ / L"One.moved");
    write_file(store_ / L"One" / L"a.ini", "put in its place");

    EXPECT_EQ(one.folder->delete_file("a.ini").removal, platform::Removal::Deleted);
    EXPECT_FALSE(fs::exists(store_ / L"One.moved" / L"a.ini"));
    EXPECT_TRUE(fs::exists(store_ / L"One" / L"a.ini"));
}

// The way down to a store is checked folder by folder: a link half-way leads out of the store.
TEST_F(LinkTest, AStoreBehindALinkOnItsWayIsNeverEntered) {
    link_to_elsewhere(store_ / L"Linked");
    const std::string store = win32::utf8((store_ / L"Linked" / L"Deeper").wstring());

    MM_CleanVirtualStore(context, store);

    EXPECT_EQ(closed_log_lines(),
              (std::vector<std::string>{pad_to_zone("Could not clean Directory:") + store +
                                            " (its folder " +
                                            win32::utf8((store_ / L"Linked").wstring()) +
                                            " is a link, which is never followed)",
                                        pad_to_zone("Path not fully cleaned: ") + store}));
    expect_elsewhere_untouched();
}

// Windows never lists a name with a backslash; Wine lists a Unix one as it is.
TEST_F(LinkTest, ANameWithBackslashesNeverReachesTheFileItSpells) {
    if (!win32_test::running_under_wine()) {
        GTEST_SKIP() << "only Wine lists such a name, shows such a link or has chattr";
    }
    write_file(scratch_ / L"victim.txt", "two levels up");
    const std::string odd = unix_path(host_) + "/x.$\\..\\..\\victim.txt";
    run_unix_script("touch '" + odd + "'", scratch_ / L"made");

    MM_DeleteTempFiles(context, "*.$*");

    EXPECT_EQ(closed_log_lines(),
              std::vector<std::string>{pad_to_zone("Could not delete File:") + state.VeskPath +
                                       "\\x.$\\..\\..\\victim.txt (a name that is not a plain "
                                       "file name)"});
    EXPECT_TRUE(fs::exists(scratch_ / L"victim.txt"));
}

// Wine deletes the file a Unix link to a file leads to, keeps the link, and shows the link as
// the file itself: the handle names the target, and the deletion is refused.
TEST_F(LinkTest, AFileLinkIsRefusedAndWhatItLeadsToStays) {
    if (!win32_test::running_under_wine()) {
        GTEST_SKIP() << "only Wine lists such a name, shows such a link or has chattr";
    }
    write_file(elsewhere_ / L"same.$$$", "not the suite's");
    make_file_link(elsewhere_ / L"precious.frm", host_ / L"linked.$$$");
    make_file_link(elsewhere_ / L"same.$$$", host_ / L"same.$$$");

    MM_DeleteTempFiles(context, "*.$*");

    const std::string refused = pad_to_zone("Could not delete File:") + state.VeskPath;
    EXPECT_EQ(closed_log_lines(),
              (std::vector<std::string>{refused + "\\linked.$$$ (a link, which is never followed)",
                                        refused + "\\same.$$$ (a link, which is never followed)"}));
    expect_elsewhere_untouched();
    EXPECT_TRUE(fs::exists(elsewhere_ / L"same.$$$"));
}

// chattr +i makes a file that Wine's deletion reports deleted and leaves in place.
TEST_F(LinkTest, AnImmutableFileIsLoggedAsStillThere) {
    if (!win32_test::running_under_wine()) {
        GTEST_SKIP() << "only Wine lists such a name, shows such a link or has chattr";
    }
    write_file(host_ / L"kept.$$$", "immutable");
    const std::string kept = unix_path(host_ / L"kept.$$$");
    run_unix_script("chattr +i '" + kept + "' && mkdir '" + unix_path(scratch_ / L"immutable") +
                        "'",
                    scratch_ / L"tried");
    if (!fs::exists(scratch_ / L"immutable")) {
        GTEST_SKIP() << "chattr +i is not supported on the file system of " << kept;
    }

    MM_DeleteTempFiles(context, "*.$*");

    EXPECT_EQ(closed_log_lines(),
              std::vector<std::string>{pad_to_zone("Could not delete File:") + state.VeskPath +
                                       "\\kept.$$$ (still there after deletion)"});
    EXPECT_TRUE(fs::exists(host_ / L"kept.$$$"));
}

} // namespace
