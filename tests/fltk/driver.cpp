// The Linux window worked by real X input (xdotool) while RunVelko runs its loop: a timer in the
// loop, alive in modal boxes too, acts on each row once the window on top shows what it expects.
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Input.H>
#include <FL/x.H>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "objects.h"
#include "velko_main.h"

namespace {

enum Act { kShot, kFits, kType, kClick, kKey, kClose, kDrop };  // kFits: a shot once on screen
// Once the window on top shows caption, text (its input's value, else its text) and items (its
// buttons left to right, or its filters, '>' the chosen one; kShot: its layout), act with arg.
struct Row {
  Act act;
  const char* arg;  // text typed, button clicked, key pressed, PNG taken
  const char *caption = nullptr, *text = nullptr, *items = nullptr;  // null: not looked at
};

// clang-format off
const char kMain[] = "VELKO 1.0.0", kMsg[] = "VELKO.EXE Message", kOpen[] = "開く";
const char kErr[] = "VELKO.EXE Error Message";
const std::string kLongPathText = "file:///tmp/" + std::string(300, 'p') + "/" + std::string(60, 'q') + "\r\n";
const char* const kLongPath = kLongPathText.c_str();
const char kMail[] = "~/mail.eml";  // ~: HOME, the folder it runs in
const char kAsk[] = "上書きしてよろしいですか？\n　上書きなら　「はい」\n　追記なら　　「いいえ」\n"
                    "　中止なら　　「キャンセル」\nをクリックして下さい。";
const Row kSaveAs = {kClick, "保存", "名前を付けて保存", "~/report.txt", ">全ファイル(*.*)"};
Row Done(const char* text) { return {kClick, "OK", kMsg, text, "OK"}; }
Row Answer(const char* b) { return {kClick, b, "VELKO.EXE", kAsk, "はい|いいえ|キャンセル"}; }

const std::map<std::string, std::vector<Row>> kScenarios = {
  {"main", {
    {kShot, "main-window.png", kMain, "",  // the widgets as made (the field: no label); the window
     "NEC=>JIS 罫線 10,140 160x30|JIS=>NEC 罫線 180,140 160x30|参照 280,90 60x30|QUIT 280,10 60x30|"
     "SJIS=>JIS ｺｰﾄﾞ 10,180 160x30|JIS=>SJIS ｺｰﾄﾞ 180,180 160x30|*行中B64展開 10,220 160x30|"
     "*B64添付展開 180,220 160x30| 10,50 330x30 focused|350x270 min 350x270 max 350x270 class velko"},
    {kKey, "Escape", kMain}, {kKey, "Return", kMain, ""}, {kType, "nec.txt", kMain, ""},  // stays open;
    {kClick, "NEC=>JIS 罫線"},                                                          // no line break
    {kShot, "message-box.png", kMsg}, Done("ＮＥＣからＪＩＳ罫線への変換完了しました"),
    {kType, "jis.txt"}, {kClick, "JIS=>NEC 罫線"},
    {kKey, "Return", kMsg, "ＪＩＳからＮＥＣ罫線への変換完了しました", "OK"},
    {kType, "sjis.txt"}, {kClick, "SJIS=>JIS ｺｰﾄﾞ"},
    Done("ＳｈｉｆｔＪＩＳからＪＩＳへの変換完了しました"), {kType, "kanji.txt"},
    {kClick, "JIS=>SJIS ｺｰﾄﾞ"}, Done("ＪＩＳからＳｈｉｆｔＪＩＳへの変換完了しました"),
    {kType, "subject.txt"}, {kClick, "*行中B64展開"}, Done("行中Ｂａｓｅ６４展開完了しました"),
    {kType, "a@b&c.txt"}, {kClick, "JIS=>SJIS ｺｰﾄﾞ"},  // no such file
    {kClick, "OK", "VELKO.EXE Error Message", "C'ant find input file. [a@b&c.txt]", "OK"},
    {kClick, "参照", kMain, "a@b&c.txt"}, {kShot, "open-chooser.png", kOpen},
    {kType, "mail.eml", kOpen, "~/a@b&c.txt",
     ">テキスト&電子メイル ファイル(TXT,TEXT,EML)|全ファイル(*.*)"},
    {kClick, "開く", kOpen, kMail}, {kClick, "参照", kMain, kMail}, {kClick, "キャンセル", kOpen, kMail},
    // Four attachments, all named report.txt: "A" is new, "B" overwrites, "C" appends, "D" not.
    {kClick, "*B64添付展開", kMain, kMail}, kSaveAs, kSaveAs, {kShot, "question.png", "VELKO.EXE"},
    Answer("はい"), kSaveAs, Answer("いいえ"), kSaveAs, Answer("キャンセル"),
    Done("Ｂａｓｅ６４展開完了しました"),
    // A path too long for one line: the box breaks it and stays on the screen.
    {kDrop, kLongPath, kMain}, {kClick, "JIS=>SJIS ｺｰﾄﾞ"}, {kFits, "long-path-box.png", kErr},
    {kClick, "OK", kErr}, {kClick, "QUIT", kMain}}},
  {"closebox", {{kClose, "close box", kMain, ""}}},  // what a window manager's close box sends
  // velko FILE starts with FILE in the field; a file dropped on the window replaces it.
  {"argument", {{kDrop, "file:///tmp/a%20b.txt\r\nfile:///c\r\n", kMain, "given file.txt"},
                {kClick, "QUIT", kMain, "/tmp/a b.txt"}}},
};
// clang-format on

struct Run {
  const std::vector<Row>& rows;
  std::string art;
  size_t at = 0, ticks = 0;
  Window answered = 0;  // the dialog the last row answered: nothing counts until it is gone
};

// As drawn: "@@" is '@', '@' starts a symbol; in buttons and menus "&&" is '&', '&' underlines.
std::string Shown(const char* s, bool amp) {
  std::string out;
  for (; s && *s && (*s != '@' || s[1] == '@'); ++s) {
    if (!amp || *s != '&' || s[1] == '&') out += *s;
    if (s[1] == *s && (*s == '@' || (amp && *s == '&'))) ++s;
  }
  return out;
}

std::string N(long v) { return std::to_string(v); }

struct Seen {  // what the window on top shows, and the widget the row acts on
  std::string caption, text, items, filters, layout;
  std::map<int, std::string> buttons;  // by x
  Fl_Widget *input = nullptr, *target = nullptr;

