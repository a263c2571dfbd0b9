// The console program's entry: the Win32 platform with standard output and standard error in
// place of boxes, and the command line run to an exit code.
#include "console/console_run.h"
#include "console/win32/console_stop.h"
#include "console/win32/standard_streams.h"
#include "platform/win32/com_scope.h"
#include "platform/win32/file_system.h"
#include "platform/win32/processes.h"
#include "platform/win32/registry.h"
#include "platform/win32/system.h"
#include "platform/win32/text.h"
#include "safe_loading.h"

#include <exception>
#include <string>
#include <vector>
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    app::restrict_library_search();
    // The console program dispatches no messages: its thread must not be a single-threaded
    // apartment, whose callers would wait for a message loop.
    const win32::ComScope com(win32::ComScope::Apartment::MultiThreaded);
    // Outlives the run and the streams: a console that closes waits for the run's stop until
    // wmain returns, by when the streams have written what they held. Registered first, its
    // handler runs after the streams', which writes out the held output and lets it through.
    const win32::ConsoleStop stop;
    win32::StandardStreams streams;
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(win32::utf8(argv[i]));
    }
    win32::Registry registry;
    win32::FileSystem files;
    win32::System system;
    win32::Processes processes(win32::Processes::Show::Hidden, stop.call_off());
    const platform::Platform os{registry, files, system, processes};
    try {
        return run_console(arguments, os, streams, stop.requested());
    } catch (const std::exception& failure) {
        streams.err(std::string("VeskClean: ") + failure.what());
        return kExitSomethingLeft;
    }
}
