#include "objects.h"

#include "layout.h"

namespace velko {

// Constructed in the order of the control table, before the entry function runs.
TOPWND MAINWND;
EDITFLD FILEEDIT(&MAINWND, kFileEditSpec.x, kFileEditSpec.y, kFileEditSpec.width,
                 kFileEditSpec.height, kFileEditSpec.ex_style, kFileEditSpec.style);

namespace {
PUSHBTN MakeButton(int i) {
  const ControlSpec& c = kButtonSpecs[i];
  return PUSHBTN(&MAINWND, c.x, c.y, c.width, c.height, c.ex_style, c.style);
}
}  // namespace

PUSHBTN BUTTONS[8] = {MakeButton(0), MakeButton(1), MakeButton(2), MakeButton(3),
                      MakeButton(4), MakeButton(5), MakeButton(6), MakeButton(7)};

PUSHBTN* ButtonFor(int id) {
  for (int i = 0; i < 8; ++i) {
    if (kButtonSpecs[i].id == id) return &BUTTONS[i];
  }
  return nullptr;
}

}  // namespace velko
