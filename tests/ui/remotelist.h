// List views of another process: the queries that carry pointers are given
// memory in that process (Wine passes list-view messages across processes
// without copying what they point to).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace ui {

int ListItemCount(HWND list);
std::string ListItemText(HWND list, int item, int subItem);
// Selects exactly `items` (the first one focused).
bool SelectListItems(HWND list, const std::vector<int>& items);
std::vector<int> SelectedListItems(HWND list);
// The middle of an item in the list's client coordinates, {-1, -1} when unknown.
POINT ListItemCenter(HWND list, int item);

}  // namespace ui
