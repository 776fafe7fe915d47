// The program's entry point. Command-line arguments are ignored.
#include <windows.h>

#include "app/shell_app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  tw::CShellApp app;
  return app.Run();
}
