// The narrow interface through which the program reaches Windows. The logic sees Windows only
// through these types, so that it runs unchanged against the in-memory fake in the unit tests.
// Texts are UTF-8; the Win32 implementation converts at the boundary and calls the wide
// functions.
//
// Threads. The window's thread owns the user interface; a run works on a worker thread and the
// item count on a second one beside it, both through the same objects. Every implementation
// keeps this contract:
// - Registry, FileSystem, System and Processes may be called from any thread, from several at
//   once. Each call stands alone (what an implementation remembers between calls, it keeps
//   under a lock); what a call hands out (a key, a search, a file, a lock) belongs to the
//   thread that asked for it, which uses it and lets it go.
// - A Folder may open entries (open_file, open_folder) from several threads at once, while one
//   of them lists it or deletes through it. What it opens may be handed to another thread, which
//   then has it alone; a File or Folder never outlives the Folder it was opened through, and its
//   handle closes on whichever thread lets it go. A deletion opens the next files on a second
//   thread while the first deletes, in order, through what was opened.
// - A profile's lock is the machine's, not the process's: it keeps every other process, in any
//   logon session, from the profile's lock until it goes. Within a process it is handed out once
//   too: whoever asks for a profile's lock while the process holds it gets none.
// - No call of theirs waits for the window's thread or borrows its window: a worker's call can
//   neither hang on a window that is busy waiting for the worker nor open anything over it.
// - A wait in Processes::run_and_wait can be called off from another thread while it waits;
//   the implementation says how.
// - UserInterface is the window thread's alone (the console program's prints, and is its main
//   thread's). A run is never handed one: Context has none, and whatever a run has to say goes
//   to its observer, which the front end presents on its own thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A failure that the caller does not expect as an ordinary outcome. what() is the platform's
// own description (for Win32 the system message of the error code, without its line break).
// where names the program's procedure in which it arose, once one has claimed it.
class Failure : public std::runtime_error {
public:
    explicit Failure(const std::string& description) : std::runtime_error(description) {}
    std::string where;
};

// Runs body; a Failure leaving it that no inner procedure has claimed is marked as arising in
// procedure, so that the report names the procedure the user can look up.
template <class Body> decltype(auto) claim_failures(std::string_view procedure, Body&& body) {
    try {
        return body();
    } catch (Failure& failure) {
        if (failure.where.empty()) {
            failure.where = procedure;
        }
        throw;
    }
}

// What became of one entry that the program asked the platform to remove.
enum class Removal { Deleted, Refused, Missing };
struct RemovalResult {
    Removal removal = Removal::Deleted;
    std::string reason; // the platform's words, for Refused and Missing
};

// ---- Registry -------------------------------------------------------------------------------

// Users is HKEY_USERS: every loaded user hive, by SID, and the hives the program loads itself.
enum class RegistryRoot { LocalMachine, CurrentUser, Users };
enum class RegistryAccess {
    QueryValue, // KEY_QUERY_VALUE
    Default,    // what RegOpenKey asks for: enough to enumerate subkeys
    AllAccess   // KEY_ALL_ACCESS
};
// Wow64_64 reads the 64-bit view from a 32-bit program (where Group Policy writes the machine's
// settings on 64-bit Windows); on 32-bit Windows it is the only view.
enum class RegistryView { Native, Wow64_32, Wow64_64 };

inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

// A value exactly as stored: string data is UTF-16LE, terminator included when it was stored.
struct RegistryValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

// The registry's longest key name, in UTF-16 units.
inline constexpr std::size_t kMaxKeyNameChars = 255;

enum class EnumStatus { Found, NameTooLong, NoMoreItems, Failed };
struct SubkeyEntry {
    EnumStatus status = EnumStatus::NoMoreItems;
    std::string name; // set for Found only
};
struct ValueEntry {
    EnumStatus status = EnumStatus::NoMoreItems;
    std::string name; // set for Found only; empty for the key's default value
    RegistryValue value;
};

struct CreatedKey;
struct OpenedKey;

// An open key; closed when the object goes.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    // nullopt when the value is absent or cannot be read.
    virtual std::optional<RegistryValue> query_value(std::string_view name) const = 0;
    // The subkey at index; names longer than max_name_chars characters give NameTooLong.
    virtual SubkeyEntry enum_subkey(std::uint32_t index, std::size_t max_name_chars) const = 0;
    // The value at index, in the registry's own order, with its type and data.
    virtual ValueEntry enum_value(std::uint32_t index) const = 0;
    // Sets the value to exactly this type and data; the platform's reason when it cannot.
    virtual std::optional<std::string> set_value(std::string_view name,
                                                 const RegistryValue& value) = 0;
    // The subkey name, opened through this key; a link there is said to be one, never followed.
    virtual OpenedKey open_subkey(std::string_view name, RegistryAccess access) = 0;
    // Creates the subkey name with full access, or opens it where it exists; a link there is
    // said to be one (no key), never followed.
    virtual CreatedKey create_subkey(std::string_view name) = 0;
    // Deletes this key, opened with full access and without subkeys, through its handle: a
    // link opened as itself goes by itself.
    virtual RemovalResult delete_now() = 0;
};

