// The window objects on their own, in process: their defaults, what they store, and the Win32
// calls they make. A console program run under Wine by wine_gui_test.sh.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "command.h"
#include "fileops_native.h"
#include "window.h"

namespace {

int passed = 0;
int failed = 0;

void Check(bool ok, const char* what) {
  if (ok) {
    ++passed;
  } else {
    ++failed;
    std::printf("FAIL: %s\n", what);
  }
}

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(window, message, wparam, lparam);
}

void RegisterDefaults(HINSTANCE instance) {
  using velko::TOPWND;
  TOPWND fresh;
  Check(fresh.created == 0 && fresh.handle == nullptr && fresh.paint_dc == nullptr,
        "a new TOPWND has no window");
  Check(fresh.x == CW_USEDEFAULT && fresh.y == CW_USEDEFAULT && fresh.width == CW_USEDEFAULT &&
            fresh.height == CW_USEDEFAULT && fresh.client_width == 0 && fresh.client_height == 0,
        "a new TOPWND's geometry is CW_USEDEFAULT");
  fresh.ReadGeometry();
  fresh.SetClientSize(10, 10);
  fresh.SetClientSizeDlu(10, 10);
  Check(fresh.x == CW_USEDEFAULT && fresh.client_width == 0, "no geometry changes before Create");

  TOPWND plain;
  Check(plain.Register(instance, "VelkoTest1", Procedure, nullptr, nullptr, nullptr, -1) == 0,
        "Register gives 0");
  Check(plain.window_class.hIcon == LoadIconA(nullptr, IDI_APPLICATION),
        "a null icon name is the system's IDI_APPLICATION");
  Check(plain.window_class.hCursor == LoadCursorA(nullptr, IDC_ARROW),
        "a null cursor name is the system's IDC_ARROW");
  Check(plain.window_class.hbrBackground == reinterpret_cast<HBRUSH>(6),
        "background -1 is the brush value 6");
  Check(plain.window_class.style == 0 && plain.window_class.cbClsExtra == 0 &&
            plain.window_class.cbWndExtra == 0,
        "class style and extra bytes stay 0");
  Check(std::strcmp(plain.class_name, "VelkoTest1") == 0 && plain.instance == instance,
        "Register stores the class name and the instance");
  TOPWND twice;
  Check(twice.Register(instance, "VelkoTest1", Procedure, nullptr, nullptr, nullptr, -1) == -1,
        "a class the platform refuses gives -1");

  TOPWND system;
  system.Register(instance, "VelkoTest2", Procedure, IDI_QUESTION, nullptr, IDC_WAIT, WHITE_BRUSH);
  Check(system.window_class.hIcon == LoadIconA(nullptr, IDI_QUESTION) &&
            system.window_class.hIcon != nullptr,
        "a system icon is loaded without a module");
  Check(system.window_class.hCursor == LoadCursorA(nullptr, IDC_WAIT),
        "a system cursor is loaded without a module");
  Check(system.window_class.hbrBackground == GetStockObject(WHITE_BRUSH),
        "another background is a stock object");
  TOPWND own;
  own.Register(instance, "VelkoTest3", Procedure, nullptr, nullptr, IDC_HAND, -1);
  Check(own.window_class.hCursor == nullptr,
        "IDC_HAND is not among the system cursors: looked up in the program, which has none");
  HICON icon = LoadIconA(nullptr, IDI_ASTERISK);
  TOPWND with_icon;
  Check(with_icon.RegisterWithIcon(instance, "VelkoTest4", Procedure, icon, nullptr, nullptr, -1) ==
                0 &&
            with_icon.window_class.hIcon == icon,
        "RegisterWithIcon takes the handle as it is");
}

