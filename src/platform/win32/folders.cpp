#include "platform/win32/folders.h"

#include "platform/win32/access_list.h"
#include "platform/win32/native.h"
#include "platform/win32/text.h"

#include <algorithm>
#include <memory>
#include <vector>
#include <winioctl.h>

namespace win32 {
namespace {

using native::Kind;
using platform::OpenStatus;
using platform::Use;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr std::string_view kNotOneName = "not the name of one entry";

// A handle that the folder and everything opened through it share: an entry may outlive the
// folder's object, never its handle.
using SharedHandle = std::shared_ptr<void>;

SharedHandle shared(UniqueHandle handle) {
    return SharedHandle(handle.release(), HandleCloser());
}

DWORD share_for(Use use) {
    // Held: nobody may rename or delete it while the program relies on its path.
    return use == Use::Hold ? FILE_SHARE_READ | FILE_SHARE_WRITE : kShareAll;
}

struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};

ACCESS_MASK folder_access(Use use) {
    ACCESS_MASK access = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;
    if (use == Use::Delete) {
        access |= DELETE;
    } else if (use == Use::ChangeRights) {
        access |= READ_CONTROL | WRITE_DAC;
    }
    return access;
}

ACCESS_MASK file_access(Use use) {
    switch (use) {
    case Use::Delete:
        return DELETE | FILE_READ_DATA | FILE_READ_ATTRIBUTES;
    case Use::ChangeRights:
        return READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES;
    case Use::Read:
    case Use::Hold:
        break;
    }
    return FILE_READ_DATA | FILE_READ_ATTRIBUTES;
}

bool same_name(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool is_one_name(std::wstring_view name) {
    return !name.empty() && name != L"." && name != L".." &&
           name.find_first_of(L"\\/") == std::wstring_view::npos;
}

// Whether the handle holds a reparse point opened as itself: a junction, a volume's mount point or
// a symbolic link. Asked as its tag is asked, which Wine answers for what it is (its other answers
// call every Unix mount point one).
bool is_reparse_point(HANDLE handle) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) &&
        (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return false;
    }
    // Wine marks a Unix mount point so but holds no reparse data for it: only root mounts a file
    // system, and the way through one is the system's own. Windows has data for every reparse
    // point, a volume's mount point included, and a user may make a junction to anywhere.
    char data[MAXIMUM_REPARSE_DATA_BUFFER_SIZE];
    DWORD got = 0;
    return DeviceIoControl(handle, FSCTL_GET_REPARSE_POINT, nullptr, 0, data, sizeof data, &got,
                           nullptr) ||
           GetLastError() != ERROR_NOT_A_REPARSE_POINT;
}

std::optional<BY_HANDLE_FILE_INFORMATION> information_of(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle, &information)) {
        return std::nullopt;
    }
    return information;
}

platform::RemovalResult refused(std::string reason) {
    return {platform::Removal::Refused, std::move(reason)};
}

// What a failed open means for the entry.
OpenStatus status_of(std::int32_t status) {
    if (native::is_missing(status)) {
        return OpenStatus::Missing;
    }
    if (status == native::kFileIsADirectory || status == native::kNotADirectory) {
        return OpenStatus::WrongKind;
    }
    return OpenStatus::Refused;
}

// Asks the system to delete the entry once its last handle closes.
platform::RemovalResult dispose(HANDLE handle) {
    FILE_DISPOSITION_INFO disposition{TRUE};
    if (SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition)) {
        return {platform::Removal::Deleted, {}};
    }
    const DWORD code = GetLastError();
    const bool missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
    return {missing ? platform::Removal::Missing : platform::Removal::Refused, error_text(code)};
}

// Whether name in the folder is still there after its deletion was taken: a name that is gone,
// or whose deletion waits for another program's handle, is not. Anything else that stops the
// look counts as there: "deleted" must never be said of what may remain.
bool still_there(HANDLE folder, const std::wstring& name) {
    const native::Opened again =
        native::open_relative(folder, name, FILE_READ_ATTRIBUTES, kShareAll, Kind::Either);
    return !native::is_missing(again.status) && again.status != native::kDeletePending;
}

void write_all(HANDLE file, std::string_view bytes) {
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1 << 20));
        if (!WriteFile(file, data, chunk, &written, nullptr)) {
            throw platform::Failure(error_text(GetLastError()));
        }
        data += written;
        left -= written;
    }
}

class AnsiTextFile final : public platform::TextFile {
public:
    explicit AnsiTextFile(UniqueHandle file) : file_(std::move(file)) {}
    void write(std::string_view utf8_text) override {
        write_all(file_.get(), ansi_from_utf8(utf8_text));
    }

private:
    UniqueHandle file_;
};

