// Loads the libraries named on its command line by name, as any program may, and prints for each
// the file that was loaded. With --restricted it first makes the wizard's own first call
// (app/safe_loading.h). Exit status 1 when a library could not be loaded at all.
#include "safe_loading.h"

#include <cstdio>
#include <memory>
#include <string>
#include <windows.h>

namespace {

struct LibraryFreer {
    void operator()(HMODULE library) const { FreeLibrary(library); }
};
using UniqueLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFreer>;

} // namespace

int wmain(int argc, wchar_t** argv) {
    int first = 1;
    if (argc > 1 && std::wstring(argv[1]) == L"--restricted") {
        app::restrict_library_search();
        first = 2;
    }
    int status = 0;
    for (int index = first; index < argc; ++index) {
        const UniqueLibrary library(LoadLibraryW(argv[index]));
        if (!library) {
            std::fwprintf(stderr, L"%ls: not loaded (error %lu)\n", argv[index], GetLastError());
            status = 1;
            continue;
        }
        wchar_t path[MAX_PATH + 1] = {};
        GetModuleFileNameW(library.get(), path, MAX_PATH + 1);
        std::wprintf(L"%ls\n", path);
    }
    return status;
}
