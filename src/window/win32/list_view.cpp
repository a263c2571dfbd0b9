#include "window/win32/list_view.h"

namespace win32 {

void add_columns(HWND list, const std::vector<ListColumn>& columns) {
    RECT client{};
    GetClientRect(list, &client);
    const int width = client.right - client.left - GetSystemMetrics(SM_CXVSCROLL);
    int index = 0;
    for (const ListColumn& column : columns) {
        LVCOLUMNW format{};
        format.mask = LVCF_TEXT | LVCF_WIDTH;
        format.pszText = const_cast<wchar_t*>(column.title);
        format.cx = width * column.percent / 100;
        ListView_InsertColumn(list, index++, &format);
    }
}

bool show_groups(HWND list, const std::vector<std::wstring>& headers) {
    if (ListView_EnableGroupView(list, TRUE) == -1) {
        return false;
    }
    int id = 0;
    for (const std::wstring& header : headers) {
        LVGROUP group{};
        group.cbSize = sizeof group;
        group.mask = LVGF_HEADER | LVGF_GROUPID;
        group.pszHeader = const_cast<wchar_t*>(header.c_str());
        group.iGroupId = ++id;
        // A row whose group is missing would not show at all: all groups or none.
        if (ListView_InsertGroup(list, -1, &group) == -1) {
            ListView_RemoveAllGroups(list);
            ListView_EnableGroupView(list, FALSE);
            return false;
        }
    }
    return true;
}

void add_row(HWND list, const std::vector<std::wstring>& cells, int group) {
    LVITEMW item{};
    item.mask = LVIF_TEXT | (group != 0 ? LVIF_GROUPID : 0);
    item.iItem = ListView_GetItemCount(list);
    item.pszText = const_cast<wchar_t*>(cells.front().c_str());
    item.iGroupId = group;
    const int row = ListView_InsertItem(list, &item);
    for (std::size_t column = 1; column < cells.size(); ++column) {
        ListView_SetItemText(list, row, static_cast<int>(column),
                             const_cast<wchar_t*>(cells[column].c_str()));
    }
}

void set_checked(HWND list, int row, bool checked) {
    ListView_SetCheckState(list, row, checked);
}

bool checked(HWND list, int row) {
    return ListView_GetCheckState(list, row) != 0;
}

bool turns_check(HWND list, const NMLISTVIEW& change) {
    if (!(change.uChanged & LVIF_STATE) || change.iItem < 0) {
        return false;
    }
    // Only the new state is compared with the row's: how much of the old state a notification
    // carries differs between versions.
    const UINT next = change.uNewState & LVIS_STATEIMAGEMASK;
    return next != 0 && next != ListView_GetItemState(list, change.iItem, LVIS_STATEIMAGEMASK);
}

void select_row(HWND list, int row) {
    const UINT both = LVIS_SELECTED | LVIS_FOCUSED;
    ListView_SetItemState(list, row, both, both);
    ListView_EnsureVisible(list, row, FALSE);
}

int selected_row(HWND list) {
    return ListView_GetNextItem(list, -1, LVNI_SELECTED);
}

} // namespace win32
