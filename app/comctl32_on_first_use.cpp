// comctl32, loaded on the first call of InitCommonControlsEx rather than at start. Imported at
// start, comctl32 is loaded before any code of ours runs and at once loads what it needs in turn
// (uxtheme, which Windows does not keep among its known DLLs), searching the program's folder
// first. Loaded here, after restrict_library_search(), it and everything it pulls in come from
// the system folder; the manifest still selects version 6. The programs use no other comctl32
// function; should one be added, comctl32 is imported at start again and the format check fails.
// MSVC builds get the same from /DELAYLOAD:comctl32.dll.
#include <windows.h>
// After windows.h, whose types it uses.
#include <commctrl.h>

namespace {

using InitCommonControlsExFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);

BOOL WINAPI init_common_controls_on_first_use(const INITCOMMONCONTROLSEX* controls);

} // namespace

// The import slot through which the compiler calls the function (commctrl.h declares it
// dllimport). Defined here, it keeps the import library's slot, and comctl32 with it, out of
// the program's imports.
#if defined(__i386__)
#define VESK_INIT_COMMON_CONTROLS_SLOT "__imp__InitCommonControlsEx@4"
#else
#define VESK_INIT_COMMON_CONTROLS_SLOT "__imp_InitCommonControlsEx"
#endif
extern "C" InitCommonControlsExFunction
    init_common_controls_slot __asm__(VESK_INIT_COMMON_CONTROLS_SLOT);
InitCommonControlsExFunction init_common_controls_slot = init_common_controls_on_first_use;

namespace {

// Where the flag is unknown (Windows 7 without update KB2533623) comctl32 stays unloaded and the
// call fails, rather than comctl32 coming from wherever the old search order finds one.
BOOL WINAPI init_common_controls_on_first_use(const INITCOMMONCONTROLSEX* controls) {
    const HMODULE comctl32 = LoadLibraryExW(L"comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    const FARPROC address = comctl32 ? GetProcAddress(comctl32, "InitCommonControlsEx") : nullptr;
    if (!address) {
        return FALSE;
    }
    init_common_controls_slot =
        reinterpret_cast<InitCommonControlsExFunction>(reinterpret_cast<void (*)()>(address));
    return init_common_controls_slot(controls);
}

} // namespace
