#include "window/win32/dialog_template.h"

#include "platform/platform.h"
#include "platform/win32/text.h"

namespace win32 {
namespace {

constexpr WORD kPointSize = 8;
constexpr std::size_t kItemCountAt = 8; // in words: dlgVer, signature, helpID, exStyle, style

} // namespace

DialogTemplate::DialogTemplate(std::wstring_view title, short width, short height) {
    words_ = {1, 0xFFFF}; // DLGTEMPLATEEX
    put_dword(0);         // help id
    put_dword(0);         // extended style
    put_dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SHELLFONT | DS_CENTER);
    words_.push_back(0); // items, counted as they are added
    put_place({0, 0, width, height});
    words_.push_back(0); // no menu
    words_.push_back(0); // the dialog class
    put(title);
    words_.push_back(kPointSize);
    words_.push_back(FW_NORMAL);
    words_.push_back(MAKEWORD(FALSE, DEFAULT_CHARSET));
    put(L"MS Shell Dlg");
}

void DialogTemplate::add(std::wstring_view window_class, std::wstring_view text, DWORD style,
                         DialogPlace place, WORD id, DWORD ex_style) {
    align_to_dword();
    put_dword(0); // help id
    put_dword(ex_style);
    put_dword(style | WS_CHILD | WS_VISIBLE);
    put_place(place);
    put_dword(id);
    put(window_class);
    put(text);
    words_.push_back(0); // no creation data
    ++words_[kItemCountAt];
}

void DialogTemplate::put(std::wstring_view text) {
    words_.insert(words_.end(), text.begin(), text.end());
    words_.push_back(0);
}

void DialogTemplate::put_dword(DWORD value) {
    words_.push_back(LOWORD(value));
    words_.push_back(HIWORD(value));
}

void DialogTemplate::put_place(DialogPlace place) {
    for (const short value : {place.x, place.y, place.width, place.height}) {
        words_.push_back(static_cast<WORD>(value));
    }
}

void DialogTemplate::align_to_dword() {
    if (words_.size() % 2 != 0) {
        words_.push_back(0);
    }
}

void throw_unless_shown(INT_PTR result) {
    if (result == -1 || result == 0) {
        throw platform::Failure("the dialog cannot be shown: " + error_text(GetLastError()));
    }
}

} // namespace win32
