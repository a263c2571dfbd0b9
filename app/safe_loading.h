// Where the program may take its libraries from.
#pragma once

namespace app {

// Restricts every library the process loads from now on to the system folder, so that a DLL
// with a system name lying beside the program (in a Downloads folder, say) is never loaded in
// place of the system's own. Call it as the entry point's first statement: the libraries that
// the system loads later on the program's behalf (themes, image helpers, shell extensions)
// follow this search order too. The program's own imports are resolved before any code of
// ours runs; the load configuration (load_config.cpp, or the linker's option) covers those.
void restrict_library_search();

} // namespace app
