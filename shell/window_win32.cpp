// The window objects over USER32 and GDI32, every call the ANSI variant but the field's: it is a
// Unicode window, so that a name typed, pasted or dropped into it that code page 932 cannot
// hold is never best-fitted to another file's name; what it cannot hold becomes '?', which no
// file name has.
#include <cstdlib>
#include <cstring>
#include <string>

#include "wide_text.h"
#include "window.h"
#include "window_common.h"

namespace velko {
namespace {

// Names are resource names or MAKEINTRESOURCE numbers; the system's own need no module.
bool IsSystemIcon(const char* name) {
  ULONG_PTR id = reinterpret_cast<ULONG_PTR>(name);
  return IS_INTRESOURCE(name) && id >= 32512 && id <= 32516;
}

bool IsSystemCursor(const char* name) {
  if (!IS_INTRESOURCE(name)) return false;
  switch (reinterpret_cast<ULONG_PTR>(name)) {
    case 32650:  // IDC_APPSTARTING
    case 32512:  // IDC_ARROW
    case 32515:  // IDC_CROSS
    case 32513:  // IDC_IBEAM
    case 32641:  // IDC_ICON
    case 32648:  // IDC_NO
    case 32640:  // IDC_SIZE
    case 32646:  // IDC_SIZEALL
    case 32643:  // IDC_SIZENESW
    case 32645:  // IDC_SIZENS
    case 32642:  // IDC_SIZENWSE
    case 32644:  // IDC_SIZEWE
    case 32516:  // IDC_UPARROW
    case 32514:  // IDC_WAIT
      return true;
    default: return false;
  }
}

int RegisterRecord(TOPWND& w, InstanceHandle instance, const char* class_name,
                   WindowProcedure procedure, HICON icon, const char* menu_name,
                   const char* cursor_name, int background) {
  w.class_name = class_name;
  w.instance = instance;
  if (cursor_name == nullptr) cursor_name = IDC_ARROW;
  w.window_class.lpfnWndProc = procedure;
  w.window_class.hInstance = instance;
  w.window_class.hIcon = icon;
  w.window_class.hCursor =
      LoadCursorA(IsSystemCursor(cursor_name) ? nullptr : instance, cursor_name);
  w.window_class.hbrBackground = background == -1 ? reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1)
                                                  : static_cast<HBRUSH>(GetStockObject(background));
  w.window_class.lpszMenuName = menu_name;
  w.window_class.lpszClassName = class_name;
  return RegisterClassA(&w.window_class) != 0 ? 0 : -1;
}

}  // namespace

std::wstring Wide(const char* text) {
  const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  std::wstring wide(n > 0 ? n : 1, L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], n);
  wide.resize(wide.size() - 1);
  return wide;
}

std::string Narrow(const std::wstring& text) {
  // No best fit: a character the code page lacks becomes '?', never a look-alike.
  const int n =
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), -1, nullptr, 0, "?", nullptr);
  std::string narrow(n > 0 ? n : 1, '\0');
  if (n > 0) {
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), -1, &narrow[0], n, "?",
                        nullptr);
  }
  narrow.resize(narrow.size() - 1);
  return narrow;
}

TOPWND::~TOPWND() {
  if (handle) DestroyWindow(handle);
  handle = nullptr;
}

int TOPWND::Register(InstanceHandle inst, const char* name, WindowProcedure procedure,
                     const char* icon_name, const char* menu_name, const char* cursor_name,
                     int background) {
  if (icon_name == nullptr) icon_name = IDI_APPLICATION;
  HICON icon = LoadIconA(IsSystemIcon(icon_name) ? nullptr : inst, icon_name);
  return RegisterRecord(*this, inst, name, procedure, icon, menu_name, cursor_name, background);
}

int TOPWND::RegisterWithIcon(InstanceHandle inst, const char* name, WindowProcedure procedure,
                             IconHandle icon, const char* menu_name, const char* cursor_name,
                             int background) {
  return RegisterRecord(*this, inst, name, procedure, icon, menu_name, cursor_name, background);
}

void TOPWND::Create(const char* caption, std::uint32_t style, int nx, int ny, int nwidth,
                    int nheight, std::uint32_t ex_style) {
  style = StoreCreateArguments(caption, style, nx, ny, nwidth, nheight);
  handle = CreateWindowExA(ex_style, class_name, title, style, x, y, width, height, nullptr,
                           nullptr, instance, nullptr);
  created = 1;
  ReadGeometry();
}