  void Scan(Fl_Group* g, const Row& r) {
    for (int i = 0; i < g->children(); ++i) {
      Fl_Widget* c = g->child(i);
      Fl_Choice* menu = dynamic_cast<Fl_Choice*>(c);
      bool button = dynamic_cast<Fl_Button*>(c);
      layout += Shown(c->label(), true) + " " + N(c->x()) + "," + N(c->y()) + " " + N(c->w()) +
                "x" + N(c->h()) + (Fl::focus() == c ? " focused|" : "|");
      if (!input && (input = dynamic_cast<Fl_Input*>(c))) text = static_cast<Fl_Input*>(c)->value();
      if (!input && !button) text = Shown(c->label(), false);
      if (button) buttons[c->x()] = Shown(c->label(), true);
      if (button && r.act == kClick && buttons[c->x()] == r.arg) target = c;
      for (int j = 0; menu && j + 1 < menu->size(); ++j)
        filters += (j == menu->value() ? "|>" : "|") + Shown(menu->text(j), true);
      if (c->as_group()) Scan(c->as_group(), r);
    }
  }
};

// Input by xdotool (no window manager: keys go where the pointer is); gives a failed command.
std::string Act(Run& run, const Row& r, Fl_Widget* c) {
  Fl_Window* w = c->top_window();
  int x = c->w() / 2 + (c == w ? 0 : c->x()), y = c->h() / 2 + (c == w ? 0 : c->y());
  std::string cmd = "xdotool mousemove --window " + N(fl_xid(w)) + " " + N(x) + " " + N(y);
  if (r.act == kType || r.act == kClick) cmd += " click 1";
  if (r.act == kType) cmd += " key ctrl+a type -- '" + std::string(r.arg) + "'";  // over the old
  if (r.act == kKey) cmd += " key " + std::string(r.arg);
  if (r.act <= kFits) cmd = "import -window " + N(fl_xid(w)) + " " + run.art + "/" + r.arg;
  XSync(fl_display, False);  // what a screenshot shows has reached the server
  run.answered = (r.act == kClick || r.act == kKey) && w != velko::MAINWND.handle ? fl_xid(w) : 0;
  if (r.act == kClose) Fl::handle(FL_CLOSE, w);  // what FLTK makes of WM_DELETE_WINDOW
  if (r.act == kDrop) {  // what FLTK makes of a drop: a release, then the URI list as a paste
    Fl::e_text = const_cast<char*>(r.arg), Fl::e_length = static_cast<int>(std::strlen(r.arg));
    w->handle(FL_DND_RELEASE), w->handle(FL_PASTE);
  }
  return r.act >= kClose || std::system(cmd.c_str()) == 0 ? "" : cmd;
}

void Tick(void* data) {
  Run& run = *static_cast<Run*>(data);
  Fl::repeat_timeout(0.02, Tick, data);
  const Row& r = run.at < run.rows.size() ? run.rows[run.at] : Row{kClose, "the end", "-"};
  Fl_Window* w = Fl::modal() ? Fl::modal() : static_cast<Fl_Window*>(velko::MAINWND.handle);
  Seen s;
  if (XWindowAttributes a{}; w && w->shown() && XGetWindowAttributes(fl_display, fl_xid(w), &a) &&
                             a.map_state == IsViewable && fl_xid(w) != run.answered) {
    XSizeHints h{};  // what a window manager is told of the size
    long given = 0;
    s.Scan(w, r);
    s.caption = w->label() ? w->label() : "";
    if (r.act != kClick) s.target = r.act == kType ? s.input : w;
    XGetWMNormalHints(fl_display, fl_xid(w), &h, &given);
    XClassHint hint{};  // how desktops group and name it
    XGetClassHint(fl_display, fl_xid(w), &hint);
    s.layout += N(a.width) + "x" + N(a.height) + " min " + N(h.min_width) + "x" + N(h.min_height) +
                " max " + N(h.max_width) + "x" + N(h.max_height) + " class " +
                (hint.res_name ? hint.res_name : "");
  }
  for (auto& [x, label] : s.buttons) s.items += (s.items.empty() ? "" : "|") + label;
  if (!s.filters.empty()) s.items = s.filters.substr(1);
  if (r.act == kShot) s.items = s.layout;
  const bool on_screen = w && w->x() >= 0 && w->x() + w->w() <= Fl::w();
  std::string text = r.text ? r.text : "";
  if (text[0] == '~') text = std::getenv("HOME") + text.substr(1);
  bool ready = s.target && (!r.caption || s.caption == r.caption) && (!r.text || s.text == text) &&
               (!r.items || s.items == r.items) && (r.act > kFits || run.ticks > 5) &&  // drawn
               (r.act != kFits || on_screen);
  if (!ready && ++run.ticks < 250) return;
  std::string failed = ready ? Act(run, r, s.target)
                             : "row " + N(run.at) + " " + r.arg + " waits; on top: " + s.caption +
                                   "|" + s.text + "|" + s.items;
  if (!failed.empty()) Fl::fatal("FAIL: %s", failed.c_str());
  run.ticks = 0;
  ++run.at;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || !kScenarios.count(argv[1])) return 2;
  Run run{kScenarios.at(argv[1]), argv[2]};
  Fl::add_timeout(0.02, Tick, &run);
  char* args[] = {argv[0], const_cast<char*>("given file.txt")};
  int code = velko::RunVelko(std::string(argv[1]) == "argument" ? 2 : 1, args);
  std::cout << argv[1] << ": exit code " << code << ", " << run.at << " rows done" << std::endl;
  return code == 0 && run.at == run.rows.size() ? 0 : 1;
}
