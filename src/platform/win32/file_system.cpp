#include "platform/win32/file_system.h"

#include "platform/win32/folders.h"
#include "platform/win32/handles.h"
#include "platform/win32/text.h"

#include <shellapi.h>
#include <utility>
#include <windows.h>

namespace win32 {
namespace {

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

platform::OpenedFolder FileSystem::open_trusted_folder(std::string_view path, platform::Use use) {
    return win32::open_trusted_folder(path, use);
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
    return read_to_end(file.get());
}

} // namespace win32
