// Renders Form1 with native controls (BUTTON check boxes and push buttons, group boxes,
// STATIC labels), forwards the user's clicks to it and shows what it changed. Its jobs each have
// a file: the window's life and messages (form_view.cpp), its creation and layout at the
// window's DPI (form_view_layout.cpp), the keyboard (form_view_keyboard.cpp), and its closing
// (form_view_closing.cpp).
#pragma once

#include "platform/win32/handles.h"
#include "platform/win32/user_interface.h"
#include "window/form1.h"
#include "window/win32/run_worker.h"
#include "window/win32/window_procedure.h"

#include <exception>
#include <vector>
#include <windows.h>

namespace win32 {

class FormView {
public:
    // Creates the window, hidden, centred on the screen, with the model's current state. The
    // model's runs are worked by worker, which keeps the window answering meanwhile.
    FormView(Form1& form, UserInterface& ui, RunWorker& worker, HINSTANCE instance, HICON icon);
    ~FormView();
    FormView(const FormView&) = delete;
    FormView& operator=(const FormView&) = delete;

    // Shows the window and dispatches messages until the program ends; then reports what a
    // handler threw, if one did.
    void run(int show_command);

private:
    friend LRESULT CALLBACK window_procedure<FormView>(HWND, UINT, WPARAM, LPARAM);

    // Control ids start above IDOK and IDCANCEL, which the dialog manager sends for Enter (when
    // no default button is named) and Escape: neither may be taken for a control's click.
    static constexpr int kFirstControlId = 100;
    // Destroys the window once no handler runs.
    static constexpr UINT kEndMessage = WM_APP;

    LRESULT handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    void on_clicked(int id);
    LRESULT on_color_static(HDC dc, HWND control);

    // Creation and layout.
    void create_window(HINSTANCE instance, HICON icon);
    void create_controls(HINSTANCE instance);
    void stack_controls();
    void apply_dpi(UINT dpi);
    void on_dpi_changed(UINT dpi, const RECT& suggested);
    void place_controls();
    int fitted_width(std::size_t index) const;
    int twips_to_pixels(int twips) const;
    RECT window_rect_for_client() const;
    void center_on_screen();
    void sync();
    static void show_as_default(HWND button, bool is_default);
    HWND outer(std::size_t index) const;

    // The keyboard.
    bool handled_by_window(MSG& message);
    bool handle_tab(const MSG& message);
    bool reachable(HWND control) const;
    int index_of(HWND control) const;
    LRESULT default_button() const;
    void on_escape();
    void on_activate(WPARAM wparam);
    void keep_focus_visible();

    // Closing.
    void on_close();
    void on_end_session();
    void on_destroy();
    void end();
    void failed(std::exception_ptr failure) noexcept;
    void report_failure() const;

    Form1& form_;
    UserInterface& ui_;
    RunWorker& worker_;
    HWND window_ = nullptr;
    // controls_[i] is the native control of form_.controls()[i]; a frame is its group box,
    // which lies in the opaque panel panels_[i].
    std::vector<HWND> controls_;
    std::vector<HWND> panels_;
    UniqueGdiObject font_;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    bool busy_ = false; // a handler is running (it may be showing a modal box)
    HWND saved_focus_ = nullptr;
    // The first exception that a handler threw: the window is on its way out.
    std::exception_ptr failure_;
};

} // namespace win32
