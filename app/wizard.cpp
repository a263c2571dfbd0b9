// The program's entry: builds the Win32 platform, runs the start-up checks and, when they
// pass, shows the wizard window until the user ends it.
#include "log/cleaning_log.h"
#include "operations/delete_action.h"
#include "platform/win32/com_scope.h"
#include "platform/win32/file_system.h"
#include "platform/win32/processes.h"
#include "platform/win32/registry.h"
#include "platform/win32/system.h"
#include "platform/win32/user_interface.h"
#include "resource.h"
#include "safe_loading.h"
#include "startup/main.h"
#include "window/form1.h"
#include "window/message_box_observer.h"
#include "window/win32/dialogs.h"
#include "window/win32/form_view.h"
#include "window/win32/run_worker.h"

#include <commctrl.h>
#include <windows.h>

namespace {

void show_window(Form1& form, win32::UserInterface& ui, win32::RunWorker& worker,
                 HINSTANCE instance, int show_command) {
    const HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_WIZARD));
    win32::FormView view(form, ui, worker, instance, icon);
    view.run(show_command);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
    app::restrict_library_search();
    const win32::ComScope com;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);

    win32::Registry registry;
    win32::FileSystem files;
    win32::UserInterface ui;
    win32::System system;
    // The runs work off the window's thread; closing the window during a run calls off the
    // wait for the access-rights tool too.
    win32::RunWorker worker;
    win32::Processes processes(win32::Processes::Show::Minimised, worker.stop_event());
    const platform::Platform os{registry, files, system, processes};

    SharedState state;
    CleaningLog log;
    if (!Main(state, os, ui)) {
        return 0;
    }
    DeleteAction deletion;
    MessageBoxObserver observer(ui);
    win32::Dialogs dialogs(ui, instance);
    Form1 form(Context{state, os, log, deletion, observer}, ui, dialogs, worker);
    form.Form_Load();
    if (form.ended()) {
        return 0;
    }
    try {
        show_window(form, ui, worker, instance, show_command);
    } catch (const platform::Failure& failure) {
        report_fatal_failure(ui, "Form1", failure.what());
    }
    return 0;
}