void WindowAndControls(HINSTANCE instance) {
  using velko::EDITFLD;
  using velko::PUSHBTN;
  using velko::TOPWND;
  TOPWND top;
  top.Register(instance, "VelkoTest5", Procedure, nullptr, nullptr, nullptr, -1);
  top.Create("test", 0, -1, -1, -1, -1, 0);
  Check(top.created == 1 && top.handle != nullptr, "Create makes the window");
  Check((GetWindowLongA(top.handle, GWL_STYLE) & WS_OVERLAPPEDWINDOW) == WS_OVERLAPPEDWINDOW,
        "style 0 is an overlapped window");
  Check(top.x != CW_USEDEFAULT && top.width > 0, "the platform's position and size are read back");
  top.Show(SW_SHOWNORMAL);

  top.SetClientSize(200, 100);
  RECT client;
  GetClientRect(top.handle, &client);
  Check(client.right == 200 && client.bottom == 100 && top.client_width == 200 &&
            top.client_height == 100,
        "SetClientSize gives the client area asked for");
  LONG units = GetDialogBaseUnits();
  top.SetClientSizeDlu(100, 100);
  GetClientRect(top.handle, &client);
  Check(client.right == 100 * LOWORD(units) / 4 && client.bottom == 100 * HIWORD(units) / 8,
        "SetClientSizeDlu converts with the dialog base units");

  InvalidateRect(top.handle, nullptr, TRUE);
  Check(top.BeginDraw() == 1 && top.paint_dc != nullptr, "BeginDraw begins painting");
  HDC dc = top.paint_dc;
  Check(GetBkMode(dc) == TRANSPARENT, "painting has a transparent background");
  Check(top.BeginDraw() == 1 && top.paint_dc == dc, "a second BeginDraw keeps the context");
  top.EndDraw();
  Check(top.paint_dc == nullptr, "EndDraw drops the context");

  EDITFLD field(&top, 5, 6, 100, 20, WS_EX_CLIENTEDGE, WS_CHILD | WS_VISIBLE | ES_MULTILINE);
  Check(field.handle == nullptr && field.text == nullptr && field.limit == -1 && field.x == 5 &&
            field.y == 6 && field.width == 100 && field.height == 20 && field.parent == &top,
        "a new EDITFLD stores its parent and position");
  Check(std::strcmp(field.GetText(), "") == 0, "GetText without a window is empty");
  field.SetText("abc");
  Check(std::strcmp(field.text, "abc") == 0, "SetText keeps a copy");
  field.Create(nullptr, 0);
  HWND plain_edit = CreateWindowExA(0, "EDIT", "", WS_CHILD | ES_MULTILINE, 0, 0, 10, 10,
                                    top.handle, nullptr, instance, nullptr);
  Check(SendMessageA(field.handle, EM_GETLIMITTEXT, 0, 0) ==
            SendMessageA(plain_edit, EM_GETLIMITTEXT, 0, 0),
        "a limit of 0 leaves the platform's own");
  DestroyWindow(plain_edit);
  Check(std::strcmp(field.GetText(), "abc") == 0, "the stored text becomes the window's");
  HWND first = field.handle;
  field.Create("not used", 256);
  Check(!IsWindow(first) && std::strcmp(field.GetText(), "abc") == 0,
        "a field made again keeps what it showed");
  Check(SendMessageA(field.handle, EM_GETLIMITTEXT, 0, 0) == 256 && field.limit == 256,
        "the limit is sent");
  std::string long_text(300, 'x');
  field.SetText(long_text.c_str());
  Check(std::strlen(field.GetText()) == 300, "the limit does not bind SetText");
  field.SetPosition(-1, 9, -1, -1);
  Check(field.x == 5 && field.y == 9 && field.width == 100, "SetPosition keeps what is -1");

  PUSHBTN button(&top, 1, 2, 3, 4, 0, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON);
  Check(button.id == 100 && button.label == nullptr && button.handle == nullptr &&
            button.x == 1 && button.height == 4,
        "a new PUSHBTN has identifier 100");
  button.Create(-1, nullptr, -1, -1, -1, -1);
  Check(button.id == 100 && GetDlgCtrlID(button.handle) == 100,
        "Create with -1 keeps the identifier");
  HWND old = button.handle;
  button.Create(7, "OK", 10, -1, 50, -1);
  char label[16] = {};
  GetWindowTextA(button.handle, label, sizeof label);
  Check(!IsWindow(old) && button.id == 7 && GetDlgCtrlID(button.handle) == 7 &&
            std::strcmp(label, "OK") == 0,
        "Create again replaces the window with the new identifier and label");
  Check(button.x == 10 && button.y == 2 && button.width == 50 && button.height == 4,
        "Create keeps what is -1");
  button.Create(-1, nullptr, -1, -1, -1, -1);
  GetWindowTextA(button.handle, label, sizeof label);
  Check(std::strcmp(label, "OK") == 0, "a null label keeps the stored one");

  velko::Disable(button);
  Check(!IsWindowEnabled(button.handle), "Disable");
  velko::Enable(button);
  Check(IsWindowEnabled(button.handle) != 0, "Enable");
  velko::Focus(field);
  Check(GetFocus() == field.handle, "Focus");

  button.Destroy();
  Check(button.handle == nullptr && button.id == 7 && std::strcmp(button.label, "OK") == 0,
        "Destroy keeps the fields");
  button.Create(-1, nullptr, -1, -1, -1, -1);
  Check(IsWindow(button.handle) && GetDlgCtrlID(button.handle) == 7, "made again after Destroy");
}

