// The window objects: a top-level window with its class, an edit field, a push button. Each
// keeps every parameter of its platform window, so it can be described before the window
// exists and the window made again from it.
#ifndef VELKO_SHELL_WINDOW_H
#define VELKO_SHELL_WINDOW_H

#include <cstdint>

#include "native_types.h"

namespace velko {

constexpr std::int32_t kUseDefault = INT32_MIN;  // CW_USEDEFAULT

class TOPWND {
 public:
  TOPWND();
  ~TOPWND();
  TOPWND(const TOPWND&) = delete;
  TOPWND& operator=(const TOPWND&) = delete;

  // Icon and cursor names are resource names or numeric identifiers (null: the defaults);
  // background is a stock-object number, or -1 for the window colour. 0 when registered.
  int Register(InstanceHandle instance, const char* class_name, WindowProcedure procedure,
               const char* icon_name, const char* menu_name, const char* cursor_name,
               int background);
  int RegisterWithIcon(InstanceHandle instance, const char* class_name, WindowProcedure procedure,
                       IconHandle icon, const char* menu_name, const char* cursor_name,
                       int background);
  // Style 0 stands for an overlapped window; negative position or size keeps the stored one.
  void Create(const char* title, std::uint32_t style, int x, int y, int width, int height,
              std::uint32_t ex_style);
  void Show(int show_command);
  void ReadGeometry();
  void SetClientSize(int width, int height);
  void SetClientSizeDlu(int width, int height);
  int BeginDraw();
  void EndDraw();

  std::int32_t created;
  ClassRecord window_class;
  std::int32_t x, y, width, height;
  std::int32_t client_width, client_height;
  WindowHandle handle;
  const char* class_name;
  const char* title;
  InstanceHandle instance;
  DeviceContext paint_dc;
  PaintRecord paint;

 private:
  // Create's bookkeeping before the platform's window is made; gives the style to use.
  std::uint32_t StoreCreateArguments(const char* title, std::uint32_t style, int x, int y,
                                     int width, int height);
};

class EDITFLD {
 public:
  EDITFLD(TOPWND* parent, int x, int y, int width, int height, std::uint32_t ex_style,
          std::uint32_t style);
  ~EDITFLD();
  EDITFLD(const EDITFLD&) = delete;
  EDITFLD& operator=(const EDITFLD&) = delete;

  WindowHandle Create(const char* text, int limit);
  // The current text, owned by the field until its next text operation; null without memory.
  const char* GetText();
  void SetText(const char* text);
  void SetLimit(int limit);
  void SetPosition(int x, int y, int width, int height);
  void Destroy();

  WindowHandle handle;
  std::uint32_t ex_style;
  char* text;
  std::uint32_t style;
  std::int32_t x, y, width, height;
  std::int32_t limit;
  TOPWND* parent;

 private:
  // Create's choice of text for a field that has no window yet.
  void TakeInitialText(const char* initial);
};

class PUSHBTN {
 public:
  PUSHBTN(TOPWND* parent, int x, int y, int width, int height, std::uint32_t ex_style,
          std::uint32_t style);
  ~PUSHBTN();
  PUSHBTN(const PUSHBTN&) = delete;
  PUSHBTN& operator=(const PUSHBTN&) = delete;

  // -1 keeps the stored identifier, position or size; a null label keeps the stored one.
  void Create(int id, const char* label, int x, int y, int width, int height);
  void SetPosition(int x, int y, int width, int height);
  void Destroy();

  WindowHandle handle;
  std::uint32_t ex_style;
  std::uint32_t style;
  std::int32_t x, y, width, height;
  TOPWND* parent;
  std::int32_t id;
  char* label;

 private:
  // Create's bookkeeping before the platform's window is made.
  void StoreCreateArguments(int id, const char* label, int x, int y, int width, int height);
};

void Focus(EDITFLD& control);
void Focus(PUSHBTN& control);
void Enable(EDITFLD& control);
void Enable(PUSHBTN& control);
void Disable(EDITFLD& control);
void Disable(PUSHBTN& control);

}  // namespace velko

#endif
