// Start-up, the main window procedure and the event loop, on FLTK.
#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <cstring>

#include "command.h"
#include "fileops_native.h"
#include "host_window.h"
#include "layout.h"
#include "objects.h"
#include "velko_main.h"
#include "window_fltk.h"

namespace velko {
namespace {

WindowHost host;
bool quit_posted = false;
int exit_code = 0;

void PaintLabels() {
  if (!MAINWND.BeginDraw()) return;
  for (const PaintedLabel& label : kPaintedLabels) {
    // fl_draw places the baseline at y; the table gives the top of the text.
    fl_draw(label.text, static_cast<int>(std::strlen(label.text)), label.x,
            label.y + fl_height() - fl_descent());
  }
  MAINWND.EndDraw();
}

long MainWndProc(WindowHandle window, unsigned message, std::uintptr_t wparam, std::intptr_t) {
  switch (message) {
    case kMessageCreate: return 0;
    case kMessageDestroy:
      quit_posted = true;
      exit_code = 0;
      return 0;
    case kMessagePaint: PaintLabels(); return 0;
    case kMessageClose: DestroyTopWindow(window); return 0;
    case kMessageCommand: {
      // A Linux file is bytes, and an attachment keeps the name the user confirmed.
      Services services{host, NativeFileOps(), TextRules::kBytes, false};
      return RunCommand(static_cast<int>(wparam & 0xFFFF), window, services);
    }
    default: return 0;
  }
}

}  // namespace

int RunVelko(int argc, char** argv) {
  // FLTK's Xft fonts do not fall back per glyph: name a font that has Japanese.
  Fl::set_font(FL_HELVETICA, " IPAPGothic");
  Fl::set_font(FL_HELVETICA_BOLD, "BIPAPGothic");  // the choosers' field labels
  const char* caption = Caption();
  MAINWND.Register(nullptr, kClassName, MainWndProc, kIconName, nullptr, nullptr, -1);
  MAINWND.Create(caption, kMainStyle, -1, -1, -1, -1, kMainExStyle);
  MAINWND.SetClientSize(kClientWidth, kClientHeight);
  MAINWND.Show(0);
  for (int id : kButtonCreateOrder) {
    ButtonFor(id)->Create(id, FindCommand(id)->label, -1, -1, -1, -1);
  }
  FILEEDIT.Create(TargetPath, kFieldLimit);
  // A file named on the command line (a desktop entry's %f) starts in the field.
  if (argc > 1) FILEEDIT.SetText(argv[1]);
  Focus(FILEEDIT);
  while (!quit_posted) Fl::wait();
  return exit_code;
}

}  // namespace velko
