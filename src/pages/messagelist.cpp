// The message list dialogs. Their pages call in here; the lists themselves
// are being built.
#include "pages/pages.h"

void ShowMessageList(HWND, MessageListKind) {}
