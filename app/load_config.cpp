// The program's load configuration, for toolchains whose runtime brings none (MinGW-w64 10).
// Its one setting of ours: the libraries the program imports are resolved from the system
// folder only, never from the program's own folder, where a planted DLL could wait. Windows 10
// 1607 and later read it; older systems ignore it. GNU ld of binutils 2.40 does not point the
// image's load-configuration directory at this structure; the build does that after linking
// (cmake/point_load_config.py).
#include <windows.h>

extern "C" {
extern const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used;

constinit const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used = [] {
    IMAGE_LOAD_CONFIG_DIRECTORY config{};
    config.Size = sizeof config;
    // MinGW-w64 10's headers still call DependentLoadFlags by its old name.
    config.Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32;
    return config;
}();
}
