#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "console.h"
#include "undo.h"

namespace velko {
namespace {

void (*undo_on_stop)() = nullptr;

// Ctrl+C, Ctrl+Break and a closed console come on a thread of their own; the handler that
// runs next ends the program.
BOOL WINAPI Stopped(DWORD) {
  if (undo_on_stop) undo_on_stop();
  return FALSE;
}

}  // namespace

void OnStop(void (*undo)()) {
  undo_on_stop = undo;
  SetConsoleCtrlHandler(Stopped, TRUE);
}

void BlockStops(bool) {}

// Standard input and output carry the bytes of a filter unchanged: no CR LF translation; the
// messages on standard error end their lines the same way.
void InitConsole() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

bool TextsInUtf8() { return false; }

bool IsTerminal(int fd) { return _isatty(fd) != 0; }

// The texts are compiled to code page 932 and names are in the ANSI code page, as the console's.
std::string ForConsole(const std::string& text) { return text; }

}  // namespace velko
