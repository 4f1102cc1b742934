// Start-up, the main window procedure and the message loop.
#include <windows.h>
// shellapi.h needs the types of windows.h first.
#include <shellapi.h>

#include <cstring>
#include <string>

#include "app/command.h"
#include "fileops_native.h"
#include "host_window.h"
#include "layout.h"
#include "objects.h"
#include "wide_text.h"

namespace velko {
namespace {

WindowHost host;
UINT dpi = USER_DEFAULT_SCREEN_DPI;  // the layout's pixels are those of 96 dots per inch
HWND last_focus = nullptr;           // the control that had the focus when the window lost it
WNDPROC edit_procedure = nullptr;

int Scaled(int pixels) { return MulDiv(pixels, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI); }

// Looked up, as systems before Windows 10 lack it; there the screen's is the window's.
UINT DpiOf(HWND window) {
  using DpiForWindow = UINT(WINAPI*)(HWND);
  auto dpi_for_window = reinterpret_cast<DpiForWindow>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
  if (dpi_for_window) return dpi_for_window(window);
  HDC screen = GetDC(nullptr);
  const int dots = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return static_cast<UINT>(dots);
}

// The table's places at the window's DPI; at 96 they are the table's own.
void Layout() {
  const ControlSpec& f = kFileEditSpec;
  FILEEDIT.SetPosition(Scaled(f.x), Scaled(f.y), Scaled(f.width), Scaled(f.height));
  MoveWindow(FILEEDIT.handle, FILEEDIT.x, FILEEDIT.y, FILEEDIT.width, FILEEDIT.height, TRUE);
  for (const ControlSpec& c : kButtonSpecs) {
    PUSHBTN* button = ButtonFor(c.id);
    button->SetPosition(Scaled(c.x), Scaled(c.y), Scaled(c.width), Scaled(c.height));
    MoveWindow(button->handle, button->x, button->y, button->width, button->height, TRUE);
  }
  MAINWND.SetClientSize(Scaled(kClientWidth), Scaled(kClientHeight));
  InvalidateRect(MAINWND.handle, nullptr, TRUE);
}

void PaintLabels() {
  if (!MAINWND.BeginDraw()) return;
  for (const PaintedLabel& label : kPaintedLabels) {
    TextOutA(MAINWND.paint_dc, Scaled(label.x), Scaled(label.y), label.text,
             static_cast<int>(std::strlen(label.text)));
  }
  MAINWND.EndDraw();
}

// The field as a name typed into it: UTF-16 kept, so that what the code page cannot hold
// becomes '?' when a command reads it, never a best-fitted neighbour.
void ShowInField(const wchar_t* name) {
  SendMessageW(FILEEDIT.handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name));
}

// The first file of a drop on the window, as the Linux window takes the first of a list.
void TakeDrop(HDROP drop) {
  const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
  if (length > 0) {
    std::wstring name(length + 1, L'\0');
    if (DragQueryFileW(drop, 0, &name[0], length + 1) == length) ShowInField(name.c_str());
  }
  DragFinish(drop);
}

// The file named on the command line (a leading "--" skipped, as the Linux window does): how
// Explorer's "Open with" and a shortcut hand it over, quoted where it has blanks.
void TakeArgument() {
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (args == nullptr) return;
  int file = count > 1 && std::wstring(args[1]) == L"--" ? 2 : 1;
  if (file < count) ShowInField(args[file]);
  LocalFree(args);
}

// Multi-line, the field would keep Tab and Enter from the dialog keys of the loop; it lets them
// go as a one-line field does, and keeps its multi-line ways otherwise.
LRESULT CALLBACK FieldProc(HWND field, UINT message, WPARAM wparam, LPARAM lparam) {
  const LRESULT result = CallWindowProcW(edit_procedure, field, message, wparam, lparam);
  return message == WM_GETDLGCODE ? result & ~static_cast<LRESULT>(DLGC_WANTALLKEYS) : result;
}

// Tab goes through the controls top to bottom, left to right.
void SetTabOrder() {
  for (int id : kTabOrder) {
    HWND control = id == 0 ? FILEEDIT.handle : ButtonFor(id)->handle;
    SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

}  // namespace

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    case WM_PAINT: PaintLabels(); return 0;
    case WM_COMMAND: {
      Services services{host, NativeFileOps()};
      return RunCommand(LOWORD(wparam), window, services);
    }
    case WM_DROPFILES: TakeDrop(reinterpret_cast<HDROP>(wparam)); return 0;
    // As a dialog does: the focus comes back where it was when a box or another window took
    // the window's away, or when the window itself gets it.
    case WM_ACTIVATE:
      if (LOWORD(wparam) == WA_INACTIVE && IsChild(window, GetFocus())) last_focus = GetFocus();
      return DefWindowProcA(window, message, wparam, lparam);
    case WM_SETFOCUS: SetFocus(last_focus ? last_focus : FILEEDIT.handle); return 0;
    case WM_DPICHANGED: {
      // Where Windows puts the window; its size follows from the layout.
      dpi = HIWORD(wparam);
      const RECT* place = reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(window, nullptr, place->left, place->top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      Layout();
      return 0;
    }
    default: return DefWindowProcA(window, message, wparam, lparam);
  }
}

}  // namespace velko

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show_command) {
  using namespace velko;
  const char* caption = Caption();
  MAINWND.Register(instance, kClassName, MainWndProc, kIconName, nullptr, IDC_ARROW, -1);
  MAINWND.Create(caption, kMainStyle, -1, -1, -1, -1, kMainExStyle);
  MAINWND.SetClientSize(kClientWidth, kClientHeight);
  MAINWND.Show(show_command);
  for (int id : kButtonCreateOrder) {
    ButtonFor(id)->Create(id, FindCommand(id)->label, -1, -1, -1, -1);
  }
  FILEEDIT.Create(TargetPath, kFieldLimit);
  edit_procedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(FILEEDIT.handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FieldProc)));
  SetTabOrder();
  dpi = DpiOf(MAINWND.handle);
  if (dpi != USER_DEFAULT_SCREEN_DPI) Layout();
  TakeArgument();
  DragAcceptFiles(MAINWND.handle, TRUE);
  Focus(FILEEDIT);
  MSG message;
  // Wide, as the field is: what is typed reaches it without a trip through the code page.
  while (GetMessageW(&message, nullptr, 0, 0)) {
    // Tab, Shift+Tab, Enter and Escape as in a dialog.
    if (IsDialogMessageW(MAINWND.handle, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
