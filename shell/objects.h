// The ten window objects of the program, of static storage.
#ifndef VELKO_SHELL_OBJECTS_H
#define VELKO_SHELL_OBJECTS_H

#include "window.h"

namespace velko {

extern TOPWND MAINWND;
extern EDITFLD FILEEDIT;
// The eight buttons, in the order of kButtonSpecs.
extern PUSHBTN BUTTONS[8];

// The button object of a command identifier; null for any other.
PUSHBTN* ButtonFor(int id);

}  // namespace velko

#endif
