// The preview of a panel's cleaning: every item found, ticked when it goes, grouped by the
// option that acts on it. Space on a row turns its tick, as list views do; a row the user may
// not untick keeps its tick whatever the list is asked.
#include "platform/win32/text.h"
#include "window/win32/dialog_template.h"
#include "window/win32/dialogs.h"
#include "window/win32/list_view.h"

#include <algorithm>
#include <commctrl.h>

namespace win32 {
namespace {

constexpr WORD kListId = 100;
constexpr WORD kAlwaysKeepId = 101;
constexpr WORD kKeepListId = 102;

DialogTemplate preview_template(bool can_clean) {
    DialogTemplate shape(L"Preview of the Cleaning", 520, 260);
    shape.add(WC_STATICW, L"Ticked items go. Untick an item to keep it:", SS_LEFT | SS_NOPREFIX,
              {7, 7, 506, 8});
    shape.add(WC_LISTVIEWW, L"",
              WS_GROUP | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
              {7, 18, 506, 194}, kListId, WS_EX_CLIENTEDGE);
    shape.add(WC_BUTTONW, L"Always keep the items I untick",
              WS_GROUP | WS_TABSTOP | BS_AUTOCHECKBOX, {7, 218, 506, 10}, kAlwaysKeepId);
    shape.add(WC_BUTTONW, L"Keep list...", WS_GROUP | WS_TABSTOP | BS_PUSHBUTTON, {7, 239, 60, 14},
              kKeepListId);
    if (can_clean) {
        shape.add(WC_BUTTONW, L"Clean", WS_TABSTOP | BS_DEFPUSHBUTTON, {409, 239, 50, 14}, IDOK);
    }
    shape.add(WC_BUTTONW, L"Close", WS_TABSTOP | (can_clean ? BS_PUSHBUTTON : BS_DEFPUSHBUTTON),
              {463, 239, 50, 14}, IDCANCEL);
    return shape;
}

class PreviewDialog {
public:
    PreviewDialog(const std::vector<PreviewRow>& rows, bool can_clean)
        : rows_(rows), can_clean_(can_clean) {}

    INT_PTR handle(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
        switch (message) {
        case WM_INITDIALOG:
            fill(dialog);
            return FALSE; // fill() has set the focus
        case WM_NOTIFY:
            return on_notify(dialog, *reinterpret_cast<const NMHDR*>(lparam));
        case WM_COMMAND:
            return on_command(dialog, LOWORD(wparam));
        default:
            return FALSE;
        }
    }

    PreviewAnswer answer;

private:
    void fill(HWND dialog) {
        const HWND list = GetDlgItem(dialog, kListId);
        const DWORD extended = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT;
        ListView_SetExtendedListViewStyleEx(list, extended, extended);
        std::vector<std::wstring> groups;
        std::vector<int> group_of;
        for (const PreviewRow& row : rows_) {
            const std::wstring group = wide(row.group);
            auto at = std::find(groups.begin(), groups.end(), group);
            if (at == groups.end()) {
                at = groups.insert(groups.end(), group);
            }
            group_of.push_back(static_cast<int>(at - groups.begin()) + 1);
        }
        // Each row names its option too: a list may take the groups and not draw them (Wine's).
        const bool grouped = show_groups(list, groups);
        add_columns(list, {{L"Item", 40}, {L"Option", 26}, {L"Kind", 12}, {L"Note", 22}});
        filling_ = true;
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            const PreviewRow& row = rows_[i];
            add_row(list, {wide(row.path), wide(row.group), wide(row.kind), wide(row.note)},
                    grouped ? group_of[i] : 0);
            set_checked(list, static_cast<int>(i), rows_[i].ticked);
        }
        filling_ = false;
        if (!rows_.empty()) {
            select_row(list, 0);
        }
        SendMessageW(dialog, DM_SETDEFID, can_clean_ ? IDOK : IDCANCEL, 0);
        SetFocus(list);
    }

    INT_PTR on_notify(HWND dialog, const NMHDR& header) {
        if (header.idFrom != kListId || header.code != LVN_ITEMCHANGING || filling_) {
            return FALSE;
        }
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        const bool fixed = change.iItem >= 0 &&
                           static_cast<std::size_t>(change.iItem) < rows_.size() &&
                           !rows_[static_cast<std::size_t>(change.iItem)].can_tick;
        if (!fixed || !turns_check(header.hwndFrom, change)) {
            return FALSE;
        }
        SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
        return TRUE;
    }

    INT_PTR on_command(HWND dialog, WORD id) {
        switch (id) {
        case IDOK:
            // Enter sends IDOK too when the dialog has no "Clean".
            return can_clean_ ? finish(dialog, PreviewChoice::Clean, IDOK) : TRUE;
        case kKeepListId:
            return finish(dialog, PreviewChoice::EditKeepList, kKeepListId);
        case IDCANCEL:
            return finish(dialog, PreviewChoice::Close, IDCANCEL);
        default:
            return FALSE;
        }
    }

    INT_PTR finish(HWND dialog, PreviewChoice choice, WORD id) {
        const HWND list = GetDlgItem(dialog, kListId);
        answer.choice = choice;
        answer.ticked.clear();
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            answer.ticked.push_back(checked(list, static_cast<int>(i)));
        }
        answer.always_keep = IsDlgButtonChecked(dialog, kAlwaysKeepId) == BST_CHECKED;
        EndDialog(dialog, id);
        return TRUE;
    }

    const std::vector<PreviewRow>& rows_;
    bool can_clean_;
    bool filling_ = false; // the ticks being set are the rows' own, not the user's
};

} // namespace

PreviewAnswer Dialogs::preview(const std::vector<PreviewRow>& rows, bool can_clean) {
    PreviewDialog dialog(rows, can_clean);
    show_modal(instance_, ui_.owner(), preview_template(can_clean), dialog);
    return dialog.answer;
}

} // namespace win32
