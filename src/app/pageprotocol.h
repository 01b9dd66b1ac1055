// What every page of the two sheets shares: the unsaved-edits protocol
// (g_ConfigChanged, PSM_CHANGED, the cancel question, the sibling query with
// code 2038), the help button and the wizard buttons.
#pragma once
#include <windows.h>

// The PSM_QUERYSIBLINGS code a page answers with g_ConfigChanged.
constexpr WPARAM kQueryConfigChanged = 2038;

// The operator edited a control of `page`: enable Apply and remember it.
void NoteConfigChanged(HWND page);

// PSN_QUERYCANCEL: lets the sheet close at once when nothing is unsaved,
// otherwise asks "Exit without saving configuration changes?" and closes only
// on Yes. With `askSiblings` the other pages are asked (code 2038) as well.
// Sets the page's notification result; returns TRUE for the dialog procedure.
INT_PTR AnswerQueryCancel(HWND page, bool askSiblings);

// The notifications every page answers alike: PSN_KILLACTIVE (leave),
// PSN_QUERYCANCEL (AnswerQueryCancel) and PSN_HELP (the help document). FALSE
// for any other, which the system then treats as unhandled.
INT_PTR AnswerSharedNotify(HWND page, UINT code, bool askSiblings);

// PSM_QUERYSIBLINGS: answers code 2038 with g_ConfigChanged. FALSE for other
// codes (the dialog procedure then lets the query go on).
INT_PTR AnswerQuerySiblings(HWND page, WPARAM code);

// Sets a notification result and returns TRUE for the dialog procedure.
INT_PTR SetPageResult(HWND page, LONG_PTR result);

// PSM_SETWIZBUTTONS to the page's sheet (ignored outside the wizard).
void SetWizardButtons(HWND page, DWORD buttons);