struct CreatedKey {
    std::unique_ptr<RegistryKey> key; // null when it could be neither created nor opened
    bool existed = false;             // it was there already: opened, not created
    std::string reason;
};

// What stands at a key's path. No key on the way is followed when it is a link: a link leads
// out of the branch it stands in.
enum class KeyState {
    Missing,
    Present,    // a key, and it opens with the access asked for
    Link,       // a registry link at the path or on the way to it, dangling or not
    Unopenable, // a key that will not open with the access asked for
};
// The reason given for a key that is, or holds, a registry link.
inline constexpr std::string_view kRegistryLink = "a registry link";
struct KeyCheck {
    KeyState state = KeyState::Missing;
    std::string reason; // the platform's words, for Unopenable
};
struct OpenedKey {
    std::unique_ptr<RegistryKey> key; // set for Present only
    KeyState state = KeyState::Missing;
    std::string reason; // the platform's words, for Unopenable
};

class Registry {
public:
    virtual ~Registry() = default;
    // The key at path, following links the way the system does: for keys only the system and
    // its administrators can change. nullptr when the key cannot be opened with that access.
    virtual std::unique_ptr<RegistryKey> open_key(RegistryRoot root, std::string_view path,
                                                  RegistryAccess access,
                                                  RegistryView view = RegistryView::Native) = 0;
    // The key at path, every key on the way opened through the one above it, from the root: a
    // link anywhere on the way, or at the path, is said to be one and never followed.
    virtual OpenedKey open_unlinked(RegistryRoot root, std::string_view path,
                                    RegistryAccess access) = 0;
    // Loads the user hive in file under HKEY_USERS\name, with the backup and restore privileges
    // enabled for the call's time only; the platform's reason when it cannot.
    virtual std::optional<std::string> load_hive(std::string_view name, std::string_view file) = 0;
    // Unloads a hive this program loaded; it fails while any key inside it is still open.
    virtual std::optional<std::string> unload_hive(std::string_view name) = 0;
};

// The walks through keys that every deletion and creation of the program takes: each key is
// opened through the one above it, from the root, so a link anywhere is seen and never followed.
KeyCheck check_key(Registry& registry, RegistryRoot root, std::string_view path,
                   RegistryAccess access);
// Deletes the key at path with all its subkeys and values, key by key through their handles. A
// tree that is or holds a registry link is refused whole: deleting through a link empties the
// key it leads to.
RemovalResult delete_key_tree(Registry& registry, RegistryRoot root, std::string_view path);
// Deletes the key at path only if it has no subkeys.
RemovalResult delete_key(Registry& registry, RegistryRoot root, std::string_view path);
// Creates the key at path, and the keys above it that are missing, or opens it where it exists;
// with full access either way. A link on the way is refused.
CreatedKey create_key(Registry& registry, RegistryRoot root, std::string_view path);

// What a walk through a key tree meets. Each hook's reason ends the walk.
class KeyTreeVisitor {
public:
    virtual ~KeyTreeVisitor() = default;
    // A key reached: the tree's own first, then each subkey before the subkeys below it. path is
    // the tree's path and the names below it.
    virtual std::optional<std::string> reached(RegistryKey& key, const std::string& path) = 0;
    // A subkey that did not open: a registry link, a key that will not open, or one gone since
    // it was listed. Without a reason the walk passes over it.
    virtual std::optional<std::string> not_entered(const std::string& path,
                                                   const OpenedKey& opened) = 0;
    // A key whose subkeys cannot all be listed. Without a reason the walk goes on after it,
    // leaving its subkeys from there unvisited.
    virtual std::optional<std::string> unlisted(const std::string& path) = 0;
};
// Visits the tree of the open key at path, each subkey opened through its parent: a link in it
// is met, never followed. The reason that ended the walk, or nullopt once it is through.
std::optional<std::string> walk_key_tree(RegistryKey& key, const std::string& path,
                                         KeyTreeVisitor& visitor);

// ---- File system ----------------------------------------------------------------------------

