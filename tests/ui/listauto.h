// Drives a list view of another process as an operator would: reads its rows
// as wide text, clicks rows and column headings, double-clicks, presses keys.
// Wine passes list-view and header messages between processes unconverted,
// so their structures live in memory allocated in the program's process.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace ui {

int ListRowCount(HWND list);
// A cell as UTF-16, and the same as UTF-8 for comparisons.
std::wstring ListCellWide(HWND list, int row, int column);
std::string ListCell(HWND list, int row, int column);
// One column of every row, joined with "|" after each.
std::string ListColumn(HWND list, int column);
std::vector<int> SelectedRows(HWND list);
// Selects exactly `rows` (the first one focused) without clicking.
bool SelectRows(HWND list, const std::vector<int>& rows);
int ListTopRow(HWND list);
// True when the row is scrolled into the visible part of the list.
bool ListRowVisible(HWND list, int row);

// Scrolls the row into view and clicks it; `keys` MK_CONTROL or MK_SHIFT
// adds to the selection.
void ClickRow(HWND list, int row, WPARAM keys = 0);
void DoubleClickRow(HWND list, int row);
void ClickColumn(HWND list, int column);
// WM_KEYDOWN and WM_KEYUP, posted to the window with the keyboard focus.
void PressKey(HWND window, UINT key);

}  // namespace ui
