// Times the engine alone on what the window's first run does (its initial choice: temporary
// files and project folders) in the installation the host key names: the measure the window's
// run is held to. Prints "engine SECONDS", from the start of the run to its log's close.
#include "engine/cleaning_run.h"
#include "operations/delete_action.h"
#include "platform/win32/com_scope.h"
#include "platform/win32/file_system.h"
#include "platform/win32/processes.h"
#include "platform/win32/registry.h"
#include "platform/win32/system.h"
#include "startup/main.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace {

// A box would wait for nobody: say what it was and count it.
class PrintedUserInterface final : public platform::UserInterface {
public:
    int message_box(std::string_view text, int) override {
        std::fprintf(stderr, "box: %.*s\n", static_cast<int>(text.size()), text.data());
        ++boxes;
        return platform::kIdOk;
    }
    void set_pointer(int) override {}
    int boxes = 0;
};

} // namespace

int main() {
    const win32::ComScope com;
    win32::Registry registry;
    win32::FileSystem files;
    win32::System system;
    win32::Processes processes(win32::Processes::Show::Hidden);
    PrintedUserInterface ui;
    const platform::Platform os{registry, files, system, processes};
    SharedState state;
    if (!Main(state, os, ui)) {
        return 1;
    }
    CleaningLog log;
    DeleteAction deletion;
    RunObserver observer;
    Context context{state, os, log, deletion, observer};
    CleaningOptions options;
    options.temporary_files = options.project_folders = true;

    const auto started = std::chrono::steady_clock::now();
    const RunReport report = run_cleaning(context, options);
    log.close();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;

    if (report.log != LogStatus::Open || report.uncovered || ui.boxes > 0) {
        std::fputs("the run did not clean as the window's would\n", stderr);
        return 1;
    }
    std::printf("engine %.3f\n", took.count());
    return 0;
}