namespace attr {
inline constexpr std::uint32_t kReadOnly = 0x1;
inline constexpr std::uint32_t kHidden = 0x2;
inline constexpr std::uint32_t kSystem = 0x4;
inline constexpr std::uint32_t kDirectory = 0x10;
inline constexpr std::uint32_t kArchive = 0x20;
inline constexpr std::uint32_t kNormal = 0x80;
inline constexpr std::uint32_t kReparsePoint = 0x400;
} // namespace attr

struct DirEntry {
    std::string name; // the long name
    std::uint32_t attributes = 0;
};

// A junction or a symbolic link: what lies behind it belongs to another folder.
inline bool is_link(std::uint32_t attributes) {
    return (attributes & attr::kReparsePoint) != 0;
}
inline bool is_link(const DirEntry& entry) {
    return is_link(entry.attributes);
}

// One open directory search; closed when the object goes.
class Search {
public:
    virtual ~Search() = default;
    // The next entry, the first one included; nullopt at the end. Throws Failure when the
    // listing breaks off for another reason than its end.
    virtual std::optional<DirEntry> next() = 0;
};

struct FindResult {
    std::unique_ptr<Search> search; // null when nothing matched or the search failed
    bool failed = false;            // the folder could not be searched at all
    std::string reason;
};

// A text file written in the system's ANSI code page; closed when the object goes. Each write
// reaches the system before it returns: nothing waits in a buffer of ours, so a program that is
// killed loses no line it has written.
class TextFile {
public:
    virtual ~TextFile() = default;
    virtual void write(std::string_view utf8) = 0; // throws Failure
};

enum class CreateStatus { Created, AlreadyExists, Failed };
struct CreateResult {
    std::unique_ptr<TextFile> file;
    CreateStatus status = CreateStatus::Failed;
    std::string reason;
};

// A file written byte for byte; each write reaches the system before it returns.
class BinaryFile {
public:
    virtual ~BinaryFile() = default;
    virtual void write(std::string_view bytes) = 0; // throws Failure
    // Cuts the file back to its first size bytes and writes on from there: a write that failed
    // half-way leaves no part of itself behind. Throws Failure when it cannot.
    virtual void cut_back(std::uint64_t size) = 0;
    // Gives the file these attributes (read-only, hidden, system, archive); after the last
    // write. Throws Failure when it cannot.
    virtual void set_attributes(std::uint32_t attributes) = 0;
    // Deletes the file through its handle: what was written must not pass for a whole file.
    virtual RemovalResult discard() = 0;
};
struct BinaryCreateResult {
    std::unique_ptr<BinaryFile> file;
    CreateStatus status = CreateStatus::Failed;
    std::string reason;
};

// ---- Folders and files held open ----
//
// A walk names a folder once, when it starts; after that it reaches everything through handles:
// a folder is opened once, listed through its handle, and every entry in it is opened relative
// to that handle, a link never followed. Nothing the folder's owner does between two calls (a
// folder renamed, a link put in an entry's place) can steer what is done elsewhere.

// What an entry turned out to be when it was opened through its folder.
enum class OpenStatus {
    Opened,
    Missing,
    Link,      // a link, or a name that reached another entry than itself: never followed
    WrongKind, // a folder where a file was asked for, or a file where a folder was
    Refused,   // the system's reason
};
// The reason given for an entry that is a link.
inline constexpr std::string_view kLinkNotFollowed = "a link, which is never followed";
// The reason given for an entry that a deletion the system took leaves in its place.
inline constexpr std::string_view kStillThere = "still there after deletion";

// What an entry is opened for, beyond listing a folder or reading a file.
enum class Use {
    Read,
    Delete,       // and deleting it through its handle
    ChangeRights, // and changing its access list
    Hold,         // and keeping others from renaming or deleting it while it is open
};

// What tells one state of a file's contents from another without reading them.
struct FileStamp {
    std::uint64_t size = 0;
    std::uint64_t written = 0; // the last write, in the system's 100-nanosecond ticks
    bool operator==(const FileStamp&) const = default;
};

// A file opened through its folder; closed when the object goes.
class File {
public:
    virtual ~File() = default;
    // Its attributes, asked through the handle. Throws Failure.
    virtual std::uint32_t attributes() = 0;
    // Its size and last write, asked through the handle. Throws Failure.
    virtual FileStamp stamp() = 0;
    // Every byte, read through the handle. Throws Failure.
    virtual std::string read_all() = 0;
    // Deletes it through the handle (opened for Delete), which is spent either way: Deleted
    // only once it is gone, or once its deletion waits for another program's handle to close;
    // Refused with kStillThere when the system took the request and kept the file.
    virtual RemovalResult delete_now() = 0;
    // Gives Users full control, replacing what they had (opened for ChangeRights); the reason
    // when it cannot. A file with other names (hard links) is left: its access list is not
    // this folder's alone.
    virtual std::optional<std::string> grant_users_full_control() = 0;
};
struct OpenedFile {
    std::unique_ptr<File> file; // set for Opened only
    OpenStatus status = OpenStatus::Missing;
    std::string reason;
};

