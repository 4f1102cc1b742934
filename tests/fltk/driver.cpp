// The FLTK window, worked from a second thread as a person would: real X input through XTest on
// a connection of its own, while the program's loop runs on the main thread of this process.
// Being in the same process, the driver reads every caption, text and widget back exactly; it
// touches FLTK only under Fl::lock(), which the loop gives up while it waits for events.
//
//   velko-fltk-test main ARTDIR      every button, dialog and question; ends with QUIT
//   velko-fltk-test closebox ARTDIR  ends through the close box (WM_DELETE_WINDOW)
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_File_Browser.H>
#include <FL/Fl_File_Input.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <stdlib.h>  // mkdtemp

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "objects.h"
#include "velko_main.h"
#include "window_fltk.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::seconds kDeadline{10};

// ---------------------------------------------------------------------------------------------
// Results

int passed = 0;
int failed = 0;

std::string Show(const std::string& s) {
  // Printable as it is; other bytes in hex, so a stray CR or ESC is seen.
  std::string out;
  for (unsigned char c : s) {
    if (c >= 0x20 && c != 0x7F) {
      out += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

// Printed at once, so a run that crashes still shows how far it came.
bool Check(bool ok, const std::string& name, const std::string& detail = "") {
  (ok ? passed : failed) += 1;
  if (ok) {
    std::printf("ok    %s\n", name.c_str());
  } else {
    std::printf("FAIL  %s: %s\n", name.c_str(), detail.c_str());
  }
  std::fflush(stdout);
  return ok;
}

bool CheckEq(const std::string& expected, const std::string& actual, const std::string& name) {
  return Check(expected == actual, name,
               "expected \"" + Show(expected) + "\", got \"" + Show(actual) + "\"");
}

// A deadline that passed: the rest of the scenario cannot go on.
struct Stuck {};

// ---------------------------------------------------------------------------------------------
// The program's side: loop state, aborting, syncing the display

std::atomic<bool> loop_ended{false};
std::atomic<bool> aborting{false};
std::atomic<int> syncs_done{0};

class Locked {
 public:
  Locked() { Fl::lock(); }
  ~Locked() { Fl::unlock(); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
};

// Runs on the main thread. Whatever is open is hidden again and again (a command may open the
// next dialog once one is gone) and the main window is destroyed once, so the loop ends.
void AbortStep(void*) {
  static bool destroyed = false;
  Fl_Window* main = static_cast<Fl_Window*>(velko::MAINWND.handle);
  std::vector<Fl_Window*> open;
  for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w)) {
    if (w != main) open.push_back(w);
  }
  for (Fl_Window* w : open) w->hide();
  if (!destroyed && main) {
    destroyed = true;
    velko::DestroyTopWindow(main);
  }
  Fl::repeat_timeout(0.1, AbortStep);
}

void AbortStart(void*) { Fl::add_timeout(0.0, AbortStep); }

void RequestAbort() {
  if (!aborting.exchange(true)) Fl::awake(AbortStart, nullptr);
}

void SyncStep(void*) {
  // Everything damaged is drawn, and the server has done it, before the driver goes on.
  Fl::flush();
  XSync(fl_display, False);
  ++syncs_done;
}

std::string Scene();

// Polls `ready` (called under the lock) until it holds; a passed deadline is a failed check.
// `seen`, when given, says what there was instead.
template <class Ready>
void WaitFor(const std::string& what, Ready ready, const std::string* seen = nullptr,
             std::chrono::milliseconds limit = kDeadline) {
  const auto end = Clock::now() + limit;
  for (;;) {
    {
      Locked lock;
      if (ready()) return;
    }
    if (loop_ended) {
      Check(false, "wait: " + what, "the program's loop has ended");
      throw Stuck{};
    }
    if (Clock::now() > end) {
      Check(false, "wait: " + what,
            "nothing after " + std::to_string(limit.count()) + " ms" +
                (seen ? "; there was \"" + Show(*seen) + "\"" : "") + "\n" + Scene());
      throw Stuck{};
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(15));
  }
}

// Three round trips through the loop: pending events handled, damage drawn, the server done.
void Settle() {
  for (int i = 0; i < 3; ++i) {
    int target = syncs_done + 1;
    Fl::awake(SyncStep, nullptr);
    WaitFor("display settled", [&] { return syncs_done >= target; });
  }
}

// ---------------------------------------------------------------------------------------------
// X: the driver's own connection

Display* dpy = nullptr;
std::string artdir;

bool Viewable(Window xid) {
  XWindowAttributes a;
  return XGetWindowAttributes(dpy, xid, &a) != 0 && a.map_state == IsViewable;
}

void ToScreen(Window xid, int x, int y, int& sx, int& sy) {
  Window child;
  XTranslateCoordinates(dpy, xid, DefaultRootWindow(dpy), x, y, &sx, &sy, &child);
}

void Pointer(Window xid, int x, int y) {
  int sx = 0;
  int sy = 0;
  ToScreen(xid, x, y, sx, sy);
  XTestFakeMotionEvent(dpy, -1, sx, sy, CurrentTime);
  XFlush(dpy);
}

void Click(Window xid, int x, int y) {
  Pointer(xid, x, y);
  XTestFakeButtonEvent(dpy, 1, True, CurrentTime);
  XTestFakeButtonEvent(dpy, 1, False, CurrentTime);
  XFlush(dpy);
}

void KeyCode1(KeyCode code, bool down) {
  XTestFakeKeyEvent(dpy, code, down ? True : False, CurrentTime);
}

// One key as typed: Shift (or Control) held where the keymap or the caller needs it.
void Key(KeySym sym, bool control = false) {
  KeyCode code = XKeysymToKeycode(dpy, sym);
  if (code == 0) {
    Check(false, "keymap", "no key for keysym " + std::to_string(sym));
    throw Stuck{};
  }
  bool shift =
      XkbKeycodeToKeysym(dpy, code, 0, 0) != sym && XkbKeycodeToKeysym(dpy, code, 0, 1) == sym;
  KeyCode shift_code = XKeysymToKeycode(dpy, XK_Shift_L);
  KeyCode control_code = XKeysymToKeycode(dpy, XK_Control_L);
  if (control) KeyCode1(control_code, true);
  if (shift) KeyCode1(shift_code, true);
  KeyCode1(code, true);
  KeyCode1(code, false);
  if (shift) KeyCode1(shift_code, false);
  if (control) KeyCode1(control_code, false);
  XFlush(dpy);
}

void Type(const std::string& text) {
  // Printable ASCII keysyms have the character's own code.
  for (unsigned char c : text) Key(static_cast<KeySym>(c));
}

void Screenshot(const std::string& name) {
  Settle();
  std::string path = artdir + "/" + name;
  std::string command = "import -window root '" + path + "'";
  int status = std::system(command.c_str());
  Check(status == 0 && fs::exists(path), "screenshot " + name,
        "import gave status " + std::to_string(status));
}

// ---------------------------------------------------------------------------------------------
// FLTK state, read under the lock

// What a label shows: '@@' is one '@'; where the widget marks shortcuts, '&&' is one '&' and
// a lone '&' only underlines the next character.
struct FlagsOf : Fl_Widget {
  static bool ShortcutLabel(const Fl_Widget* w) {
    return ((w->*(&FlagsOf::flags))() & SHORTCUT_LABEL) != 0;
  }
};

std::string Displayed(const Fl_Widget* w) {
  const char* label = w->label();
  if (label == nullptr) return "";
  bool shortcuts = FlagsOf::ShortcutLabel(w);
  std::string out;
  for (const char* p = label; *p; ++p) {
    if (*p == '@' && p[1] == '@') {
      out += '@';
      ++p;
    } else if (*p == '&' && shortcuts && p[1] != 0) {
      if (p[1] == '&') {
        out += '&';
        ++p;
      }
    } else {
      out += *p;
    }
  }
  return out;
}

struct Widget {
  std::string label;
  int x = 0, y = 0, w = 0, h = 0;  // in the window
};

Widget Read(const Fl_Widget* w) { return {Displayed(w), w->x(), w->y(), w->w(), w->h()}; }

Fl_Window* MainWindow() {
  Fl_Window* main = static_cast<Fl_Window*>(velko::MAINWND.handle);
  return main && main->shown() ? main : nullptr;
}

// Shown windows other than the main one; tooltips and menus (override-redirect) left out.
std::vector<Fl_Window*> Dialogs() {
  std::vector<Fl_Window*> out;
  Fl_Window* main = static_cast<Fl_Window*>(velko::MAINWND.handle);
  for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w)) {
    if (w != main && !w->override()) out.push_back(w);
  }
  return out;
}

