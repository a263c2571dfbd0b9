#include "window/win32/taskbar_progress.h"

namespace win32 {

TaskbarProgress::TaskbarProgress(HWND window) : window_(window) {
    ITaskbarList3* raw = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                reinterpret_cast<void**>(&raw)))) {
        return;
    }
    taskbar_.reset(raw);
    if (FAILED(taskbar_->HrInit())) {
        taskbar_.reset();
        return;
    }
    taskbar_->SetProgressState(window_, TBPF_INDETERMINATE);
}

TaskbarProgress::~TaskbarProgress() {
    if (taskbar_) {
        taskbar_->SetProgressState(window_, TBPF_NOPROGRESS);
    }
}

void TaskbarProgress::show(const BarPosition& position) {
    if (!taskbar_ || position == shown_) {
        return;
    }
    shown_ = position;
    // A value ends the marquee by itself: the bar takes its place.
    if (position.marquee) {
        taskbar_->SetProgressState(window_, TBPF_INDETERMINATE);
    } else {
        taskbar_->SetProgressValue(window_, position.done, position.total);
    }
}

} // namespace win32
