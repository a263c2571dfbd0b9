// An in-memory Windows for the unit tests: a file system and a registry with Windows semantics
// (case-insensitive names, wildcard search that also matches short names, attributes, typed
// values), scripted message-box answers, recorded calls and injectable failures.
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace fake {

inline constexpr const char* kAccessDenied = "Access is denied.";
inline constexpr const char* kInUse =
    "The process cannot access the file because it is being used by another process.";
inline constexpr const char* kFileNotFound = "The system cannot find the file specified.";
inline constexpr const char* kPathNotFound = "The system cannot find the path specified.";
inline constexpr const char* kDiskFull = "There is not enough space on the disk.";
inline constexpr const char* kNotAFolder = "The directory name is invalid.";

struct FileEntry {
    std::string name; // the long name, as created
    std::string short_name;
    std::uint32_t attributes = platform::attr::kArchive;
    std::string content;
    std::string link_target;  // for reparse points: the folder they lead to
    bool locked = false;      // in use by another process: deletion refused
    bool immutable = false;   // a deletion reports success and leaves it (chattr +i under Wine)
    bool shared_open = false; // open elsewhere with delete sharing: a deletion leaves it pending
    bool deletion_pending = false;   // gone once the other program closes it
    std::uint32_t names = 1;         // hard links: the file's names in all
    bool users_full_control = false; // the rights the folder-rights walk grants
    bool others_may_write = true;    // false for a folder made for administrators only
    std::uint64_t id = 0;            // the entry itself, whatever its path becomes
    std::uint64_t written = 0;       // its last write, as a tick count of the test's choosing
};

struct RegKey {
    std::string name;
    std::map<std::u32string, RegKey> subkeys; // by folded name: enumerated in name order
    std::map<std::u32string, std::pair<std::string, platform::RegistryValue>> values;
    bool deny_full_access = false;
    bool deny_delete = false;
    bool deny_open = false;  // opens with no access at all: a name the system will not take
    std::string link_target; // a registry link: the path below the same root it leads to
    std::uint64_t id = 0;    // the key itself, for the handles opened to it; 0 until one is
};

struct MessageBox {
    std::string text;
    int style = 0;
};

struct ProcessStart {
    std::string application;
    std::string command_line;
};

// RegistryValue makers.
platform::RegistryValue reg_sz(std::string_view utf8, bool with_terminator = true);
platform::RegistryValue reg_bytes(std::uint32_t type, std::vector<std::uint8_t> bytes);
platform::RegistryValue reg_dword(std::uint32_t number);
platform::RegistryValue reg_expand_sz(std::string_view utf8);
// What a value holds, as a test compares it: a number in decimal, text without its terminator.
std::string shown_value(const platform::RegistryValue& value);

// What a test runs before a call of the fake's: the call's name ("list", "open_file",
// "delete_file", "open_unlinked", ...) and the full path it is made on. It may fail the call by
// throwing platform::Failure, or change the world under it.
using CallHook = std::function<void(std::string_view call, std::string_view path)>;

// One world, which the unit tests' runs use from their own thread (the window's runs inline) and
// a deletion's opener beside it: every call on the file system, its folders and files holds one
// lock, as the platform's contract asks. The registry is one thread's at a time.
class FakePlatform : public platform::Registry,
                     public platform::FileSystem,
                     public platform::System,
                     public platform::Processes,
                     public platform::UserInterface {
public:
    FakePlatform();
    platform::Platform os() { return {*this, *this, *this, *this}; }

    // ---- World building. Parent folders are created as needed.
    FileEntry& add_dir(std::string_view path, std::uint32_t attributes = 0);
    FileEntry& add_file(std::string_view path, std::string content = {},
                        std::uint32_t attributes = platform::attr::kArchive);
    // A junction at path that leads to the folder target.
    FileEntry& add_link(std::string_view path, std::string_view target);
    // Moves the entry at from, with everything in it, to to: handles open to it follow it, as a
    // rename does. For the races a test stages between two calls.
    void move_entry(std::string_view from, std::string_view to);
    // Takes the entry at path away, with everything in it, as another program would.
    void erase(std::string_view path);
    bool exists(std::string_view path) const;
    FileEntry* entry(std::string_view path);
    std::string content(std::string_view path) const;
    // Every path below the folder (itself excluded), as created, in folded-path order.
    std::vector<std::string> tree(std::string_view folder) const;
    // Every file and folder with its attributes and content, and every key and value: two
    // snapshots are equal exactly when nothing changed.
    std::vector<std::string> whole_world();

    RegKey& add_key(platform::RegistryRoot root, std::string_view path,
                    platform::RegistryView view = platform::RegistryView::Native);
    // The key as the registry opens the path: links on the way and at its end followed.
    RegKey* key(platform::RegistryRoot root, std::string_view path,
                platform::RegistryView view = platform::RegistryView::Native);
    // A registry link at path that leads to the key at target, below the same root.
    RegKey& add_key_link(platform::RegistryRoot root, std::string_view path,
                         std::string_view target);
    void set_value(platform::RegistryRoot root, std::string_view path, std::string_view name,
                   platform::RegistryValue value,
                   platform::RegistryView view = platform::RegistryView::Native);
    // A user hive file (NTUSER.DAT) on disk: its keys, as a load under HKEY_USERS shows them.
    RegKey& add_hive_file(std::string_view path);
    // The key at path below from (a hive file's root, say), made with the keys on its way.
    static RegKey& add_key_below(RegKey& from, std::string_view path);
    RegKey* hive_file(std::string_view path);
    // The names under HKEY_USERS of the hives loaded and not yet unloaded.
    std::vector<std::string> loaded_hives() const;
    // The value as shown_value shows it; empty when the key or the value is absent.
    std::string value_of(platform::RegistryRoot root, std::string_view path, std::string_view name);

    // ---- Scripting and injected failures.
    CallHook before_file_call;     // file system, folders and files
    CallHook before_registry_call; // the registry and its keys
    std::deque<int> answers;       // message-box answers, in order; otherwise Yes for questions, OK
    std::function<void(const MessageBox&)> on_message_box;
    std::function<void(std::string_view path)> before_create; // e.g. a rival creates the log
    std::set<std::u32string> unlistable_folders;              // find fails for these folders
    std::set<std::u32string> uncreatable_folders;             // creation of files fails here
    std::set<std::u32string> unreadable_files;
    std::optional<std::uint32_t> fail_enum_at;           // enum_subkey fails from this index on
    std::deque<platform::ProcessResult> process_results; // otherwise started with exit code 0
    int fail_writes_after = -1;                          // log writes that succeed, then fail
    // Bytes that backups (binary files and copies) may still take: a write or a copy past them
    // writes what fits and fails, as on a full disk.
    std::optional<std::size_t> backup_space;
    bool fail_cut_back = false;                     // a binary file cannot be cut back
    std::set<std::u32string> unloadable_hive_files; // their load fails: in use elsewhere
    int fail_unloads = 0;                           // unloads that fail before one succeeds
    void make_unlistable(std::string_view folder);
    void make_uncreatable(std::string_view folder);
    void make_unreadable(std::string_view file);

    // Relative paths ("Host", "\\Host", "C:Host") are taken from here, as a process's are.
    std::string current_directory = "C:\\";
    std::string windows_dir = "C:\\WINDOWS";
    std::string system_dir = "C:\\WINDOWS\\system32";
    // Windows always names %ProgramData%; the rest a test names as it needs.
    std::map<int, std::string> special_folders{{platform::kCsidlCommonAppData, "C:\\ProgramData"}};
    bool system_account = false;
    bool administrator = false; // elevated: may clean every profile
    // HKEY_CURRENT_USER is this user's hive under HKEY_USERS, as on Windows.
    std::string user_sid = "S-1-5-21-1-2-3-1001";
    std::map<std::string, std::string> account_names; // by SID
    std::vector<unsigned> pauses;
    bool cleaning_locked = false; // another cleaning holds the lock
    // The profiles (their folded SIDs) whose lock a run holds, this one's or another session's.
    std::set<std::u32string> locked_profiles;
    platform::ProcessId process{4242, 133600000000000000}; // this program's
    std::vector<platform::ProcessId> other_processes;      // those that run beside it
    platform::UtcTime now{2024, 5, 1, 12, 34, 56};
    std::string computer = "PC1";
    std::string user = "alice";
    std::map<std::string, std::string> environment; // by upper-case name, for %NAME%
    std::set<std::string> unexpandable;             // texts whose expansion fails

    // ---- What happened.
    std::vector<MessageBox> boxes;
    std::vector<ProcessStart> starts;
    std::vector<int> pointers;
    std::vector<std::string> calls; // mutating calls in order: "delete_file C:\x", ...
    int open_keys = 0;              // key handles not yet closed
    int open_searches = 0;          // searches and folders not yet closed
    int open_files = 0;             // files opened through a folder, not yet closed

    // ---- platform::Registry
    std::unique_ptr<platform::RegistryKey> open_key(platform::RegistryRoot root,
                                                    std::string_view path,
                                                    platform::RegistryAccess access,
                                                    platform::RegistryView view) override;
    platform::OpenedKey open_unlinked(platform::RegistryRoot root, std::string_view path,
                                      platform::RegistryAccess access) override;
    std::optional<std::string> load_hive(std::string_view name, std::string_view file) override;
    std::optional<std::string> unload_hive(std::string_view name) override;

    // ---- platform::FileSystem
    platform::FindResult find(std::string_view path_pattern) override;
    platform::OpenedFolder open_trusted_folder(std::string_view path, platform::Use use) override;
    platform::RemovalResult shell_delete(std::string_view path) override;
    std::string read_text_file(std::string_view path) override;
    std::string read_binary_file(std::string_view path) override;

    // ---- platform::System
    std::string windows_directory() override { return windows_dir; }
    std::string system_directory() override { return system_dir; }
    std::optional<std::string> special_folder(int csidl) override;
    bool runs_as_system_account() override { return system_account; }
    bool may_clean_every_profile() override { return system_account || administrator; }
    std::string current_user_sid() override { return system_account ? "S-1-5-18" : user_sid; }
    std::string account_name(std::string_view sid) override;
    void pause(unsigned milliseconds) override { pauses.push_back(milliseconds); }
    std::unique_ptr<platform::CleaningLock> lock_cleaning() override;
    std::unique_ptr<platform::CleaningLock> lock_profile(std::string_view sid) override;
    platform::ProcessId this_process() override { return process; }
    bool still_runs(const platform::ProcessId& other) override;
    platform::UtcTime utc_now() override { return now; }
    std::string computer_name() override { return computer; }
    std::string user_name() override { return user; }
    std::string expand_environment(std::string_view text) override;

    // ---- platform::Processes
    platform::ProcessResult run_and_wait(std::string_view application,
                                         std::string_view command_line) override;

    // ---- platform::UserInterface
    int message_box(std::string_view text, int style) override;
    void set_pointer(int shape) override { pointers.push_back(shape); }

    // Used by the fake's own handles.
    std::unique_lock<std::recursive_mutex> lock() { return std::unique_lock(mutex_); }
    void file_call(std::string_view call, std::string_view path);
    void registry_call(std::string_view call, std::string_view path);
    // Appends what fits into backup_space; false when not all of it did.
    bool append_backup_bytes(const std::u32string& key, std::string_view bytes);
    void append_content(const std::u32string& key, std::string_view text);
    // Where the entry with this id is now (hint first: where it was); nullopt once it is gone.
    std::optional<std::u32string> key_of_entry(std::uint64_t id, const std::u32string& hint) const;
    // The full path of a key of files_, as its entries' names spell it.
    std::string shown_path(const std::u32string& key) const;
    std::map<std::u32string, FileEntry>& entries() { return files_; }
    std::vector<std::u32string> children(const std::u32string& folder) const;
    // Ends a deletion the entry allows, as the file system would: gone, pending or still there.
    platform::RemovalResult erased(std::map<std::u32string, FileEntry>::iterator found);
    // Where a new entry named name may be made in folder: its folder takes new entries and the
    // place is free. The platform's reason when it may not.
    std::optional<std::pair<platform::CreateStatus, std::string>>
    refuse_new_entry(const std::u32string& folder, std::string_view name) const;
    FileEntry& new_entry(const std::u32string& folder, std::string_view name, bool directory);
    // The key with this id among the live roots, and the key that holds it.
    std::pair<RegKey*, RegKey*> find_key(std::uint64_t id);
    // The subkey name of parent opened as a handle would be: a link said to be one.
    platform::OpenedKey opened_key(RegKey* parent, std::string_view name,
                                   platform::RegistryAccess access, const std::string& path);
    std::uint64_t id_of(RegKey& key);

private:
    RegKey& root_key(platform::RegistryRoot root, platform::RegistryView view);
    // The key at path, links on the way followed and the last one only when follow_last; with
    // create, the missing keys are made on the way.
    RegKey* walk_key(platform::RegistryRoot root, platform::RegistryView view,
                     std::string_view path, bool follow_last, bool create = false);
    // The full path: relative ones against the current directory, "." and ".." taken out.
    std::string full_path(std::string_view path) const;
    std::u32string key_of(std::string_view path) const;
    // Whether a link as the path's last element is followed (a listing of its contents, a file
    // opened through it) or kept (deleting or removing it).
    enum class Last { Followed, Kept };
    std::string resolve(std::string_view path, Last last) const;
    std::u32string resolved_key(std::string_view path, Last last) const;

    std::map<std::u32string, FileEntry> files_; // by folded, normalised path
    RegKey local_machine_;
    RegKey local_machine_32_;
    RegKey users_;
    std::map<std::u32string, RegKey> hive_files_;     // by the file's folded path
    std::map<std::u32string, std::u32string> loaded_; // hive name to its file
    int writes_ = 0;
    std::uint64_t next_id_ = 0;
    std::multiset<std::uint64_t> open_key_ids_; // the keys the open handles hold
    // Whether a handle is open to the key or a key below it.
    bool holds_open_key(const RegKey& key) const;
    std::recursive_mutex mutex_;

    friend class FakeTextFile;
    friend class FakeBinaryFile;
    friend class FakeKeyHandle;
};

// The folded, normalised key of a path: doubled backslashes and a trailing one removed.
std::u32string path_key(std::string_view path);

} // namespace fake
