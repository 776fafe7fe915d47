// Where resources come from: the language library when one is loaded,
// otherwise the program itself.
#pragma once

#include <windows.h>

#include <string>

namespace tw {

void SetResourceInstance(HINSTANCE instance);
// The module strings, dialogs, menus, icons and bitmaps are loaded from.
HINSTANCE GetResourceInstance();
// The program file itself (for the tray icon, which never comes from a library).
HINSTANCE GetProgramInstance();
// A string of the current resources; empty when it is missing.
std::string LoadStr(UINT id);
// The string, or `fallback` when the resources lack it: an engine's texts
// keep their built-in defaults where a language library is incomplete.
std::string TextOr(UINT id, const std::string& fallback);
// The string with its first "%1" replaced by arg (the framework's way of
// naming a file in a message).
std::string LoadStrWith(UINT id, const std::string& arg);
// The running program's full path, and its folder without the last "\".
std::string ProgramPath();
std::string ProgramFolder();
// The program file's name without folder and extension ("tidewell").
std::string ProgramName();
// Opens a file or address with the shell's "open" verb; failures are ignored.
void ShellOpen(const std::string& target);

// The application's main window (owner of the strip menu's commands).
void SetAppMainWindow(HWND hwnd);
HWND GetAppMainWindow();

}  // namespace tw