template <class T>
void FindAll(Fl_Group* group, std::vector<T*>& out) {
  for (int i = 0; i < group->children(); ++i) {
    Fl_Widget* child = group->child(i);
    if (T* t = dynamic_cast<T*>(child)) out.push_back(t);
    if (Fl_Group* g = child->as_group()) {
      if (!g->as_window()) FindAll(g, out);
    }
  }
}

bool Shown(Window xid) {
  for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w)) {
    if (fl_xid(w) == xid) return true;
  }
  return false;
}

// The one message box: the only dialog, with a text and its buttons left to right.
struct MessageBoxState {
  Window xid = 0;
  std::string caption;
  std::string text;
  std::vector<Widget> buttons;
  Widget text_box;
};

bool ReadMessageBox(MessageBoxState& box) {
  std::vector<Fl_Window*> dialogs = Dialogs();
  if (dialogs.size() != 1) return false;
  Fl_Window* w = dialogs[0];
  std::vector<Fl_Box*> texts;
  std::vector<Fl_Button*> buttons;
  std::vector<Fl_File_Input*> inputs;  // a chooser is no message box
  FindAll(w, texts);
  FindAll(w, buttons);
  FindAll(w, inputs);
  if (texts.size() != 1 || buttons.empty() || !inputs.empty() || !Viewable(fl_xid(w))) {
    return false;
  }
  box.xid = fl_xid(w);
  box.caption = w->label() ? w->label() : "";
  box.text = Displayed(texts[0]);
  box.text_box = Read(texts[0]);
  box.buttons.clear();
  for (Fl_Button* b : buttons) box.buttons.push_back(Read(b));
  std::sort(box.buttons.begin(), box.buttons.end(),
            [](const Widget& a, const Widget& b) { return a.x < b.x; });
  return true;
}

