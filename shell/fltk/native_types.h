// What the window objects hold of the platform, for FLTK: widgets stand in for window
// handles, and the window procedure gets the few messages the program handles.
#ifndef VELKO_SHELL_NATIVE_TYPES_H
#define VELKO_SHELL_NATIVE_TYPES_H

#include <cstdint>

class Fl_Widget;
class Fl_Image;

namespace velko {

using WindowHandle = Fl_Widget*;
using InstanceHandle = void*;
using IconHandle = Fl_Image*;
using DeviceContext = void*;  // not null while the window is drawn
using WindowProcedure = long (*)(WindowHandle window, unsigned message, std::uintptr_t wparam,
                                 std::intptr_t lparam);

// The messages the main window procedure handles, numbered as on Win32.
constexpr unsigned kMessageCreate = 0x0001;
constexpr unsigned kMessageDestroy = 0x0002;
constexpr unsigned kMessagePaint = 0x000F;
constexpr unsigned kMessageClose = 0x0010;
constexpr unsigned kMessageCommand = 0x0111;

struct ClassRecord {
  WindowProcedure procedure;
  InstanceHandle instance;
  IconHandle icon;
  const char* menu_name;
  const char* class_name;
  int background;  // -1: the window colour
};

struct PaintRecord {
  int drawing;
};

}  // namespace velko

#endif