class RawFile final : public platform::BinaryFile {
public:
    RawFile(UniqueHandle file, SharedHandle folder, std::wstring name)
        : file_(std::move(file)), folder_(std::move(folder)), name_(std::move(name)) {}
    void write(std::string_view bytes) override { write_all(file_.get(), bytes); }
    void cut_back(std::uint64_t size) override {
        LARGE_INTEGER position{};
        position.QuadPart = static_cast<LONGLONG>(size);
        if (!SetFilePointerEx(file_.get(), position, nullptr, FILE_BEGIN) ||
            !SetEndOfFile(file_.get())) {
            throw platform::Failure(error_text(GetLastError()));
        }
    }
    void set_attributes(std::uint32_t attributes) override {
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = attributes == 0 ? FILE_ATTRIBUTE_NORMAL : attributes;
        if (!SetFileInformationByHandle(file_.get(), FileBasicInfo, &basic, sizeof basic)) {
            throw platform::Failure(error_text(GetLastError()));
        }
    }
    platform::RemovalResult discard() override {
        // A copy may carry read-only, which refuses deletion.
        FILE_BASIC_INFO basic{};
        basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        SetFileInformationByHandle(file_.get(), FileBasicInfo, &basic, sizeof basic);
        platform::RemovalResult result = dispose(file_.get());
        file_.reset();
        if (result.removal == platform::Removal::Deleted && still_there(folder_.get(), name_)) {
            return refused(std::string(platform::kStillThere));
        }
        return result;
    }

private:
    UniqueHandle file_;
    SharedHandle folder_;
    std::wstring name_;
};

class Win32File final : public platform::File {
public:
    Win32File(UniqueHandle file, SharedHandle folder, std::wstring name, bool writable)
        : file_(std::move(file)), folder_(std::move(folder)), name_(std::move(name)),
          writable_(writable) {}

    std::uint32_t attributes() override {
        const auto information = information_of(file_.get());
        if (!information) {
            throw platform::Failure(error_text(GetLastError()));
        }
        return information->dwFileAttributes;
    }

    platform::FileStamp stamp() override {
        const auto information = information_of(file_.get());
        if (!information) {
            throw platform::Failure(error_text(GetLastError()));
        }
        return {(std::uint64_t{information->nFileSizeHigh} << 32) | information->nFileSizeLow,
                (std::uint64_t{information->ftLastWriteTime.dwHighDateTime} << 32) |
                    information->ftLastWriteTime.dwLowDateTime};
    }

    std::string read_all() override { return read_to_end(file_.get()); }

    platform::RemovalResult delete_now() override {
        const platform::RemovalResult result = dispose(file_.get());
        file_.reset();
        // Wine lets a file that refuses writing (an immutable one) take the delete disposition
        // and then keeps it when the handle closes, without a word: such a file is looked for.
        if (result.removal == platform::Removal::Deleted && !writable_ &&
            still_there(folder_.get(), name_)) {
            return refused(std::string(platform::kStillThere));
        }
        return result;
    }

    std::optional<std::string> grant_users_full_control() override {
        const auto information = information_of(file_.get());
        if (!information) {
            return error_text(GetLastError());
        }
        if (information->nNumberOfLinks > 1) {
            return std::string("a file with other names (hard links), whose rights are not this "
                               "folder's alone");
        }
        return win32::grant_users_full_control(file_.get(), false);
    }

private:
    UniqueHandle file_;
    SharedHandle folder_;
    std::wstring name_;
    bool writable_;
};

class Win32Folder final : public platform::Folder {
public:
    Win32Folder(UniqueHandle handle, std::wstring reached)
        : handle_(shared(std::move(handle))), reached_(std::move(reached)) {}

    std::vector<platform::DirEntry> list() override {
        std::vector<platform::DirEntry> entries;
        std::vector<std::uint64_t> buffer(64 * 1024 / sizeof(std::uint64_t));
        auto info_class = FileFullDirectoryRestartInfo;
        while (
            GetFileInformationByHandleEx(handle_.get(), info_class, buffer.data(),
                                         static_cast<DWORD>(buffer.size() * sizeof(buffer[0])))) {
            info_class = FileFullDirectoryInfo;
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(buffer.data());
            while (true) {
                const auto* info = reinterpret_cast<const FILE_FULL_DIR_INFO*>(bytes);
                const std::wstring_view name(info->FileName,
                                             info->FileNameLength / sizeof(wchar_t));
                if (name != L"." && name != L"..") {
                    entries.push_back({utf8(name), info->FileAttributes});
                }
                if (info->NextEntryOffset == 0) {
                    break;
                }
                bytes += info->NextEntryOffset;
            }
        }
        const DWORD code = GetLastError();
        if (code != ERROR_NO_MORE_FILES && code != ERROR_FILE_NOT_FOUND) {
            throw platform::Failure(error_text(code));
        }
        return entries;
    }