MessageBoxState WaitForMessageBox(const std::string& what) {
  MessageBoxState box;
  WaitFor("message box: " + what, [&] { return ReadMessageBox(box); });
  return box;
}

// FLTK's own file chooser: its file-name input and its OK and Cancel buttons.
struct ChooserState {
  Window xid = 0;
  std::string caption;
  std::string file_name;
  std::string filter;              // the chosen filter as the menu shows it
  std::vector<std::string> files;  // what the list shows
  Widget input, ok, cancel;
};

bool ReadChooser(ChooserState& chooser) {
  std::vector<Fl_Window*> dialogs = Dialogs();
  if (dialogs.size() != 1) return false;
  Fl_Window* w = dialogs[0];
  std::vector<Fl_File_Input*> inputs;
  std::vector<Fl_Return_Button*> oks;
  std::vector<Fl_Button*> buttons;
  std::vector<Fl_Choice*> choices;
  std::vector<Fl_File_Browser*> lists;
  FindAll(w, inputs);
  FindAll(w, lists);
  FindAll(w, oks);
  FindAll(w, buttons);
  FindAll(w, choices);
  if (inputs.size() != 1 || oks.size() != 1 || !Viewable(fl_xid(w))) return false;
  const Fl_Button* cancel = nullptr;
  for (Fl_Button* b : buttons) {
    if (Displayed(b) == "Cancel" && b->visible()) cancel = b;
  }
  if (cancel == nullptr) return false;
  chooser.xid = fl_xid(w);
  chooser.caption = w->label() ? w->label() : "";
  chooser.file_name = inputs[0]->value();
  chooser.filter.clear();
  if (!choices.empty() && choices[0]->text() != nullptr) {
    // A menu shows "&&" as '&' and takes a lone '&' for a shortcut mark.
    for (const char* p = choices[0]->text(); *p; ++p) {
      if (*p == '&' && p[1] != 0) ++p;
      chooser.filter += *p;
    }
  }
  chooser.files.clear();
  if (lists.size() == 1) {
    for (int i = 1; i <= lists[0]->size(); ++i) {
      if (lists[0]->text(i)) chooser.files.push_back(lists[0]->text(i));
    }
  }
  chooser.input = Read(inputs[0]);
  chooser.ok = Read(oks[0]);
  chooser.cancel = Read(cancel);
  return true;
}

// The program sets the chooser's filters up after showing it, and showing it may already run
// the loop once: the chooser is ready for input only once it shows the program's filter.
ChooserState WaitForChooser(const std::string& what, const std::string& filter) {
  ChooserState chooser;
  std::string seen;
  WaitFor(
      "file chooser: " + what,
      [&] {
        if (!ReadChooser(chooser)) return false;
        seen = "filter " + chooser.filter + ", name " + chooser.file_name;
        return chooser.filter == filter;
      },
      &seen);
  return chooser;
}

void WaitGone(Window xid, const std::string& what) {
  WaitFor(what + " closed", [&] { return !Shown(xid); });
}

void ClickCenter(Window xid, const Widget& w) { Click(xid, w.x + w.w / 2, w.y + w.h / 2); }

const Widget* ButtonLabelled(const std::vector<Widget>& buttons, const std::string& label) {
  for (const Widget& b : buttons) {
    if (b.label == label) return &b;
  }
  return nullptr;
}

// What is on the screen, for the message of a passed deadline.
std::string Scene() {
  std::ostringstream out;
  Locked lock;
  for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w)) {
    Window xid = fl_xid(w);
    int sx = 0;
    int sy = 0;
    ToScreen(xid, 0, 0, sx, sy);
    out << "      window \"" << (w->label() ? w->label() : "") << "\" at " << sx << "," << sy << " "
        << w->w() << " x " << w->h() << (Viewable(xid) ? " viewable" : " not viewable")
        << (w->modal() ? " modal" : "") << "\n";
  }
  Window root, child;
  int rx = 0, ry = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  XQueryPointer(dpy, DefaultRootWindow(dpy), &root, &child, &rx, &ry, &wx, &wy, &mask);
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(dpy, &focus, &revert);
  Fl_Widget* f = Fl::focus();
  out << "      pointer " << rx << "," << ry << " over 0x" << std::hex << child << ", X focus 0x"
      << focus << std::dec << ", FLTK focus "
      << (f ? (f->label() ? f->label() : "(no label)") : "none");
  if (const Fl_Input* input = dynamic_cast<const Fl_Input*>(f)) {
    out << " \"" << Show(input->value()) << "\" cursor " << input->position() << " mark "
        << input->mark();
  }
  return out.str();
}

