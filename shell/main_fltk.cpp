// Start-up, the main window procedure and the event loop, on FLTK.
#include <FL/Fl.H>
#include <FL/fl_draw.H>
#include <libintl.h>

#include <clocale>
#include <cstdio>
#include <cstring>

#include "app/command.h"
#include "catalog.h"
#include "fileops_native.h"
#include "host_window.h"
#include "layout.h"
#include "objects.h"
#include "velko_main.h"
#include "version.h"
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
  // As GUI programs here do, the usual options answer on the terminal; "--" ends them.
  int file = 1;
  if (argc > 1 && std::strcmp(argv[1], "--") == 0) {
    file = 2;
  } else if (argc > 1 && argv[1][0] == '-' && argv[1][1] != 0) {
    bool help = std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0;
    bool version = std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "-V") == 0;
    std::FILE* to = help || version ? stdout : stderr;
    // On the terminal in the user's language, from velko-cli's catalogue (gettext converts to
    // the locale's encoding); the window itself keeps its own texts.
    std::setlocale(LC_ALL, "");
    bindtextdomain("velko-cli", CatalogFolder(VELKO_LOCALE_FROM_BIN, VELKO_LOCALEDIR).c_str());
    if (!help && !version) {
      std::fprintf(stderr, dgettext("velko-cli", "velko: unknown option %s\n"), argv[1]);
    }
    if (version) {
      std::fputs("velko " VELKO_VERSION "\nLicense: " VELKO_LICENSE "\n", to);
    } else {
      std::fputs(dgettext("velko-cli",
                          "Usage: velko [FILE]\n"
                          "The VELKO window, FILE in its field: NEC and JIS ruled lines, "
                          "Shift_JIS and JIS,\n"
                          "Base64 encoded words and mail attachments. velko-cli runs the same "
                          "commands on\n"
                          "files from the command line.\n\n"
                          "  -h, --help     this help\n"
                          "  -V, --version  the version\n"
                          "  --             what follows is the file, even if it starts with -\n"),
                 to);
    }
    // Nothing shown, nothing changed: a full disk or a closed output is a failure.
    bool written = std::fflush(to) == 0 && !std::ferror(to);
    return help || version ? (written ? 0 : 1) : 2;
  }
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
  if (argc > file) FILEEDIT.SetText(argv[file]);
  Focus(FILEEDIT);
  while (!quit_posted) Fl::wait();
  return exit_code;
}

}  // namespace velko