    platform::OpenedFolder open_folder(std::string_view name, Use use) override {
        const std::wstring wide_name = wide(name);
        if (!is_one_name(wide_name)) {
            return {nullptr, OpenStatus::Refused, std::string(kNotOneName)};
        }
        native::Opened opened = native::open_relative(handle_.get(), wide_name, folder_access(use),
                                                      share_for(use), Kind::Folder);
        if (!opened.handle) {
            return {nullptr, status_of(opened.status), native::status_text(opened.status)};
        }
        std::wstring reached = native::reached_name(opened.handle.get());
        if (!reaches_itself(reached, wide_name) || is_reparse_point(opened.handle.get())) {
            return {nullptr, OpenStatus::Link, std::string(platform::kLinkNotFollowed)};
        }
        return {std::make_unique<Win32Folder>(std::move(opened.handle), std::move(reached)),
                OpenStatus::Opened,
                {}};
    }

    platform::OpenedFile open_file(std::string_view name, Use use) override {
        const std::wstring wide_name = wide(name);
        if (!is_one_name(wide_name)) {
            return {nullptr, OpenStatus::Refused, std::string(kNotOneName)};
        }
        bool writable = false;
        native::Opened opened = open_entry(wide_name, use, writable);
        if (!opened.handle) {
            return {nullptr, status_of(opened.status), native::status_text(opened.status)};
        }
        if (!reaches_itself(native::reached_name(opened.handle.get()), wide_name)) {
            return {nullptr, OpenStatus::Link, std::string(platform::kLinkNotFollowed)};
        }
        return {std::make_unique<Win32File>(std::move(opened.handle), handle_, wide_name, writable),
                OpenStatus::Opened,
                {}};
    }

    platform::RemovalResult delete_file(std::string_view name) override {
        platform::OpenedFile opened = open_file(name, Use::Delete);
        switch (opened.status) {
        case OpenStatus::Opened:
            return opened.file->delete_now();
        case OpenStatus::Missing:
            return {platform::Removal::Missing, opened.reason};
        case OpenStatus::Link:
        case OpenStatus::WrongKind:
        case OpenStatus::Refused:
            break;
        }
        return refused(opened.reason);
    }

    platform::RemovalResult remove_link(std::string_view name) override {
        const std::wstring wide_name = wide(name);
        if (!is_one_name(wide_name)) {
            return refused(std::string(kNotOneName));
        }
        native::Opened opened = native::open_relative(
            handle_.get(), wide_name, DELETE | FILE_READ_ATTRIBUTES, kShareAll, Kind::Either);
        if (!opened.handle) {
            return {native::is_missing(opened.status) ? platform::Removal::Missing
                                                      : platform::Removal::Refused,
                    native::status_text(opened.status)};
        }
        // Only a link opened as itself goes: where the system followed it (Wine), the handle
        // holds what it leads to.
        if (!is_reparse_point(opened.handle.get()) ||
            !reaches_itself(native::reached_name(opened.handle.get()), wide_name)) {
            return refused("it cannot be removed by itself");
        }
        platform::RemovalResult result = dispose(opened.handle.get());
        opened.handle.reset();
        if (result.removal == platform::Removal::Deleted && still_there(handle_.get(), wide_name)) {
            return refused(std::string(platform::kStillThere));
        }
        return result;
    }

    platform::RemovalResult delete_now() override {
        platform::RemovalResult result = dispose(handle_.get());
        handle_.reset();
        return result;
    }

    std::optional<std::string> grant_users_full_control() override {
        return win32::grant_users_full_control(handle_.get(), true);
    }

    platform::CreateResult create_text_file(std::string_view name) override {
        platform::CreateResult result;
        if (auto file = create(name, result.status, result.reason)) {
            result.file = std::make_unique<AnsiTextFile>(std::move(file));
        }
        return result;
    }

    platform::BinaryCreateResult create_binary_file(std::string_view name) override {
        platform::BinaryCreateResult result;
        if (auto file = create(name, result.status, result.reason)) {
            result.file = std::make_unique<RawFile>(std::move(file), handle_, wide(name));
        }
        return result;
    }