// ---------------------------------------------------------------------------------------------
// Files

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing>";
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Hex(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X ", c);
    out += hex;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

void CheckFile(const std::string& path, const std::string& expected, const std::string& name) {
  std::string actual = ReadFile(path);
  Check(actual == expected, name, "expected " + Hex(expected) + ", got " + Hex(actual));
}

std::string Base64(const std::string& bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    unsigned v = static_cast<unsigned>(static_cast<unsigned char>(bytes[i])) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8u;
    if (i + 2 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[v >> 18 & 63];
    out += kAlphabet[v >> 12 & 63];
    out += i + 1 < bytes.size() ? kAlphabet[v >> 6 & 63] : '=';
    out += i + 2 < bytes.size() ? kAlphabet[v & 63] : '=';
  }
  return out;
}

// Every byte value can turn up, CR, LF, NUL and 0x1A among them.
std::string Bytes(std::size_t n, unsigned seed) {
  std::string s;
  for (std::size_t i = 0; i < n; ++i) s += static_cast<char>((i * 37 + seed) & 0xFF);
  return s;
}

std::string MailPart(const std::string& name, const std::string& bytes) {
  std::string b64 = Base64(bytes);
  std::string out =
      "--b\r\nContent-Type: application/octet-stream\r\n"
      "Content-Transfer-Encoding: base64\r\n"
      "Content-Disposition: attachment; filename=\"" +
      name + "\"\r\n\r\n";
  for (std::size_t i = 0; i < b64.size(); i += 76) out += b64.substr(i, 76) + "\r\n";
  return out + "\r\n";
}

// ---------------------------------------------------------------------------------------------
// The program's texts and layout, written out here rather than taken from its headers

const std::string kCaption = "VELKO 1.0.0";
const std::string kMessage = "VELKO.EXE Message";
const std::string kError = "VELKO.EXE Error Message";
const std::string kQuestion = "VELKO.EXE";
// The question as the box shows it: its CR LF line ends are line feeds.
const std::string kAsk =
    "上書きしてよろしいですか？\n"
    "　上書きなら　「はい」\n"
    "　追記なら　　「いいえ」\n"
    "　中止なら　　「キャンセル」\n"
    "をクリックして下さい。";
const std::string kDoneB64Bin = "Ｂａｓｅ６４展開完了しました";
// The filters the choosers open with.
const std::string kTextFiles = "テキスト&電子メイル ファイル(TXT,TEXT,EML)";
const std::string kAllFiles = "全ファイル(*.*)";

const std::string kNecToJis = "NEC=>JIS 罫線";
const std::string kJisToNec = "JIS=>NEC 罫線";
const std::string kSansyou = "参照";
const std::string kQuit = "QUIT";
const std::string kSjisToJis = "SJIS=>JIS ｺｰﾄﾞ";
const std::string kJisToSjis = "JIS=>SJIS ｺｰﾄﾞ";
const std::string kB64Text = "*行中B64展開";
const std::string kB64Bin = "*B64添付展開";

const Widget kButtons[8] = {
    {kQuit, 280, 10, 60, 30},       {kSansyou, 280, 90, 60, 30},    {kNecToJis, 10, 140, 160, 30},
    {kJisToNec, 180, 140, 160, 30}, {kSjisToJis, 10, 180, 160, 30}, {kJisToSjis, 180, 180, 160, 30},
    {kB64Text, 10, 220, 160, 30},   {kB64Bin, 180, 220, 160, 30},
};

// ---------------------------------------------------------------------------------------------
// Working the main window

Window main_xid = 0;

Window WaitForMainWindow() {
  Window xid = 0;
  WaitFor("main window", [&] {
    Fl_Window* main = MainWindow();
    if (main == nullptr || !Viewable(fl_xid(main))) return false;
    xid = fl_xid(main);
    return true;
  });
  return xid;
}

Widget MainButton(const std::string& label) {
  Widget found;
  bool ok = false;
  {
    Locked lock;
    Fl_Window* main = MainWindow();
    std::vector<Fl_Button*> buttons;
    if (main) FindAll(main, buttons);
    for (Fl_Button* b : buttons) {
      if (Displayed(b) == label) {
        found = Read(b);
        ok = true;
      }
    }
  }
  if (!ok) {
    Check(false, "button " + label, "not in the main window");
    throw Stuck{};
  }
  return found;
}

void Press(const std::string& label) { ClickCenter(main_xid, MainButton(label)); }

std::string FieldValue() {
  const Fl_Input* field = static_cast<const Fl_Input*>(velko::FILEEDIT.handle);
  return field ? field->value() : "";
}

// Into the field as typed: click it, select everything, type over it.
void SetField(const std::string& text) {
  Widget field;
  {
    Locked lock;
    field = Read(velko::FILEEDIT.handle);
  }
  ClickCenter(main_xid, field);
  Key(XK_a, true);
  Key(XK_BackSpace);
  WaitFor("field emptied", [] { return FieldValue().empty(); });
  Type(text);
  std::string seen;
  WaitFor(
      "field holds " + text,
      [&] {
        seen = FieldValue();
        return seen == text;
      },
      &seen);
}

// Closes a box with its OK button, by a click or by Return.
void CloseWithOk(const MessageBoxState& box, bool by_return, const std::string& what) {
  if (by_return) {
    Pointer(box.xid, box.text_box.x + 2, box.text_box.y + 2);
    Key(XK_Return);
  } else {
    const Widget* ok = ButtonLabelled(box.buttons, "OK");
    if (!Check(ok != nullptr, what + ": OK button", "no button labelled OK")) throw Stuck{};
    ClickCenter(box.xid, *ok);
  }
  WaitGone(box.xid, what);
}

void CheckOkBox(const MessageBoxState& box, const std::string& caption, const std::string& text,
                const std::string& what) {
  CheckEq(caption, box.caption, what + ": caption");
  CheckEq(text, box.text, what + ": text");
  Check(box.buttons.size() == 1 && box.buttons[0].label == "OK", what + ": one OK button",
        std::to_string(box.buttons.size()) + " buttons, the first \"" +
            (box.buttons.empty() ? "" : box.buttons[0].label) + "\"");
}

// ---------------------------------------------------------------------------------------------
// Scenario "main"

void CheckStartUp() {
  Locked lock;
  Fl_Window* main = MainWindow();
  CheckEq(kCaption, main->label() ? main->label() : "", "title");
  Check(main->w() == 350 && main->h() == 270, "client size 350 x 270",
        std::to_string(main->w()) + " x " + std::to_string(main->h()));
  XWindowAttributes a;
  XGetWindowAttributes(dpy, main_xid, &a);
  Check(a.width == 350 && a.height == 270, "X window 350 x 270",
        std::to_string(a.width) + " x " + std::to_string(a.height));
  char* name = nullptr;
  XFetchName(dpy, main_xid, &name);
  CheckEq(kCaption, name ? name : "", "X window name");
  if (name) XFree(name);
  XSizeHints hints;
  long supplied = 0;
  bool got = XGetWMNormalHints(dpy, main_xid, &hints, &supplied) != 0;
  bool fixed = got && (hints.flags & PMinSize) && (hints.flags & PMaxSize) &&
               hints.min_width == 350 && hints.max_width == 350 && hints.min_height == 270 &&
               hints.max_height == 270;
  Check(fixed, "not resizable: WM_NORMAL_HINTS min = max = 350 x 270",
        got ? "min " + std::to_string(hints.min_width) + " x " + std::to_string(hints.min_height) +
                  ", max " + std::to_string(hints.max_width) + " x " +
                  std::to_string(hints.max_height) + ", flags " + std::to_string(hints.flags)
            : "no WM_NORMAL_HINTS");
  Check(main->resizable() == nullptr, "no resizable widget");

  std::vector<Fl_Input*> inputs;
  std::vector<Fl_Button*> buttons;
  FindAll(main, inputs);
  FindAll(main, buttons);
  Check(inputs.size() == 1 && buttons.size() == 8, "one field and eight buttons",
        std::to_string(inputs.size()) + " inputs, " + std::to_string(buttons.size()) + " buttons");
  if (!inputs.empty()) {
    Fl_Input* field = inputs[0];
    Check(field == velko::FILEEDIT.handle && field->type() == FL_MULTILINE_INPUT,
          "the field is FILEEDIT, a multi-line input");
    Check(field->x() == 10 && field->y() == 50 && field->w() == 330 && field->h() == 30,
          "field at 10,50 330 x 30",
          std::to_string(field->x()) + "," + std::to_string(field->y()) + " " +
              std::to_string(field->w()) + " x " + std::to_string(field->h()));
    CheckEq("", field->value(), "field starts empty");
    Check(Fl::focus() == field, "focus on the field at start");
  }
  for (const Widget& want : kButtons) {
    const Fl_Button* found = nullptr;
    for (const Fl_Button* b : buttons) {
      if (Displayed(b) == want.label) found = b;
    }
    if (!Check(found != nullptr, "button " + want.label, "no button with this label")) continue;
    Widget got = Read(found);
    Check(got.x == want.x && got.y == want.y && got.w == want.w && got.h == want.h,
          "button " + want.label + " at its place",
          std::to_string(got.x) + "," + std::to_string(got.y) + " " + std::to_string(got.w) +
              " x " + std::to_string(got.h));
  }
}

void EscapeKeepsWindow() {
  Widget field;
  {
    Locked lock;
    field = Read(velko::FILEEDIT.handle);
  }
  ClickCenter(main_xid, field);
  Key(XK_Escape);
  // The key after Escape shows that Escape was handled before it.
  Key(XK_x);
  WaitFor("a key after Escape", [] { return FieldValue() == "x"; });
  bool shown = false;
  {
    Locked lock;
    shown = MainWindow() != nullptr;
  }
  Check(shown && !loop_ended, "Escape does not close the main window");
}

struct Conversion {
  std::string button;
  std::string done;
  std::string file;
  std::string backup;
  std::string input;
  std::string output;
};

void RunConversions(const std::string& dir) {
  const Conversion conversions[] = {
      {kNecToJis, "ＮＥＣからＪＩＳ罫線への変換完了しました", "nec.txt", "nec.BAK",
       "\x86\xA2\x86\xEC\n", "\x84\x9F\x84\xB4\r\n"},
      {kJisToNec, "ＪＩＳからＮＥＣ罫線への変換完了しました", "jis.txt", "jis.BAK",
       "\x84\x9F\x84\xB4\n", "\x86\xA2\x86\xED\r\n"},
      {kSjisToJis, "ＳｈｉｆｔＪＩＳからＪＩＳへの変換完了しました", "sjis.txt", "sjis.BAK",
       "\x8A\xBF\x8E\x9A\n", "\x1B\x24\x42\x34\x41\x3B\x7A\x1B\x28\x4A\r\n"},
      {kJisToSjis, "ＪＩＳからＳｈｉｆｔＪＩＳへの変換完了しました", "kanji.txt", "kanji.BAK",
       "\x1B\x24\x42\x34\x41\x3B\x7A\x1B\x28\x42\n", "\x8A\xBF\x8E\x9A\r\n"},
      {kB64Text, "行中Ｂａｓｅ６４展開完了しました", "subject.txt", "subject.BAK",
       "Subject: =?ISO-2022-JP?B?GyRCNEE7ehsoQg==?=\n",
       "Subject: \x1B\x24\x42\x34\x41\x3B\x7A\x1B\x28\x42\r\n"},
  };
  // An old backup is replaced without a question.
  WriteFile(dir + "/sjis.BAK", "old backup\n");
  bool first = true;
  int n = 0;
  for (const Conversion& c : conversions) {
    std::string path = dir + "/" + c.file;
    WriteFile(path, c.input);
    SetField(path);
    Press(c.button);
    MessageBoxState box = WaitForMessageBox(c.button);
    CheckOkBox(box, kMessage, c.done, c.button);
    if (first) Screenshot("message-box.png");
    first = false;
    // Return closes every other box; a click the rest.
    CloseWithOk(box, n++ % 2 == 1, c.button);
    CheckFile(path, c.output, c.button + ": converted file");
    CheckFile(dir + "/" + c.backup, c.input, c.button + ": backup");
  }
}

void MissingFiles(const std::string& dir) {
  std::string missing = dir + "/missing.txt";
  SetField(missing);
  Press(kSjisToJis);
  MessageBoxState box = WaitForMessageBox("missing file");
  CheckOkBox(box, kError, "C'ant find input file. [" + missing + "]", "missing file");
  CloseWithOk(box, false, "missing-file box");
  Check(!fs::exists(missing) && !fs::exists(dir + "/missing.BAK"), "missing file: nothing written");

  // '@' and '&' are plain characters of a file name.
  std::string odd = dir + "/a@b&c.txt";
  SetField(odd);
  Press(kJisToSjis);
  box = WaitForMessageBox("name with @ and &");
  CheckOkBox(box, kError, "C'ant find input file. [" + odd + "]", "name with @ and &");
  Screenshot("message-box-at-amp.png");
  CloseWithOk(box, true, "box of the name with @ and &");
}

// A full path typed over the chooser's proposal. The chooser takes a lone leading '/' typed
// away from the root for "show the file systems" and empties the field; as a person would,
// the '/' is then typed once more.
void TypeIntoChooser(const ChooserState& chooser, const std::string& path,
                     const std::string& what) {
  Window xid = chooser.xid;
  std::string seen;
  auto holds = [&](auto ok) {
    return [&, ok] {
      ChooserState now;
      if (!ReadChooser(now) || now.xid != xid) return false;
      seen = now.file_name;
      return ok(seen);
    };
  };
  ClickCenter(xid, chooser.input);
  Key(XK_a, true);
  WaitFor(what + ": proposal selected", holds([&](const std::string&) {
            const Fl_Input* input = nullptr;
            std::vector<Fl_File_Input*> inputs;
            for (Fl_Window* w : Dialogs()) FindAll(w, inputs);
            if (inputs.size() == 1) input = inputs[0];
            return input && std::min(input->position(), input->mark()) == 0 &&
                   std::max(input->position(), input->mark()) == input->size();
          }),
          &seen);
  std::string proposal = seen;
  Type("/");
  WaitFor(what + ": '/' typed", holds([&](const std::string& v) { return v != proposal; }), &seen);
  if (seen.empty()) {
    Type("/");
    WaitFor(what + ": '/' typed again", holds([](const std::string& v) { return v == "/"; }),
            &seen);
  }
  Type(path.substr(1));
  WaitFor(what + ": chooser holds the typed path",
          holds([&](const std::string& v) { return v == path; }), &seen);
}

// Answers the save chooser with a full path typed into its file-name input.
void AnswerSaveChooser(const std::string& proposed, const std::string& path,
                       const std::string& what) {
  ChooserState chooser = WaitForChooser(what, kAllFiles);
  CheckEq(proposed, fs::path(chooser.file_name).filename().string(),
          what + ": the chooser proposes the attachment's name");
  TypeIntoChooser(chooser, path, what);
  ClickCenter(chooser.xid, chooser.ok);
  WaitGone(chooser.xid, what + ": chooser");
}

enum class Answer { kYesClick, kYesReturn, kNoClick, kCancelClick, kCancelEscape };

void AnswerQuestion(Answer answer, const std::string& what, bool screenshot) {
  MessageBoxState box = WaitForMessageBox(what + ": overwrite question");
  CheckEq(kQuestion, box.caption, what + ": question caption");
  CheckEq(kAsk, box.text, what + ": question text");
  std::string order;
  for (const Widget& b : box.buttons) order += (order.empty() ? "" : " | ") + b.label;
  CheckEq("はい | いいえ | キャンセル", order, what + ": buttons left to right");
  if (screenshot) Screenshot("overwrite-question.png");
  const char* label = answer == Answer::kNoClick       ? "いいえ"
                      : answer == Answer::kCancelClick ? "キャンセル"
                                                       : "はい";
  if (answer == Answer::kYesReturn || answer == Answer::kCancelEscape) {
    Pointer(box.xid, box.text_box.x + 2, box.text_box.y + 2);
    Key(answer == Answer::kYesReturn ? XK_Return : XK_Escape);
  } else {
    const Widget* b = ButtonLabelled(box.buttons, label);
    if (!Check(b != nullptr, what + ": button " + label, "not in the box")) throw Stuck{};
    ClickCenter(box.xid, *b);
  }
  WaitGone(box.xid, what + ": question");
}

struct Attachment {
  std::string name;   // as the mail gives it
  std::string typed;  // the path typed into the chooser
  std::string file;   // the file the program writes
  std::string bytes;
};

// One run of the extraction; `answers` for the attachments whose file exists, in turn.
void Extract(const std::string& mail, const std::vector<Attachment>& attachments,
             const std::vector<Answer>& answers, const std::string& what, bool screenshot) {
  SetField(mail);
  Press(kB64Bin);
  std::size_t next = 0;
  for (const Attachment& a : attachments) {
    bool exists = fs::exists(a.file);
    AnswerSaveChooser(a.name, a.typed, what + " " + a.name);
    if (exists) {
      AnswerQuestion(answers.at(next++), what + " " + a.name, screenshot);
      screenshot = false;
    }
  }
  MessageBoxState box = WaitForMessageBox(what + ": completion");
  CheckOkBox(box, kMessage, kDoneB64Bin, what + ": completion");
  CloseWithOk(box, false, what + ": completion box");
}

void RunExtraction(const std::string& dir) {
  std::string out = dir + "/out";
  fs::create_directory(out);
  const std::string report = Bytes(150, 1);  // three body lines, the last one short
  const std::string data = Bytes(40, 9);
  std::string mail = dir + "/mail.eml";
  WriteFile(mail,
            "From: a@example.com\r\nSubject: files\r\nMIME-Version: 1.0\r\n"
            "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
            "--b\r\nContent-Type: text/plain\r\n\r\nHello.\r\n\r\n" +
                MailPart("report.pdf", report) + MailPart("data.bin", data) + "--b--\r\n");
  const std::vector<Attachment> attachments = {
      {"report.pdf", out + "/report.pdf", out + "/REPORT.PDF", report},
      {"data.bin", out + "/data.bin", out + "/DATA.BIN", data},
  };
  const std::string& rp = attachments[0].file;
  const std::string& dp = attachments[1].file;

  // New files: no question.
  Extract(mail, attachments, {}, "extraction 1", false);
  CheckFile(rp, report, "extraction 1: REPORT.PDF written");
  CheckFile(dp, data, "extraction 1: DATA.BIN written");
  Check(!fs::exists(out + "/report.pdf") && !fs::exists(out + "/data.bin"),
        "extraction 1: the names are upper-cased");

  // はい overwrites: clicked for the first, Return for the second.
  WriteFile(rp, "old");
  WriteFile(dp, "old");
  Extract(mail, attachments, {Answer::kYesClick, Answer::kYesReturn}, "extraction 2", true);
  CheckFile(rp, report, "extraction 2 (はい): REPORT.PDF overwritten");
  CheckFile(dp, data, "extraction 2 (Return): DATA.BIN overwritten");

  // いいえ appends; キャンセル skips.
  Extract(mail, attachments, {Answer::kNoClick, Answer::kCancelClick}, "extraction 3", false);
  CheckFile(rp, report + report, "extraction 3 (いいえ): REPORT.PDF appended to");
  CheckFile(dp, data, "extraction 3 (キャンセル): DATA.BIN left as it was");

  // Escape is キャンセル.
  Extract(mail, attachments, {Answer::kCancelEscape, Answer::kNoClick}, "extraction 4", false);
  CheckFile(rp, report + report, "extraction 4 (Escape): REPORT.PDF left as it was");
  CheckFile(dp, data + data, "extraction 4 (いいえ): DATA.BIN appended to");
}

void RunOpenDialog(const std::string& dir) {
  std::string before = dir + "/sjis.txt";
  SetField(before);
  Press(kSansyou);
  ChooserState chooser = WaitForChooser("open", kTextFiles);
  CheckEq(before, chooser.file_name, "open dialog proposes the field's name");
  CheckEq(kTextFiles, chooser.filter, "open dialog opens with the first filter");
  auto listed = [&](const std::string& name) {
    return std::find(chooser.files.begin(), chooser.files.end(), name) != chooser.files.end();
  };
  Check(listed("nec.txt") && listed("mail.eml") && !listed("nec.BAK"),
        "open dialog: the filter lists .txt and .eml, not .BAK");
  Screenshot("open-dialog.png");
  std::string chosen = dir + "/nec.txt";
  TypeIntoChooser(chooser, chosen, "open dialog");
  ClickCenter(chooser.xid, chooser.ok);
  WaitGone(chooser.xid, "open dialog");
  WaitFor("the chosen file in the field", [&] { return FieldValue() == chosen; });
  Check(true, "open dialog: the chosen file lands in the field");

  Press(kSansyou);
  chooser = WaitForChooser("open, to cancel", kTextFiles);
  ClickCenter(chooser.xid, chooser.cancel);
  WaitGone(chooser.xid, "open dialog (cancelled)");
  Settle();
  std::string after;
  {
    Locked lock;
    after = FieldValue();
  }
  CheckEq(chosen, after, "open dialog cancelled: field unchanged");
}

void ScenarioMain() {
  std::string dir = fs::current_path().string();
  main_xid = WaitForMainWindow();
  CheckStartUp();
  Screenshot("main-window.png");
  EscapeKeepsWindow();
  RunConversions(dir);
  MissingFiles(dir);
  RunExtraction(dir);
  RunOpenDialog(dir);
  Press(kQuit);
  WaitFor("QUIT ends the loop", [] { return static_cast<bool>(loop_ended); });
}

// ---------------------------------------------------------------------------------------------
// Scenario "closebox"

void ScenarioCloseBox() {
  main_xid = WaitForMainWindow();
  Settle();
  // What a window manager sends when its close box is pressed.
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = main_xid;
  e.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy, main_xid, False, NoEventMask, &e);
  XFlush(dpy);
  WaitFor("the close box ends the loop", [] { return static_cast<bool>(loop_ended); });
  Check(true, "close box ends the program");
}

