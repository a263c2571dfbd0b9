// The window's end: closing, the end of the session, and a failure that a handler threw.
#include "startup/main.h"
#include "window/win32/form_view.h"

#include <stdexcept>

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

void FormView::end() {
    // A handler that is running (it may be showing a box) posts this again once it returns.
    if (!busy_) {
        DestroyWindow(window_);
    }
}

// What a handler threw past the model's own traps: the window takes no more input, a run under
// way stops at its next item boundary as when the window is closed, and the window goes once no
// handler runs (one that shows a box finishes with the user's answer first); run() then reports
// the failure.
void FormView::failed(std::exception_ptr failure) noexcept {
    if (failure_) {
        return; // the first failure is the one to report; the rest follow from it
    }
    failure_ = failure;
    ShowWindow(window_, SW_HIDE);
    if (form_.running()) {
        try {
            form_.close();
        } catch (...) {
            // The run then ends with the program.
        }
    }
    PostMessageW(window_, kEndMessage, 0, 0);
}

void FormView::report_failure() const {
    try {
        std::rethrow_exception(failure_);
    } catch (const platform::Failure& failure) {
        report_fatal_failure(ui_, failure.where.empty() ? "Form1" : failure.where, failure.what());
    } catch (const std::exception& failure) {
        report_fatal_failure(ui_, "Form1", failure.what());
    } catch (...) {
        report_fatal_failure(ui_, "Form1", "An exception of an unknown kind.");
    }
}

} // namespace win32