// Takes the field's text and records the one box.
class BoxHost : public velko::Host {
 public:
  explicit BoxHost(const char* field) : field_(field) {}
  std::string text;
  int boxes = 0;
  const char* GetFieldText() override { return field_; }
  void SetFieldText(const char*) override {}
  void ShowMessage(velko::Owner, const char* t, const char*) override {
    text = t;
    ++boxes;
  }
  velko::Answer AskYesNoCancel(velko::Owner, const char*, const char*) override {
    return velko::Answer::kCancel;
  }
  bool OpenFileDialog(velko::Owner, char*) override { return false; }
  bool SaveFileDialog(velko::Owner, char*) override { return false; }
  void CloseMainWindow(velko::Owner) override {}

 private:
  const char* field_;
};

std::string Slurp(const char* path) {
  char bytes[64] = {};
  DWORD got = 0;
  HANDLE file = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ReadFile(file, bytes, sizeof bytes - 1, &got, nullptr);
  CloseHandle(file);
  return bytes;
}

// Windows drops trailing blanks and dots: "a.BAK " is a.BAK itself, and its backup name a.BAK
// must not be removed as an old backup. "a.BAK." has the backup a.BAK.BAK and converts.
void BackupIdentity() {
  struct {
    const char* target;
    const char* box;
    const char* original_in;
  } const cases[] = {
      {"velko-a.BAK ", "Backup name err. [velko-a.BAK ]\n", "velko-a.BAK"},
      {"velko-a.BAK.", "ＳｈｉｆｔＪＩＳからＪＩＳへの変換完了しました", "velko-a.BAK.BAK"},
  };
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  SetCurrentDirectoryA(dir);
  for (const auto& c : cases) {
    HANDLE file = CreateFileA("velko-a.BAK", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD put = 0;
    WriteFile(file, "keep", 4, &put, nullptr);
    CloseHandle(file);
    BoxHost host(c.target);
    velko::Services sv{host, velko::NativeFileOps()};
    velko::RunCommand(velko::BTN_SJTOJIS, nullptr, sv);
    Check(host.boxes == 1 && host.text == c.box && Slurp(c.original_in) == "keep", c.target);
    DeleteFileA("velko-a.BAK");
    DeleteFileA("velko-a.BAK.BAK");
  }
}

}  // namespace

int main() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  RegisterDefaults(instance);
  WindowAndControls(instance);
  BackupIdentity();
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
