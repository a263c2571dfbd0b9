#include "platform/win32/file_system.h"

#include "platform/win32/handles.h"
#include "platform/win32/text.h"

#include <algorithm>
#include <shellapi.h>
#include <utility>
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
    return removal_after(DeleteFileW(file_path(path).c_str()));
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
