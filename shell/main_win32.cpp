// Start-up, the main window procedure and the message loop.
#include <windows.h>

#include <cstring>

#include "app/command.h"
#include "fileops_native.h"
#include "host_window.h"
#include "layout.h"
#include "objects.h"

namespace velko {
namespace {

WindowHost host;

void PaintLabels() {
  if (!MAINWND.BeginDraw()) return;
  for (const PaintedLabel& label : kPaintedLabels) {
    TextOutA(MAINWND.paint_dc, label.x, label.y, label.text,
             static_cast<int>(std::strlen(label.text)));
  }
  MAINWND.EndDraw();
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
  Focus(FILEEDIT);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}
