// What the window objects do the same on every platform: construction, stored positions,
// owned text copies.
#include "window.h"

#include <cstdlib>
#include <cstring>

#include "window_common.h"

namespace velko {

char* CopyText(const char* text) {
  std::size_t n = std::strlen(text) + 1;
  char* copy = static_cast<char*>(std::malloc(n));
  if (copy) std::memcpy(copy, text, n);
  return copy;
}

TOPWND::TOPWND()
    : created(0),
      window_class(),
      x(kUseDefault),
      y(kUseDefault),
      width(kUseDefault),
      height(kUseDefault),
      client_width(0),
      client_height(0),
      handle(nullptr),
      class_name(nullptr),
      title(nullptr),
      instance(nullptr),
      paint_dc(nullptr),
      paint() {}

EDITFLD::EDITFLD(TOPWND* owner, int nx, int ny, int nwidth, int nheight, std::uint32_t nex_style,
                 std::uint32_t nstyle)
    : handle(nullptr),
      ex_style(nex_style),
      text(nullptr),
      style(nstyle),
      x(0),
      y(0),
      width(0),
      height(0),
      limit(-1),
      parent(owner) {
  SetPosition(nx, ny, nwidth, nheight);
}

EDITFLD::~EDITFLD() {
  Destroy();
  std::free(text);
}

void EDITFLD::SetPosition(int nx, int ny, int nwidth, int nheight) {
  if (nx >= 0) x = nx;
  if (ny >= 0) y = ny;
  if (nwidth >= 0) width = nwidth;
  if (nheight >= 0) height = nheight;
}

PUSHBTN::PUSHBTN(TOPWND* owner, int nx, int ny, int nwidth, int nheight, std::uint32_t nex_style,
                 std::uint32_t nstyle)
    : handle(nullptr),
      ex_style(nex_style),
      style(nstyle),
      x(0),
      y(0),
      width(0),
      height(0),
      parent(owner),
      id(100),
      label(nullptr) {
  SetPosition(nx, ny, nwidth, nheight);
}

PUSHBTN::~PUSHBTN() {
  Destroy();
  std::free(label);
}

void PUSHBTN::SetPosition(int nx, int ny, int nwidth, int nheight) {
  if (nx >= 0) x = nx;
  if (ny >= 0) y = ny;
  if (nwidth >= 0) width = nwidth;
  if (nheight >= 0) height = nheight;
}

std::uint32_t TOPWND::StoreCreateArguments(const char* caption, std::uint32_t style, int nx, int ny,
                                           int nwidth, int nheight) {
  title = caption;
  if (nx >= 0) x = nx;
  if (ny >= 0) y = ny;
  if (nwidth >= 0) width = nwidth;
  if (nheight >= 0) height = nheight;
  return style == 0 ? 0x00CF0000 : style;  // WS_OVERLAPPEDWINDOW
}

void EDITFLD::TakeInitialText(const char* initial) {
  if (initial) {
    std::free(text);
    text = CopyText(initial);
  } else if (text == nullptr) {
    text = CopyText("");
  }
}

void PUSHBTN::StoreCreateArguments(int new_id, const char* new_label, int nx, int ny, int nwidth,
                                   int nheight) {
  if (new_id != -1) id = new_id;
  if (nx != -1) x = nx;
  if (ny != -1) y = ny;
  if (nwidth != -1) width = nwidth;
  if (nheight != -1) height = nheight;
  if (new_label) {
    std::free(label);
    label = CopyText(new_label);
  }
}

}  // namespace velko
