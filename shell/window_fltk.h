// What the FLTK shell needs of its window objects beyond the common operations.
#ifndef VELKO_SHELL_WINDOW_FLTK_H
#define VELKO_SHELL_WINDOW_FLTK_H

#include <string>

#include "native_types.h"

namespace velko {

// Hides the main window and tells its procedure it is gone, as DestroyWindow does.
void DestroyTopWindow(WindowHandle window);

// A text shown in an FLTK label as it is: '@' and '&' doubled.
std::string EscapeLabel(const char* text);

}  // namespace velko

#endif