void TOPWND::Show(int show_command) {
  ShowWindow(handle, show_command);
  UpdateWindow(handle);
}

void TOPWND::ReadGeometry() {
  if (!created) return;
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof placement;
  GetWindowPlacement(handle, &placement);
  x = placement.rcNormalPosition.left;
  y = placement.rcNormalPosition.top;
  width = placement.rcNormalPosition.right - placement.rcNormalPosition.left;
  height = placement.rcNormalPosition.bottom - placement.rcNormalPosition.top;
  RECT client = {};
  GetClientRect(handle, &client);
  client_width = client.right;
  client_height = client.bottom;
}

void TOPWND::SetClientSize(int w, int h) {
  if (!created) return;
  ReadGeometry();
  // The frame is measured on the live window, not computed from the styles.
  int outer_width = width - client_width + w;
  int outer_height = height - client_height + h;
  MoveWindow(handle, x, y, outer_width, outer_height, TRUE);
  ReadGeometry();
}

void TOPWND::SetClientSizeDlu(int w, int h) {
  if (!created) return;
  LONG units = GetDialogBaseUnits();
  int horizontal = LOWORD(units);
  int vertical = HIWORD(units);
  SetClientSize(w * horizontal / 4, h * vertical / 8);
}

int TOPWND::BeginDraw() {
  if (paint_dc == nullptr) paint_dc = BeginPaint(handle, &paint);
  if (paint_dc == nullptr) return 0;
  SetBkMode(paint_dc, TRANSPARENT);
  return 1;
}

void TOPWND::EndDraw() {
  if (paint_dc == nullptr) return;
  EndPaint(handle, &paint);
  paint_dc = nullptr;
}

WindowHandle EDITFLD::Create(const char* initial, int new_limit) {
  if (new_limit > 0) limit = new_limit;
  if (handle) {
    // A field made again keeps what it showed.
    std::free(text);
    text = nullptr;
    GetText();
    DestroyWindow(handle);
    handle = nullptr;
  } else {
    TakeInitialText(initial);
  }
  handle = CreateWindowExW(ex_style, L"EDIT", Wide(text ? text : "MemoryErr!").c_str(), style, x, y,
                           width, height, parent->handle, nullptr, parent->instance, nullptr);
  if (limit > 0) SendMessageA(handle, EM_LIMITTEXT, limit, 0);
  return handle;
}

const char* EDITFLD::GetText() {
  std::free(text);
  text = nullptr;
  if (handle == nullptr) {
    text = CopyText("");
    return text;
  }
  const LRESULT length = SendMessageW(handle, WM_GETTEXTLENGTH, 0, 0);
  std::wstring wide(length + 1, L'\0');
  wide.resize(SendMessageW(handle, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(&wide[0])));
  const std::string narrow = Narrow(wide);
  text = CopyText(narrow.c_str());
  return text;
}

void EDITFLD::SetText(const char* new_text) {
  std::free(text);
  text = CopyText(new_text);
  if (handle) SendMessageW(handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(new_text).c_str()));
}

void EDITFLD::SetLimit(int new_limit) {
  limit = new_limit;
  if (new_limit >= 0 && handle) SendMessageA(handle, EM_LIMITTEXT, new_limit, 0);
}

void EDITFLD::Destroy() {
  if (handle) DestroyWindow(handle);
  handle = nullptr;
}

void PUSHBTN::Create(int new_id, const char* new_label, int nx, int ny, int nwidth, int nheight) {
  StoreCreateArguments(new_id, new_label, nx, ny, nwidth, nheight);
  if (handle) DestroyWindow(handle);
  handle =
      CreateWindowExA(ex_style, "BUTTON", label, style, x, y, width, height, parent->handle,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), parent->instance, nullptr);
}

void PUSHBTN::Destroy() {
  if (handle) DestroyWindow(handle);
  handle = nullptr;
}

void Focus(EDITFLD& control) { SetFocus(control.handle); }
void Focus(PUSHBTN& control) { SetFocus(control.handle); }
void Enable(EDITFLD& control) { EnableWindow(control.handle, TRUE); }
void Enable(PUSHBTN& control) { EnableWindow(control.handle, TRUE); }
void Disable(EDITFLD& control) { EnableWindow(control.handle, FALSE); }
void Disable(PUSHBTN& control) { EnableWindow(control.handle, FALSE); }

}  // namespace velko
