// What the FLTK shell needs of its window objects beyond the common operations.
#ifndef VELKO_SHELL_WINDOW_FLTK_H
#define VELKO_SHELL_WINDOW_FLTK_H

#include <string>

#include "native_types.h"

namespace velko {

// Hides the main window and tells its procedure it is gone, as DestroyWindow does.
void DestroyTopWindow(WindowHandle window);

// A text shown in a button's label as it is: '@' and '&' (a shortcut mark there) doubled.
std::string EscapeLabel(const char* text);

// A text shown in a box's label as it is: '@' doubled.
std::string EscapeSymbols(const char* text);

}  // namespace velko

#endif
