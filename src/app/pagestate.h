// How every page and dialog keeps its state: one struct, made by whoever
// shows the window and handed through the creation parameter (a sheet page's
// PROPSHEETPAGE::lParam, DialogBoxParam's parameter), then kept in the
// window (DWLP_USER) for the handlers. Process-wide values stay process-wide
// only where the gateway's behaviour makes them so.
#pragma once
#include <windows.h>
#include <prsht.h>

// A page of the two sheets: its procedure and, for a page with state, how the
// sheet makes the state before the sheet is shown and frees it afterwards.
struct PageDefinition {
  DLGPROC procedure;
  void* (*newState)();
  void (*deleteState)(void*);
};

template <class State>
PageDefinition StatefulPage(DLGPROC procedure) {
  return {procedure, []() -> void* { return new State(); }, [](void* s) { delete static_cast<State*>(s); }};
}

inline PageDefinition StatelessPage(DLGPROC procedure) { return {procedure, nullptr, nullptr}; }

// WM_INITDIALOG of a sheet page: the state its record carries, kept in the window.
template <class State>
State* KeepPageState(HWND page, LPARAM initParam) {
  auto* state = reinterpret_cast<State*>(reinterpret_cast<const PROPSHEETPAGEA*>(initParam)->lParam);
  SetWindowLongPtrA(page, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
  return state;
}

// WM_INITDIALOG of a modal dialog: the state given to DialogBoxParam.
template <class State>
State* KeepDialogState(HWND dialog, LPARAM initParam) {
  SetWindowLongPtrA(dialog, DWLP_USER, initParam);
  return reinterpret_cast<State*>(initParam);
}

// The state kept by KeepPageState or KeepDialogState; null before WM_INITDIALOG.
template <class State>
State* StateOf(HWND window) {
  return reinterpret_cast<State*>(GetWindowLongPtrA(window, DWLP_USER));
}