class Folder;
struct OpenedFolder {
    std::unique_ptr<Folder> folder; // set for Opened only
    OpenStatus status = OpenStatus::Missing;
    std::string reason;
};
// Whom a new folder's access list lets in.
enum class NewFolder { Inherited, AdministratorsOnly };

struct CreatedFolder {
    std::unique_ptr<Folder> folder; // set for Created only
    CreateStatus status = CreateStatus::Failed;
    std::string reason;
};

// A folder held open; closed when the object goes. Names are single entry names, never paths.
class Folder {
public:
    virtual ~Folder() = default;
    // Every entry but "." and "..", in the system's order, read through the handle. Throws
    // Failure when the listing breaks off.
    virtual std::vector<DirEntry> list() = 0;
    virtual OpenedFolder open_folder(std::string_view name, Use use) = 0;
    virtual OpenedFile open_file(std::string_view name, Use use) = 0;
    // open_file for Delete and delete_now in one, in as few calls as the system allows. What
    // is not a file to delete comes back Missing or Refused with its reason.
    virtual RemovalResult delete_file(std::string_view name) = 0;
    // Removes the entry, which must be a link, by itself: never what it leads to.
    virtual RemovalResult remove_link(std::string_view name) = 0;
    // Deletes this folder, opened for Delete and emptied, as File::delete_now does a file. Only
    // the folder above it can tell whether it is gone.
    virtual RemovalResult delete_now() = 0;
    // As File::grant_users_full_control, inherited by the files and folders it will hold.
    virtual std::optional<std::string> grant_users_full_control() = 0;
    // A file that must not exist yet, made in this folder.
    virtual CreateResult create_text_file(std::string_view name) = 0;
    virtual BinaryCreateResult create_binary_file(std::string_view name) = 0;
    // A folder that must not exist yet, made in this folder and held open to write into; with
    // NewFolder::AdministratorsOnly, only the system account and Administrators may use it, and it
    // inherits nothing.
    virtual CreatedFolder create_folder(std::string_view name,
                                        NewFolder access = NewFolder::Inherited) = 0;
    // Why someone other than the system account and Administrators (and the account this
    // program runs as) may own or change this folder; nullopt when nobody else may.
    virtual std::optional<std::string> others_may_write() = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // A FindFirstFile-style search: the folder part is literal, the last element may hold the
    // wildcards * and ?, matched case-insensitively (on Windows against short names too).
    virtual FindResult find(std::string_view path_pattern) = 0;
    // The folder at path, opened by its path as the system resolves it, links followed. Only for
    // a folder nobody but the system and its administrators can change (a volume's root, the
    // Windows folder, a profile's folder as ProfileList names it): below such a folder, a walk
    // goes through Folder::open_folder (see open_below).
    virtual OpenedFolder open_trusted_folder(std::string_view path, Use use) = 0;
    // The shell's delete of a file or a whole folder (FO_DELETE, no UI, undo allowed).
    virtual RemovalResult shell_delete(std::string_view path) = 0;
    // The whole file, converted from the ANSI code page. Throws Failure when it cannot be read.
    virtual std::string read_text_file(std::string_view path) = 0;
    // The whole file as it is stored. Throws Failure when it cannot be read.
    virtual std::string read_binary_file(std::string_view path) = 0;
};

// The folder at path, which begins with the folder trusted (see open_trusted_folder): every
// folder below trusted is opened through the one above it and must be no link. The reason names
// the folder on the way that is one.
OpenedFolder open_below(FileSystem& files, std::string_view trusted, std::string_view path,
                        Use use);
// The folder at a full path, checked from its volume's root ("C:\", "\\server\share\").
OpenedFolder open_checked(FileSystem& files, std::string_view path, Use use);
// The folder at a full path and every folder on its way from the volume's root, checked as
// open_checked does and held (Use::Hold) for as long as the object lives: a tool that takes the
// path finds it as it was checked.
struct HeldFolders {
    std::vector<std::unique_ptr<Folder>> way;
    std::string reason; // why it cannot be held; empty once every folder is
};
HeldFolders hold_checked(FileSystem& files, std::string_view path);

