// What the window objects hold of the platform, for Win32: the platform's own types.
#ifndef VELKO_SHELL_NATIVE_TYPES_H
#define VELKO_SHELL_NATIVE_TYPES_H

#include <windows.h>

namespace velko {

using WindowHandle = HWND;
using InstanceHandle = HINSTANCE;
using WindowProcedure = WNDPROC;
using ClassRecord = WNDCLASSA;
using PaintRecord = PAINTSTRUCT;
using DeviceContext = HDC;
using IconHandle = HICON;

}  // namespace velko

#endif
