// The window objects over FLTK 1.3. Widgets stand in for Win32 windows; the main window
// passes painting, its close box and button presses to the window procedure as messages.
#include "window_fltk.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Multiline_Input.H>
#include <FL/fl_draw.H>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "window.h"
#include "window_common.h"

namespace velko {
namespace {

constexpr std::uint32_t kThickFrame = 0x00040000;  // WS_THICKFRAME: resizable
constexpr int kDefaultWidth = 400;
constexpr int kDefaultHeight = 300;

// A file dropped from a file manager arrives as a paste of its URI list ("file:///a%20b\r\n...");
// the first one, as a path.
std::string DroppedPath(const char* text) {
  std::string uri(text, std::strcspn(text, "\r\n")), path;
  if (uri.compare(0, 7, "file://") != 0) return uri;
  std::size_t slash = uri.find('/', 7);  // after the host, usually empty
  for (std::size_t i = slash == std::string::npos ? uri.size() : slash; i < uri.size(); ++i) {
    if (uri[i] == '%' && i + 2 < uri.size() &&
        std::isxdigit(static_cast<unsigned char>(uri[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(uri[i + 2]))) {
      path += static_cast<char>(std::stoi(uri.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      path += uri[i];
    }
  }
  return path;
}

// Takes the drop of a file, wherever it lands on `widget`: `input` gets its path. A paste that is
// no drop goes on as usual (a pasted line break reaches the command, as on Win32).
bool TakeDrop(Fl_Widget* widget, Fl_Input* input, int event, bool* dropping) {
  switch (event) {
    case FL_DND_ENTER:
    case FL_DND_DRAG:
    case FL_DND_LEAVE: return true;
    case FL_DND_RELEASE: *dropping = true; return true;
    case FL_PASTE:
      if (!*dropping) return false;
      *dropping = false;
      if (input) input->value(DroppedPath(Fl::event_text()).c_str());
      widget->redraw();
      return true;
    default: return false;
  }
}

// The file-name field. Enter adds no line break, as the Win32 field's styles refuse one.
class Field : public Fl_Multiline_Input {
 public:
  using Fl_Multiline_Input::Fl_Multiline_Input;
  int handle(int event) override {
    if (event == FL_KEYBOARD && (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter))
      return 1;
    return TakeDrop(this, this, event, &dropping_) ? 1 : Fl_Multiline_Input::handle(event);
  }

 private:
  bool dropping_ = false;
};

class TopWindow : public Fl_Double_Window {
 public:
  TopWindow(TOPWND& owner, int w, int h, const char* title)
      : Fl_Double_Window(w, h, title), owner_(owner) {}

  TOPWND& owner() { return owner_; }

  // A file dropped anywhere on the window goes to its field.
  int handle(int event) override {
    if (!(event == FL_PASTE && dropping_) && Fl_Double_Window::handle(event)) return 1;
    Fl_Input* field = nullptr;
    for (int i = 0; i < children() && !field; ++i) field = dynamic_cast<Fl_Input*>(child(i));
    return TakeDrop(this, field, event, &dropping_) ? 1 : 0;
  }

  void draw() override {
    Fl_Double_Window::draw();
    drawing_ = true;
    owner_.window_class.procedure(this, kMessagePaint, 0, 0);
    drawing_ = false;
  }
  bool drawing() const { return drawing_; }

 private:
  TOPWND& owner_;
  bool drawing_ = false;
  bool dropping_ = false;
};

void CloseBoxPressed(Fl_Widget* widget, void*) {
  // FLTK also calls this for Escape; a Win32 window does not close on Escape.
  if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
  TopWindow* window = static_cast<TopWindow*>(widget);
  window->owner().window_class.procedure(window, kMessageClose, 0, 0);
}

void ButtonPressed(Fl_Widget*, void* data) {
  PUSHBTN* button = static_cast<PUSHBTN*>(data);
  TOPWND* parent = button->parent;
  parent->window_class.procedure(parent->handle, kMessageCommand,
                                 static_cast<std::uintptr_t>(button->id), 0);
}

}  // namespace

std::string EscapeSymbols(const char* text) {
  // '@' starts a symbol in any FLTK label; doubled, it is itself.
  std::string out;
  for (const char* p = text; *p != 0; ++p) {
    if (*p == '@') out += *p;
    out += *p;
  }
  return out;
}

std::string EscapeLabel(const char* text) {
  // '@' starts a symbol and '&' marks a shortcut in FLTK labels; doubled, each is itself.
  std::string out;
  for (const char* p = text; *p != 0; ++p) {
    if (*p == '@' || *p == '&') out += *p;
    out += *p;
  }
  return out;
}

void DestroyTopWindow(WindowHandle window) {
  TopWindow* top = static_cast<TopWindow*>(window);
  top->hide();
  top->owner().window_class.procedure(top, kMessageDestroy, 0, 0);
}

TOPWND::~TOPWND() {
  delete handle;
  handle = nullptr;
}

int TOPWND::Register(InstanceHandle inst, const char* name, WindowProcedure procedure, const char*,
                     const char* menu_name, const char*, int background) {
  return RegisterWithIcon(inst, name, procedure, nullptr, menu_name, nullptr, background);
}

int TOPWND::RegisterWithIcon(InstanceHandle inst, const char* name, WindowProcedure procedure,
                             IconHandle icon, const char* menu_name, const char*, int background) {
  class_name = name;
  instance = inst;
  window_class.procedure = procedure;
  window_class.instance = inst;
  window_class.icon = icon;
  window_class.menu_name = menu_name;
  window_class.class_name = name;
  window_class.background = background;
  return procedure != nullptr ? 0 : -1;
}

void TOPWND::Create(const char* caption, std::uint32_t style, int nx, int ny, int nwidth,
                    int nheight, std::uint32_t) {
  style = StoreCreateArguments(caption, style, nx, ny, nwidth, nheight);
  TopWindow* window = new TopWindow(*this, width == kUseDefault ? kDefaultWidth : width,
                                    height == kUseDefault ? kDefaultHeight : height, title);
  window->end();
  if (x != kUseDefault && y != kUseDefault) window->position(x, y);
  window->callback(CloseBoxPressed);
  // Desktops group and name windows by their X class: the class name, in lower case.
  static std::string xclass;  // FLTK keeps the pointer
  xclass = class_name ? class_name : "";
  for (char& c : xclass) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  window->xclass(xclass.c_str());
  if (window_class.icon) window->icon(window_class.icon);
  if (!(style & kThickFrame)) {
    // Fixed size: no resizing and, with the window manager's help, no maximizing.
    window->size_range(window->w(), window->h(), window->w(), window->h());
  }
  handle = window;
  created = 1;
  window_class.procedure(handle, kMessageCreate, 0, 0);
  ReadGeometry();
}

void TOPWND::Show(int) {
  Fl_Window* window = static_cast<Fl_Window*>(handle);
  window->show();
  Fl::flush();
}

void TOPWND::ReadGeometry() {
  if (!created || handle == nullptr) return;
  // FLTK sizes a window by its client area; the frame belongs to the window manager.
  x = handle->x();
  y = handle->y();
  width = handle->w();
  height = handle->h();
  client_width = handle->w();
  client_height = handle->h();
}

void TOPWND::SetClientSize(int w, int h) {
  if (!created || handle == nullptr) return;
  ReadGeometry();
  Fl_Window* window = static_cast<Fl_Window*>(handle);
  bool fixed = window->resizable() == nullptr;
  window->size(width - client_width + w, height - client_height + h);
  if (fixed) window->size_range(window->w(), window->h(), window->w(), window->h());
  ReadGeometry();
}

void TOPWND::SetClientSizeDlu(int w, int h) {
  if (!created) return;
  // Dialog base units of the default font: average character width and line height.
  fl_font(FL_HELVETICA, FL_NORMAL_SIZE);
  const char* sample = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  int horizontal = static_cast<int>(fl_width(sample) / 52 + 0.5);
  int vertical = fl_height();
  SetClientSize(w * horizontal / 4, h * vertical / 8);
}

int TOPWND::BeginDraw() {
  // Drawing is possible only while FLTK draws the window.
  if (paint_dc == nullptr && handle && static_cast<TopWindow*>(handle)->drawing()) {
    paint_dc = handle;
  }
  if (paint_dc == nullptr) return 0;
  fl_font(FL_HELVETICA, FL_NORMAL_SIZE);
  fl_color(FL_FOREGROUND_COLOR);
  return 1;
}

void TOPWND::EndDraw() { paint_dc = nullptr; }

WindowHandle EDITFLD::Create(const char* initial, int new_limit) {
  if (new_limit > 0) limit = new_limit;
  if (handle) {
    std::free(text);
    text = nullptr;
    GetText();
    Destroy();
  } else {
    TakeInitialText(initial);
  }
  Fl_Multiline_Input* input = new Field(x, y, width, height);
  static_cast<Fl_Group*>(parent->handle)->add(input);
  input->value(text ? text : "MemoryErr!");
  if (limit > 0) input->maximum_size(limit);
  input->redraw();
  handle = input;
  return handle;
}

const char* EDITFLD::GetText() {
  std::free(text);
  text = CopyText(handle ? static_cast<Fl_Input*>(handle)->value() : "");
  return text;
}

void EDITFLD::SetText(const char* new_text) {
  std::free(text);
  text = CopyText(new_text);
  // value() ignores maximum_size(): like WM_SETTEXT, the limit binds only typing.
  if (handle) static_cast<Fl_Input*>(handle)->value(new_text);
}

void EDITFLD::SetLimit(int new_limit) {
  limit = new_limit;
  if (new_limit >= 0 && handle) static_cast<Fl_Input*>(handle)->maximum_size(new_limit);
}

void EDITFLD::Destroy() {
  delete handle;  // an FLTK widget leaves its group when deleted
  handle = nullptr;
}

void PUSHBTN::Create(int new_id, const char* new_label, int nx, int ny, int nwidth, int nheight) {
  StoreCreateArguments(new_id, new_label, nx, ny, nwidth, nheight);
  Destroy();
  Fl_Button* button = new Fl_Button(x, y, width, height);
  if (label) button->copy_label(EscapeLabel(label).c_str());
  button->callback(ButtonPressed, this);
  static_cast<Fl_Group*>(parent->handle)->add(button);
  button->redraw();
  handle = button;
}

void PUSHBTN::Destroy() {
  delete handle;
  handle = nullptr;
}

void Focus(EDITFLD& control) { control.handle->take_focus(); }
void Focus(PUSHBTN& control) { control.handle->take_focus(); }
void Enable(EDITFLD& control) { control.handle->activate(); }
void Enable(PUSHBTN& control) { control.handle->activate(); }
void Disable(EDITFLD& control) { control.handle->deactivate(); }
void Disable(PUSHBTN& control) { control.handle->deactivate(); }

}  // namespace velko
