// The user's keep list, to remove entries from, and the cleanings to undo. The preview is in
// preview_dialog.cpp.
#include "window/win32/dialogs.h"

#include "platform/win32/text.h"
#include "window/win32/dialog_template.h"
#include "window/win32/list_view.h"

#include <algorithm>
#include <commctrl.h>

namespace win32 {
namespace {

constexpr WORD kListId = 100;
constexpr WORD kRemoveId = 101;

DialogTemplate keep_list_template() {
    DialogTemplate shape(L"Your Keep List", 260, 180);
    shape.add(WC_STATICW, L"Items you always keep:", SS_LEFT | SS_NOPREFIX, {7, 7, 246, 8});
    shape.add(WC_LISTBOXW, L"",
              WS_GROUP | WS_TABSTOP | WS_VSCROLL | LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT |
                  LBS_WANTKEYBOARDINPUT,
              {7, 18, 246, 134}, kListId, WS_EX_CLIENTEDGE);
    shape.add(WC_BUTTONW, L"Remove", WS_GROUP | WS_TABSTOP | BS_PUSHBUTTON, {7, 159, 50, 14},
              kRemoveId);
    shape.add(WC_BUTTONW, L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, {149, 159, 50, 14}, IDOK);
    shape.add(WC_BUTTONW, L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, {203, 159, 50, 14}, IDCANCEL);
    return shape;
}

class KeepListDialog {
public:
    explicit KeepListDialog(const std::vector<std::string>& given) : patterns(given) {}

    INT_PTR handle(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
        switch (message) {
        case WM_INITDIALOG:
            fill(GetDlgItem(dialog, kListId));
            return TRUE;
        case WM_VKEYTOITEM:
            // Answered directly, not through DWLP_MSGRESULT: -2 for a key handled here, -1 for
            // the list box's own handling.
            if (LOWORD(wparam) != VK_DELETE) {
                return -1;
            }
            remove_selected(reinterpret_cast<HWND>(lparam));
            return -2;
        case WM_COMMAND:
            return on_command(dialog, LOWORD(wparam));
        default:
            return FALSE;
        }
    }

    std::vector<std::string> patterns; // as the user leaves them
    bool changed = false;

private:
    void fill(HWND list) const {
        for (const std::string& pattern : patterns) {
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(pattern).c_str()));
        }
        SendMessageW(list, LB_SETSEL, TRUE, 0);
    }

    INT_PTR on_command(HWND dialog, WORD id) {
        switch (id) {
        case kRemoveId:
            remove_selected(GetDlgItem(dialog, kListId));
            return TRUE;
        case IDOK:
        case IDCANCEL:
            EndDialog(dialog, id);
            return TRUE;
        default:
            return FALSE;
        }
    }

    // Removes the selected entries and selects the one that took the first one's place.
    void remove_selected(HWND list) {
        const LRESULT count = SendMessageW(list, LB_GETSELCOUNT, 0, 0);
        if (count <= 0) {
            return;
        }
        std::vector<int> selected(static_cast<std::size_t>(count));
        SendMessageW(list, LB_GETSELITEMS, selected.size(),
                     reinterpret_cast<LPARAM>(selected.data()));
        std::sort(selected.rbegin(), selected.rend());
        for (const int index : selected) {
            SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
            patterns.erase(patterns.begin() + index);
        }
        changed = true;
        const LRESULT left = SendMessageW(list, LB_GETCOUNT, 0, 0);
        if (left > 0) {
            SendMessageW(list, LB_SETSEL, TRUE, std::min<LRESULT>(selected.back(), left - 1));
        }
    }
};

DialogTemplate undo_template() {
    DialogTemplate shape(L"Undo a Cleaning", 360, 200);
    shape.add(WC_STATICW, L"Your cleanings with a backup:", SS_LEFT | SS_NOPREFIX, {7, 7, 346, 8});
    shape.add(WC_LISTVIEWW, L"",
              WS_GROUP | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                  LVS_NOSORTHEADER,
              {7, 18, 346, 154}, kListId, WS_EX_CLIENTEDGE);
    shape.add(WC_BUTTONW, L"Restore", WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON, {249, 179, 50, 14},
              IDOK);
    shape.add(WC_BUTTONW, L"Close", WS_TABSTOP | BS_PUSHBUTTON, {303, 179, 50, 14}, IDCANCEL);
    return shape;
}

class UndoDialog {
public:
    explicit UndoDialog(const std::vector<UndoRow>& rows) : rows_(rows) {}

    INT_PTR handle(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
        switch (message) {
        case WM_INITDIALOG:
            fill(dialog);
            return FALSE; // fill() has set the focus
        case WM_NOTIFY: {
            const auto& header = *reinterpret_cast<const NMHDR*>(lparam);
            if (header.idFrom == kListId && header.code == NM_DBLCLK) {
                choose(dialog, reinterpret_cast<const NMITEMACTIVATE&>(header).iItem);
            }
            return FALSE;
        }
        case WM_COMMAND:
            return on_command(dialog, LOWORD(wparam));
        default:
            return FALSE;
        }
    }

    std::optional<int> chosen;

private:
    void fill(HWND dialog) const {
        const HWND list = GetDlgItem(dialog, kListId);
        ListView_SetExtendedListViewStyleEx(list, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
        add_columns(list, {{L"Cleaning", 16}, {L"Made", 30}, {L"What it holds", 54}});
        for (const UndoRow& row : rows_) {
            add_row(list, {std::to_wstring(row.number), wide(row.made), wide(row.holds)});
        }
        select_row(list, 0);
        SetFocus(list);
    }

    INT_PTR on_command(HWND dialog, WORD id) {
        switch (id) {
        case IDOK:
            choose(dialog, selected_row(GetDlgItem(dialog, kListId)));
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
        }
    }

    // Ends the dialog with the row's cleaning; nothing for no row.
    void choose(HWND dialog, int row) {
        if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) {
            return;
        }
        chosen = rows_[static_cast<std::size_t>(row)].number;
        EndDialog(dialog, IDOK);
    }

    const std::vector<UndoRow>& rows_;
};

} // namespace

std::optional<std::vector<std::string>>
Dialogs::edit_keep_list(const std::vector<std::string>& patterns) {
    KeepListDialog dialog(patterns);
    const INT_PTR result = show_modal(instance_, ui_.owner(), keep_list_template(), dialog);
    if (result != IDOK || !dialog.changed) {
        return std::nullopt;
    }
    return dialog.patterns;
}

std::optional<int> Dialogs::choose_cleaning_to_undo(const std::vector<UndoRow>& rows) {
    UndoDialog dialog(rows);
    show_modal(instance_, ui_.owner(), undo_template(), dialog);
    return dialog.chosen;
}

} // namespace win32
