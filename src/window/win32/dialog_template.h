// Modal dialogs made from templates built in memory, and the procedure through which an object
// handles their messages. The templates name "MS Shell Dlg" with DS_SHELLFONT, so that the
// system gives each dialog its user-interface font, scaled with the DPI, and its colours; the
// dialog manager gives it its keyboard: Tab, Enter for the default button, Esc for IDCANCEL.
#pragma once

#include <exception>
#include <string_view>
#include <vector>
#include <windows.h>

namespace win32 {

// Where a control goes, in dialog units.
struct DialogPlace {
    short x, y, width, height;
};

// A DLGTEMPLATEEX with its items.
class DialogTemplate {
public:
    DialogTemplate(std::wstring_view title, short width, short height);
    // Controls are created, and reached with Tab, in the order they are added.
    void add(std::wstring_view window_class, std::wstring_view text, DWORD style, DialogPlace place,
             WORD id = kNoId, DWORD ex_style = 0);
    const DLGTEMPLATE* data() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

    static constexpr WORD kNoId = 0xFFFF;

private:
    void put(std::wstring_view text);
    void put_dword(DWORD value);
    void put_place(DialogPlace place);
    void align_to_dword();

    std::vector<WORD> words_;
};

template <class Handler> struct HandledDialog {
    Handler& handler;
    std::exception_ptr failure;
};

// Handler gets every message from WM_INITDIALOG on through
//     INT_PTR handle(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
// and answers as a dialog procedure does. What it throws may not unwind through the system's
// modal loop: it ends the dialog, and show_modal throws it again once that loop is left.
template <class Handler>
INT_PTR CALLBACK dialog_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lparam);
    }
    auto* handled = reinterpret_cast<HandledDialog<Handler>*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!handled) {
        return FALSE;
    }
    try {
        return handled->handler.handle(dialog, message, wparam, lparam);
    } catch (...) {
        if (!handled->failure) {
            handled->failure = std::current_exception();
        }
        EndDialog(dialog, IDCANCEL);
        return FALSE;
    }
}

// Throws platform::Failure when the dialog cannot be shown.
void throw_unless_shown(INT_PTR result);

// Shows the dialog, owned by owner (which may be null), until the handler ends it; returns the
// result it ended with.
template <class Handler>
INT_PTR show_modal(HINSTANCE instance, HWND owner, const DialogTemplate& shape, Handler& handler) {
    HandledDialog<Handler> handled{handler, nullptr};
    const INT_PTR result =
        DialogBoxIndirectParamW(instance, shape.data(), owner, dialog_procedure<Handler>,
                                reinterpret_cast<LPARAM>(&handled));
    if (handled.failure) {
        std::rethrow_exception(handled.failure);
    }
    throw_unless_shown(result);
    return result;
}

} // namespace win32
