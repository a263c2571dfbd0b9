// Owning types for the Win32 handles the program opens: each closes its handle when it goes,
// so no handle outlives the function that opened it.
#pragma once

#include <memory>
#include <shlobj.h>
#include <windows.h>

namespace win32 {

struct KeyCloser {
    void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

struct FindCloser {
    void operator()(HANDLE search) const { FindClose(search); }
};
using UniqueFind = std::unique_ptr<void, FindCloser>;

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

struct PidlFreer {
    void operator()(ITEMIDLIST* list) const { CoTaskMemFree(list); }
};
using UniquePidl = std::unique_ptr<ITEMIDLIST, PidlFreer>;

struct GdiDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using UniqueGdiObject = std::unique_ptr<void, GdiDeleter>;

// A find handle, or null for INVALID_HANDLE_VALUE.
inline UniqueFind adopt_find(HANDLE search) {
    return UniqueFind(search == INVALID_HANDLE_VALUE ? nullptr : search);
}
// A kernel handle, or null for both failure values.
inline UniqueHandle adopt_handle(HANDLE handle) {
    return UniqueHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

} // namespace win32
