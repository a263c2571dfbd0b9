// The progress a run shows on the window's taskbar button, through the shell's ITaskbarList3.
// Where the shell offers none (no taskbar, an older system) nothing shows and nothing fails.
#pragma once

#include "window/run_executor.h"

#include <memory>
#include <shobjidl.h>
#include <windows.h>

namespace win32 {

class TaskbarProgress {
public:
    // Shows a marquee on the window's button from the start.
    explicit TaskbarProgress(HWND window);
    // The button as it was before the run.
    ~TaskbarProgress();
    TaskbarProgress(const TaskbarProgress&) = delete;
    TaskbarProgress& operator=(const TaskbarProgress&) = delete;

    void show(const BarPosition& position);

private:
    struct Releaser {
        void operator()(IUnknown* object) const { object->Release(); }
    };

    HWND window_;
    std::unique_ptr<ITaskbarList3, Releaser> taskbar_;
    BarPosition shown_;
};

} // namespace win32
