#include "platform/win32/file_system.h"

#include "platform/win32/handles.h"
#include "platform/win32/text.h"

#include <algorithm>
#include <mutex>
#include <shellapi.h>
#include <utility>
#include <vector>
#include <windows.h>

namespace win32 {
namespace {

bool is_missing(DWORD code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

platform::RemovalResult removal_after(BOOL done) {
    if (done) {
        return {platform::Removal::Deleted, {}};
    }
    const DWORD code = GetLastError();
    return {is_missing(code) ? platform::Removal::Missing : platform::Removal::Refused,
            error_text(code)};
}

// A full path as the system spells the names it gives back: without the long-path prefix and
// without the doubled backslashes the short form forgives. (Wine's GetFullPathNameW would do
// as much at a cost near that of the deletion itself.)
std::wstring plain_path(std::wstring_view path) {
    constexpr std::wstring_view kLongShare = L"\\\\?\\UNC\\";
    constexpr std::wstring_view kLong = L"\\\\?\\";
    constexpr std::wstring_view kShare = L"\\\\";
    std::wstring plain;
    if (path.starts_with(kLongShare)) {
        path.remove_prefix(kLongShare.size());
        plain = kShare;
    } else if (path.starts_with(kLong)) {
        path.remove_prefix(kLong.size());
    } else if (path.starts_with(kShare)) {
        path.remove_prefix(kShare.size());
        plain = kShare;
    }
    const std::size_t root = plain.size();
    for (const wchar_t c : path) {
        if (c != L'\\' || plain.size() == root || plain.back() != L'\\') {
            plain += c;
        }
    }
    return plain;
}

// The path of what the handle reached from the root of its volume, every link on the way
// resolved; empty when the system cannot say. (Wine's GetFinalPathNameByHandleW fails for paths
// beyond MAX_PATH; this does not.)
std::wstring reached_path(HANDLE handle) {
    std::vector<DWORD> buffer((sizeof(FILE_NAME_INFO) + MAX_PATH * sizeof(wchar_t)) /
                              sizeof(DWORD));
    auto ask = [&] {
        return GetFileInformationByHandleEx(handle, FileNameInfo, buffer.data(),
                                            static_cast<DWORD>(buffer.size() * sizeof(DWORD)));
    };
    bool answered = ask();
    if (!answered && GetLastError() == ERROR_MORE_DATA) {
        // The first answer gives the length of the name.
        const DWORD length = reinterpret_cast<FILE_NAME_INFO*>(buffer.data())->FileNameLength;
        buffer.resize((sizeof(FILE_NAME_INFO) + length) / sizeof(DWORD) + 1);
        answered = ask();
    }
    if (!answered) {
        return {};
    }
    const auto* info = reinterpret_cast<const FILE_NAME_INFO*>(buffer.data());
    return {info->FileName, info->FileNameLength / sizeof(wchar_t)};
}

// A full path behind the prefix that has the system take it as it is: \\?\ for the wide
// functions, \??\ for the native ones.
std::wstring prefixed(std::wstring_view prefix, const std::wstring& full) {
    return full.rfind(L"\\\\", 0) == 0 ? std::wstring(prefix) + L"UNC" + full.substr(1)
                                       : std::wstring(prefix) + full;
}

// A full path from the root of its volume, as reached_path gives it: without the drive, or
// with the server and share of a network path.
std::wstring below_volume(const std::wstring& full) {
    return full.size() > 1 && full[1] == L':' ? full.substr(2) : full.substr(1);
}

bool same_path(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Whether the file opened as path is another entry than the one path names. Wine shows a Unix
// link to a file as the file it leads to, and deletes that file through it; the handle then
// names the target. A path spelled otherwise than the system spells it (a link or a mapped
// drive higher up, a short name) is compared through its folder.
bool leads_elsewhere(HANDLE file, const std::wstring& path) {
    const std::wstring reached = reached_path(file);
    const std::wstring full = plain_path(path);
    if (same_path(reached, below_volume(full))) {
        return false;
    }
    const std::size_t leaf = full.rfind(L'\\');
    const auto folder = adopt_handle(
        CreateFileW(prefixed(L"\\\\?\\", full.substr(0, leaf)).c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return !folder || !same_path(reached, reached_path(folder.get()) + full.substr(leaf));
}

platform::DirEntry entry_of(const WIN32_FIND_DATAW& data) {
    return {utf8(data.cFileName), data.dwFileAttributes};
}

class Search final : public platform::Search {
public:
    Search(UniqueFind handle, const WIN32_FIND_DATAW& first)
        : handle_(std::move(handle)), first_(entry_of(first)) {}

    std::optional<platform::DirEntry> next() override {
        if (first_) {
            return std::exchange(first_, std::nullopt);
        }
        WIN32_FIND_DATAW data{};
        if (FindNextFileW(handle_.get(), &data)) {
            return entry_of(data);
        }
        const DWORD code = GetLastError();
        if (code != ERROR_NO_MORE_FILES) {
            throw platform::Failure(error_text(code));
        }
        return std::nullopt;
    }

private:
    UniqueFind handle_;
    std::optional<platform::DirEntry> first_;
};

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
    explicit RawFile(UniqueHandle file) : file_(std::move(file)) {}
    void write(std::string_view bytes) override { write_all(file_.get(), bytes); }
    void cut_back(std::uint64_t size) override {
        LARGE_INTEGER position{};
        position.QuadPart = static_cast<LONGLONG>(size);
        if (!SetFilePointerEx(file_.get(), position, nullptr, FILE_BEGIN) ||
            !SetEndOfFile(file_.get())) {
            throw platform::Failure(error_text(GetLastError()));
        }
    }

private:
    UniqueHandle file_;
};

// A new file that must not exist yet, open for writing, others may read it meanwhile.
UniqueHandle create_new(std::string_view path, platform::CreateStatus& status,
                        std::string& reason) {
    auto file = adopt_handle(CreateFileW(file_path(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                         nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD code = GetLastError();
        const bool exists = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
        status = exists ? platform::CreateStatus::AlreadyExists : platform::CreateStatus::Failed;
        reason = error_text(code);
        return file;
    }
    status = platform::CreateStatus::Created;
    return file;
}

} // namespace

platform::FindResult FileSystem::find(std::string_view path_pattern) {
    WIN32_FIND_DATAW data{};
    auto handle =
        adopt_find(FindFirstFileExW(file_path(path_pattern).c_str(), FindExInfoBasic, &data,
                                    FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
    if (!handle) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_NO_MORE_FILES) {
            return {nullptr, false, error_text(code)};
        }
        return {nullptr, true, error_text(code)};
    }
    return {std::make_unique<Search>(std::move(handle), data), false, {}};
}

platform::RemovalResult FileSystem::delete_file(std::string_view path) {
    const std::wstring wide_path = file_path(path);
    // Opened as itself: a link is removed, never what it leads to. Write access comes along
    // where the file allows it: Wine lets a file that refuses writing (an immutable one) take the
    // delete disposition and then keeps it when the handle closes, without a word.
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    auto open = [&](DWORD access) {
        return adopt_handle(CreateFileW(wide_path.c_str(), access, kShareAll, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    };
    auto file = open(DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_DATA);
    const bool writable = file != nullptr;
    if (!writable) {
        file = open(DELETE | FILE_READ_ATTRIBUTES);
    }
    if (!file) {
        return removal_after(FALSE);
    }
    if (leads_elsewhere(file.get(), wide_path)) {
        return {platform::Removal::Refused, "a link, which is never followed"};
    }
    FILE_DISPOSITION_INFO disposition{TRUE};
    const BOOL disposed = SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition,
                                                     sizeof disposition);
    const platform::RemovalResult result = removal_after(disposed);
    file.reset();
    const std::lock_guard<std::mutex> lock(mutex_);
    pending_ = disposed && writable ? wide_path : std::wstring();
    return result;
}

bool FileSystem::still_there(std::string_view path) {
    const std::wstring wide_path = file_path(path);
    {
        // The system took the delete disposition of this very entry through our handle: it is
        // gone, or pending until another program's handle closes. Asking by its path would cost
        // Wine a read of the whole folder, once for every file deleted from it.
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!pending_.empty() && pending_ == wide_path) {
            return false;
        }
    }
    if (GetFileAttributesW(wide_path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    const DWORD code = GetLastError();
    // Windows refuses to open an entry whose deletion is pending.
    return !is_missing(code) && code != ERROR_ACCESS_DENIED;
}

platform::RemovalResult FileSystem::discard_file(std::string_view path) {
    const std::wstring wide_path = file_path(path);
    // A copy keeps the read-only attribute of its original, which DeleteFileW refuses.
    SetFileAttributesW(wide_path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return removal_after(DeleteFileW(wide_path.c_str()));
}

platform::RemovalResult FileSystem::shell_delete(std::string_view path) {
    // The shell takes a list of names, each ended by a NUL, the list by an empty name. It does
    // not understand the long-path prefix, so the path goes as it is.
    std::wstring from = wide(path);
    from.append(2, L'\0');
    SHFILEOPSTRUCTW operation{};
    operation.hwnd = nullptr;
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_ALLOWUNDO | FOF_NOERRORUI;
    const int result = SHFileOperationW(&operation);
    // The shell's result codes are its own; whether the entry is gone is what counts.
    const DWORD after = GetFileAttributesW(file_path(path).c_str());
    if (after == INVALID_FILE_ATTRIBUTES) {
        return {platform::Removal::Deleted, {}};
    }
    if (result == 0 && operation.fAnyOperationsAborted) {
        return {platform::Removal::Refused, "The shell's delete was aborted."};
    }
    return {platform::Removal::Refused,
            result == 0 ? "The item is still present after the shell's delete."
                        : "The shell's delete failed with code " + std::to_string(result) + "."};
}

platform::RemovalResult FileSystem::remove_link(std::string_view path) {
    const std::wstring wide_path = file_path(path);
    const DWORD attributes = GetFileAttributesW(wide_path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return removal_after(FALSE);
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return {platform::Removal::Refused, error_text(ERROR_NOT_A_REPARSE_POINT)};
    }
    // A folder link is removed as an empty folder would be: the link goes, its target stays.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return removal_after(RemoveDirectoryW(wide_path.c_str()));
    }
    return removal_after(DeleteFileW(wide_path.c_str()));
}

platform::CreateResult FileSystem::create_new_text_file(std::string_view path) {
    platform::CreateResult result;
    auto file = create_new(path, result.status, result.reason);
    if (file) {
        result.file = std::make_unique<AnsiTextFile>(std::move(file));
    }
    return result;
}

platform::BinaryCreateResult FileSystem::create_new_binary_file(std::string_view path) {
    platform::BinaryCreateResult result;
    auto file = create_new(path, result.status, result.reason);
    if (file) {
        result.file = std::make_unique<RawFile>(std::move(file));
    }
    return result;
}

platform::FolderResult FileSystem::create_folder(std::string_view path) {
    if (CreateDirectoryW(file_path(path).c_str(), nullptr)) {
        return {platform::CreateStatus::Created, {}};
    }
    const DWORD code = GetLastError();
    return {code == ERROR_ALREADY_EXISTS ? platform::CreateStatus::AlreadyExists
                                         : platform::CreateStatus::Failed,
            error_text(code)};
}

std::optional<std::string> FileSystem::copy_file(std::string_view from, std::string_view to) {
    // CopyFileW takes the attributes along, read-only and hidden included.
    if (CopyFileW(file_path(from).c_str(), file_path(to).c_str(), TRUE)) {
        return std::nullopt;
    }
    return error_text(GetLastError());
}

std::string FileSystem::read_text_file(std::string_view path) {
    return utf8_from_ansi(read_binary_file(path));
}

std::string FileSystem::read_binary_file(std::string_view path) {
    auto file = adopt_handle(CreateFileW(file_path(path).c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        throw platform::Failure(error_text(GetLastError()));
    }
    std::string bytes;
    char chunk[64 * 1024];
    while (true) {
        DWORD got = 0;
        if (!ReadFile(file.get(), chunk, sizeof chunk, &got, nullptr)) {
            throw platform::Failure(error_text(GetLastError()));
        }
        if (got == 0) {
            break;
        }
        bytes.append(chunk, got);
    }
    return bytes;
}

} // namespace win32