    platform::CreatedFolder create_folder(std::string_view name,
                                          platform::NewFolder access) override {
        const std::wstring wide_name = wide(name);
        if (!is_one_name(wide_name)) {
            return {nullptr, platform::CreateStatus::Failed, std::string(kNotOneName)};
        }
        std::unique_ptr<void, LocalFreer> descriptor(
            access == platform::NewFolder::AdministratorsOnly ? administrators_only_descriptor()
                                                              : nullptr);
        if (access == platform::NewFolder::AdministratorsOnly && !descriptor) {
            return {nullptr, platform::CreateStatus::Failed, error_text(GetLastError())};
        }
        native::Opened made = native::open_relative(
            handle_.get(), wide_name, folder_access(Use::Read), kShareAll, Kind::Folder,
            native::Disposition::Create, FILE_ATTRIBUTE_DIRECTORY, descriptor.get());
        if (!made.handle) {
            return {nullptr,
                    made.status == native::kObjectNameCollision
                        ? platform::CreateStatus::AlreadyExists
                        : platform::CreateStatus::Failed,
                    native::status_text(made.status)};
        }
        std::wstring reached = native::reached_name(made.handle.get());
        return {std::make_unique<Win32Folder>(std::move(made.handle), std::move(reached)),
                platform::CreateStatus::Created,
                {}};
    }

    std::optional<std::string> others_may_write() override {
        // The folder itself, opened again through its own handle (an empty name) with the right
        // to read its access list.
        native::Opened itself =
            native::open_relative(handle_.get(), L"", READ_CONTROL, kShareAll, Kind::Folder);
        if (!itself.handle) {
            return "its access list cannot be read: " + native::status_text(itself.status);
        }
        return others_who_may_write(itself.handle.get());
    }

private:
    // Whether an entry opened through this folder reached folder\name itself.
    bool reaches_itself(const std::wstring& reached, const std::wstring& name) const {
        return same_name(reached, reached_ + L"\\" + name);
    }

    // The entry as a file for use. For a deletion, write access comes along where the file
    // allows it: then the system's acceptance of the deletion is as good as the deletion.
    native::Opened open_entry(const std::wstring& name, Use use, bool& writable) {
        if (use == Use::Delete) {
            native::Opened opened = native::open_relative(
                handle_.get(), name, file_access(use) | FILE_WRITE_DATA, kShareAll, Kind::File);
            if (opened.handle || native::is_missing(opened.status) ||
                opened.status == native::kFileIsADirectory) {
                writable = opened.handle != nullptr;
                return opened;
            }
        }
        return native::open_relative(handle_.get(), name, file_access(use), share_for(use),
                                     Kind::File);
    }

    UniqueHandle create(std::string_view name, platform::CreateStatus& status,
                        std::string& reason) {
        const std::wstring wide_name = wide(name);
        if (!is_one_name(wide_name)) {
            status = platform::CreateStatus::Failed;
            reason = kNotOneName;
            return nullptr;
        }
        // Others may read a new file meanwhile; its deletion is ours alone.
        native::Opened made =
            native::open_relative(handle_.get(), wide_name, GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                                  Kind::File, native::Disposition::Create, FILE_ATTRIBUTE_NORMAL);
        if (!made.handle) {
            status = made.status == native::kObjectNameCollision
                         ? platform::CreateStatus::AlreadyExists
                         : platform::CreateStatus::Failed;
            reason = native::status_text(made.status);
            return nullptr;
        }
        status = platform::CreateStatus::Created;
        return std::move(made.handle);
    }

    SharedHandle handle_;
    std::wstring reached_;
};

} // namespace

std::string read_to_end(HANDLE file) {
    std::string bytes;
    std::vector<char> chunk(64 * 1024);
    while (true) {
        DWORD got = 0;
        if (!ReadFile(file, chunk.data(), static_cast<DWORD>(chunk.size()), &got, nullptr)) {
            throw platform::Failure(error_text(GetLastError()));
        }
        if (got == 0) {
            return bytes;
        }
        bytes.append(chunk.data(), got);
    }
}

platform::OpenedFolder open_trusted_folder(std::string_view path, Use use) {
    auto handle =
        adopt_handle(CreateFileW(file_path(path).c_str(), folder_access(use), share_for(use),
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) {
        const DWORD code = GetLastError();
        const bool missing = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
        return {nullptr, missing ? OpenStatus::Missing : OpenStatus::Refused, error_text(code)};
    }
    const auto information = information_of(handle.get());
    if (!information || (information->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return {nullptr, OpenStatus::WrongKind, "not a folder"};
    }
    std::wstring reached = native::reached_name(handle.get());
    if (reached.empty()) {
        return {nullptr, OpenStatus::Refused, "the system cannot name the folder"};
    }
    return {std::make_unique<Win32Folder>(std::move(handle), std::move(reached)),
            OpenStatus::Opened,
            {}};
}

} // namespace win32