// Exact look-ups, the two kinds the program uses as existence tests. Neither sees hidden or
// system entries; OrdinaryFiles also passes over folders.
enum class Lookup { OrdinaryFiles, FoldersIncluded };
// A path ending in a backslash is looked up as the listing of that folder.
bool finds_entry(FileSystem& files, std::string_view path, Lookup kind);

// ---- System and processes -------------------------------------------------------------------

inline constexpr int kCsidlLocalAppData = 0x1C;
inline constexpr int kCsidlProfile = 0x28;
inline constexpr int kCsidlCommonAppData = 0x23; // %ProgramData%

// Held while one cleaning runs for this user, or works in one profile; released when the object
// goes.
class CleaningLock {
public:
    virtual ~CleaningLock() = default;
};

// A process told apart from every other, also from a later one that the system gives the same id
// once this one has ended: its id and the moment it started (in the system's 100-nanosecond
// units since 1601).
struct ProcessId {
    std::uint32_t id = 0;
    std::uint64_t started = 0;
    bool operator==(const ProcessId&) const = default;
};

// A moment in Coordinated Universal Time, to the second.
struct UtcTime {
    int year = 1601;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

class System {
public:
    virtual ~System() = default;
    virtual std::string windows_directory() = 0; // empty when it cannot be had
    virtual std::string system_directory() = 0;  // empty when it cannot be had
    virtual std::optional<std::string> special_folder(int csidl) = 0;
    // True when the program runs as the local system account, whose profile is no user's.
    virtual bool runs_as_system_account() = 0;
    // True for an elevated administrator and for the local system account: who may clean every
    // profile of the machine.
    virtual bool may_clean_every_profile() = 0;
    // The SID of the user the program runs as ("S-1-5-21-..."); empty when it cannot be had.
    virtual std::string current_user_sid() = 0;
    // "DOMAIN\name" of an account, or empty text when the SID cannot be resolved.
    virtual std::string account_name(std::string_view sid) = 0;
    // Lets the time pass before trying again.
    virtual void pause(unsigned milliseconds) = 0;
    // The lock that lets one cleaning run at a time in the user's logon session, window and
    // console program alike; nullptr while another cleaning holds it.
    virtual std::unique_ptr<CleaningLock> lock_cleaning() = 0;
    // The lock that lets one cleaning or restore at a time work in the profile of the user with
    // that SID, on the whole machine: the system account's run over every profile and the user's
    // own window alike. nullptr while another run holds it (see the thread contract above).
    virtual std::unique_ptr<CleaningLock> lock_profile(std::string_view sid) = 0;
    // This process.
    virtual ProcessId this_process() = 0;
    // Whether the process still runs. True also when the system cannot tell: the caller must not
    // undo the work of a run that may be alive.
    virtual bool still_runs(const ProcessId& process) = 0;
    virtual UtcTime utc_now() = 0;
    // The computer's name and the name the user logged on with. Throw Failure when the system
    // cannot tell.
    virtual std::string computer_name() = 0;
    virtual std::string user_name() = 0;
    // The text with each %NAME% of the process's environment replaced by its value, as the
    // system expands a REG_EXPAND_SZ value; a name the environment lacks stays as written.
    // Throws Failure when the system cannot expand it.
    virtual std::string expand_environment(std::string_view text) = 0;
};

struct ProcessResult {
    bool started = false;
    std::string reason; // why it did not start
    std::uint32_t exit_code = 0;
    bool finished = true; // false: the wait was called off and the program may still be running
};

class Processes {
public:
    virtual ~Processes() = default;
    // Starts application with command_line shown minimised with the focus, waits for its end,
    // or until the waiting is called off (the run it belongs to is being stopped).
    virtual ProcessResult run_and_wait(std::string_view application,
                                       std::string_view command_line) = 0;
};

// ---- User interface -------------------------------------------------------------------------

inline constexpr int kMbOk = 0;
inline constexpr int kMbError = 16;
inline constexpr int kMbQuestionYesNo = 36;
inline constexpr int kMbWarning = 48;
inline constexpr int kMbInformation = 64;
inline constexpr int kIdOk = 1;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

inline constexpr int kPointerDefault = 0;
inline constexpr int kPointerHourglass = 11;

inline constexpr std::string_view kAppTitle = "VESK Cleaning Wizard";

class UserInterface {
public:
    virtual ~UserInterface() = default;
    // A modal box titled with the application title; the answer is the button's id.
    virtual int message_box(std::string_view text, int style) = 0;
    virtual void set_pointer(int shape) = 0;
};

// What the logic is handed: one reference per concern, each one callable from any thread. The
// user interface stays with the front end that shows it.
struct Platform {
    Registry& registry;
    FileSystem& files;
    System& system;
    Processes& processes;
};

} // namespace platform
