#include "window/win32/form_view.h"

namespace win32 {

void FormView::on_close() {
    // During a run the model stops it at its next item boundary; the window goes once the
    // handler that started the run has returned.
    if (form_.running()) {
        form_.close();
        return;
    }
    // While a handler shows a box, the closing waits for nothing: it is refused, so that the
    // handler never finds its log closed under it.
    if (busy_) {
        return;
    }
    busy_ = true;
    form_.close();
    busy_ = false;
    DestroyWindow(window_);
}

// The session ends once this returns: a run under way is stopped, and waited for, so that no
// item is left half-done and the log ends with the stop.
void FormView::on_end_session() {
    if (form_.running()) {
        form_.close();
        worker_.wait_for_end();
        return;
    }
    on_close();
}

void FormView::on_destroy() {
    ui_.set_owner(nullptr);
    ui_.set_refresh({});
    worker_.detach();
    PostQuitMessage(0);
}

} // namespace win32
