// Shows one message box for the automation library's own test:
//   uiauto_msgbox_helper.exe <MB_ flags in decimal> <text...>
// and exits with the button that closed it.
#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int) {
  char* text = nullptr;
  unsigned long type = std::strtoul(arguments, &text, 10);
  while (*text == ' ') ++text;
  return MessageBoxA(nullptr, text, "Automation helper", static_cast<UINT>(type));
}
