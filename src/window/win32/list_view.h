// The report view of a list-view control, through its messages alone: the program imports no
// comctl32 function but InitCommonControlsEx (see app/comctl32_on_first_use.cpp).
#pragma once

#include <string>
#include <vector>
#include <windows.h>
// After windows.h, whose types it uses.
#include <commctrl.h>

namespace win32 {

struct ListColumn {
    const wchar_t* title;
    int percent; // of the list's width
};

// Splits the list's width (less a vertical scroll bar's) between the columns.
void add_columns(HWND list, const std::vector<ListColumn>& columns);

// Shows groups with these headers, ids 1, 2, ... in order; false, and no groups, where the
// list cannot (comctl32 before version 6).
bool show_groups(HWND list, const std::vector<std::wstring>& headers);

// A row at the end, its cells in column order; group 0 for none.
void add_row(HWND list, const std::vector<std::wstring>& cells, int group = 0);

void set_checked(HWND list, int row, bool checked);
bool checked(HWND list, int row);
// Whether the change a list view notifies (LVN_ITEMCHANGING) would turn the row's check.
bool turns_check(HWND list, const NMLISTVIEW& change);

// Selects and focuses the row.
void select_row(HWND list, int row);
// The first selected row, or -1.
int selected_row(HWND list);

} // namespace win32
