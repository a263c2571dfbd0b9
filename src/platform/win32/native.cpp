#include "platform/win32/native.h"

#include "platform/win32/text.h"

#include <vector>

namespace win32::native {
namespace {

// The native types, as the system lays them out.
struct CountedString {
    USHORT length; // in bytes
    USHORT maximum_length;
    PWSTR buffer;
};
struct ObjectAttributes {
    ULONG length;
    HANDLE root_directory;
    CountedString* object_name;
    ULONG attributes;
    PVOID security_descriptor;
    PVOID security_quality_of_service;
};
struct IoStatusBlock {
    union {
        LONG status;
        PVOID pointer;
    };
    ULONG_PTR information;
};

constexpr ULONG kCaseInsensitive = 0x40;        // OBJ_CASE_INSENSITIVE
constexpr ULONG kOpen = 1;                      // FILE_OPEN
constexpr ULONG kCreate = 2;                    // FILE_CREATE
constexpr ULONG kDirectoryFile = 0x1;           // FILE_DIRECTORY_FILE
constexpr ULONG kNonDirectoryFile = 0x40;       // FILE_NON_DIRECTORY_FILE
constexpr ULONG kSynchronousIo = 0x20;          // FILE_SYNCHRONOUS_IO_NONALERT
constexpr ULONG kOpenReparsePoint = 0x00200000; // FILE_OPEN_REPARSE_POINT
constexpr int kObjectNameInformation = 1;

using CreateFileFunction = LONG(NTAPI*)(PHANDLE, ACCESS_MASK, ObjectAttributes*, IoStatusBlock*,
                                        PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using QueryObjectFunction = LONG(NTAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
using DeleteKeyFunction = LONG(NTAPI*)(HANDLE);
using StatusToErrorFunction = ULONG(NTAPI*)(LONG);

// ntdll is in every process before the program's first instruction: nothing is loaded here.
template <class Function> Function from_ntdll(const char* name) {
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

struct Functions {
    CreateFileFunction create_file = from_ntdll<CreateFileFunction>("NtCreateFile");
    QueryObjectFunction query_object = from_ntdll<QueryObjectFunction>("NtQueryObject");
    DeleteKeyFunction delete_key = from_ntdll<DeleteKeyFunction>("NtDeleteKey");
    StatusToErrorFunction status_to_error =
        from_ntdll<StatusToErrorFunction>("RtlNtStatusToDosError");
};

const Functions& functions() {
    static const Functions found;
    return found;
}

} // namespace

Opened open_relative(HANDLE folder, std::wstring_view name, ACCESS_MASK access, DWORD share,
                     Kind kind, Disposition disposition, DWORD attributes,
                     PSECURITY_DESCRIPTOR descriptor) {
    CountedString counted{static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                          static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                          const_cast<PWSTR>(name.data())};
    ObjectAttributes object{sizeof(ObjectAttributes), folder,     &counted,
                            kCaseInsensitive,         descriptor, nullptr};
    IoStatusBlock io{};
    ULONG options = kSynchronousIo | kOpenReparsePoint;
    if (kind == Kind::File) {
        options |= kNonDirectoryFile;
    } else if (kind == Kind::Folder) {
        options |= kDirectoryFile;
    }
    HANDLE opened = nullptr;
    const LONG status = functions().create_file(
        &opened, access | SYNCHRONIZE, &object, &io, nullptr, attributes, share,
        disposition == Disposition::Create ? kCreate : kOpen, options, nullptr, 0);
    return {adopt_handle(status == kSuccess ? opened : nullptr), status};
}

std::wstring reached_name(HANDLE handle) {
    // The name follows a counted string in the same buffer.
    std::vector<std::uint8_t> buffer(sizeof(CountedString) + 1024 * sizeof(wchar_t));
    ULONG needed = 0;
    LONG status = functions().query_object(handle, kObjectNameInformation, buffer.data(),
                                           static_cast<ULONG>(buffer.size()), &needed);
    if (status != kSuccess && needed > buffer.size()) {
        buffer.resize(needed);
        status = functions().query_object(handle, kObjectNameInformation, buffer.data(),
                                          static_cast<ULONG>(buffer.size()), &needed);
    }
    if (status != kSuccess) {
        return {};
    }
    const auto* counted = reinterpret_cast<const CountedString*>(buffer.data());
    std::wstring name(counted->buffer, counted->length / sizeof(wchar_t));
    if (!name.empty() && name.back() == L'\\') {
        name.pop_back();
    }
    return name;
}

std::string status_text(std::int32_t status) {
    return error_text(functions().status_to_error(status));
}

bool is_missing(std::int32_t status) {
    return status == kObjectNameNotFound || status == kObjectPathNotFound;
}

LSTATUS delete_key(HKEY key) {
    const LONG status = functions().delete_key(key);
    return status == kSuccess ? ERROR_SUCCESS
                              : static_cast<LSTATUS>(functions().status_to_error(status));
}

} // namespace win32::native