void Drive(const std::string& scenario) {
  dpy = XOpenDisplay(nullptr);
  if (dpy == nullptr) {
    Check(false, "X display", "cannot open the display");
    RequestAbort();
    return;
  }
  int event_base, error_base, major, minor;
  if (!XTestQueryExtension(dpy, &event_base, &error_base, &major, &minor)) {
    Check(false, "XTest", "the server has no XTEST extension");
    RequestAbort();
    XCloseDisplay(dpy);
    return;
  }
  try {
    if (scenario == "main") {
      ScenarioMain();
    } else {
      ScenarioCloseBox();
    }
  } catch (const Stuck&) {
    RequestAbort();
  }
  XCloseDisplay(dpy);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || (std::string(argv[1]) != "main" && std::string(argv[1]) != "closebox")) {
    std::fprintf(stderr, "usage: velko-fltk-test main|closebox ARTDIR\n");
    return 2;
  }
  std::string scenario = argv[1];
  artdir = argv[2];
  fs::create_directories(artdir);
  artdir = fs::absolute(artdir).string();

  // Every file of the run lives in a fresh folder, also the program's current one.
  char work[] = "/tmp/velko-fltk-XXXXXX";
  if (mkdtemp(work) == nullptr) return 2;
  fs::current_path(work);

  XInitThreads();
  Fl::lock();
  std::thread driver(Drive, scenario);
  int code = velko::RunVelko(argc, argv);
  loop_ended = true;
  Fl::unlock();
  driver.join();
  Check(code == 0, scenario + ": exit code 0", "exit code " + std::to_string(code));
  Check(!aborting, scenario + ": ran to its end", "aborted after a passed deadline");

  fs::current_path("/");
  if (failed == 0) {
    std::error_code ignored;
    fs::remove_all(work, ignored);
  } else {
    std::printf("files kept in %s\n", work);
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  std::fflush(stdout);
  return failed == 0 ? 0 : 1;
}
