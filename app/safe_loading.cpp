#include "safe_loading.h"

#include <windows.h>

namespace app {

void restrict_library_search() {
    // Looked up rather than imported: Windows 7 has the function only with update KB2533623,
    // and an import the loader cannot resolve would keep the program from starting at all.
    // kernel32 is loaded in every process, so naming it loads nothing.
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const FARPROC address =
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    if (address) {
        const auto set_default_dll_directories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
            reinterpret_cast<void (*)()>(address));
        set_default_dll_directories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}

} // namespace app
