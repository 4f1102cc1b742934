#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_File_Browser.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/fl_utf8.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "codec/bytes.h"
#include "fileops_native.h"
#include "host_window.h"
#include "layout.h"
#include "objects.h"
#include "ports/texts.h"
#include "window_fltk.h"

namespace velko {
namespace {

constexpr int kMargin = 12;
constexpr int kButtonHeight = 26;

// A modal box owned by the main window: the text, and one row of buttons on the right.
// Return presses the first button; Escape and the close box give the last one.
class MessageBox {
 public:
  MessageBox(Owner owner, const char* text, const char* caption,
             std::initializer_list<const char*> labels)
      : owner_(static_cast<Fl_Window*>(static_cast<Fl_Widget*>(owner))) {
    fl_font(FL_HELVETICA, FL_NORMAL_SIZE);
    // As a Windows box does, a text too wide for the screen is broken into lines that fit.
    text_ = EscapeSymbols(Wrapped(Lines(text), Fl::w() - 4 * kMargin).c_str());
    int tw = 0;
    int th = 0;
    fl_measure(text_.c_str(), tw, th);
    int bw = 0;
    for (const char* label : labels) {
      int w = static_cast<int>(fl_width(label)) + 24;
      bw += (w < 80 ? 80 : w) + 8;
    }
    int w = std::max(tw, bw) + 2 * kMargin;
    int h = th + kButtonHeight + 3 * kMargin;
    window_ = new Fl_Window(std::max(w, 200), h, caption);
    Fl_Box* box = new Fl_Box(kMargin, kMargin, tw, th);
    box->label(text_.c_str());
    box->align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE);
    slots_.resize(labels.size());
    int x = window_->w() - kMargin;
    int index = static_cast<int>(labels.size());
    for (auto it = labels.end(); it != labels.begin();) {
      --it;
      --index;
      int bwidth = std::max(80, static_cast<int>(fl_width(*it)) + 24);
      x -= bwidth;
      Fl_Button* button =
          index == 0 ? new Fl_Return_Button(x, h - kMargin - kButtonHeight, bwidth, kButtonHeight)
                     : new Fl_Button(x, h - kMargin - kButtonHeight, bwidth, kButtonHeight);
      button->copy_label(EscapeLabel(*it).c_str());
      // The callback's data is the button's slot: argument() would overwrite it.
      slots_[index] = {this, index};
      button->callback(Pressed, &slots_[index]);
      x -= 8;
    }
    last_ = static_cast<int>(labels.size()) - 1;
    window_->end();
    window_->callback(Closed, this);
    window_->set_modal();
    if (owner_) {  // centred on the main window, but never past the screen's edge
      const int x = owner_->x() + (owner_->w() - window_->w()) / 2;
      const int y = owner_->y() + (owner_->h() - window_->h()) / 2;
      window_->position(std::max(0, std::min(x, Fl::w() - window_->w())),
                        std::max(0, std::min(y, Fl::h() - window_->h())));
    }
  }
  ~MessageBox() { delete window_; }

  // Shows the box and waits for an answer: the index of the button.
  int Run() {
    window_->show();
    while (window_->shown()) Fl::wait();
    return answer_;
  }

 private:
  // Each line broken where it would pass `width` pixels: after the last blank or path
  // separator that fits, else between two characters.
  static std::string Wrapped(const std::string& text, int width) {
    std::string out, line;
    std::size_t last_break = std::string::npos;  // in `line`, after a blank or a separator
    for (const char* p = text.c_str(); *p != 0;) {
      const int n = std::max(1, fl_utf8len1(*p));
      if (*p == '\n') {
        out += line + '\n', line.clear(), last_break = std::string::npos, ++p;
        continue;
      }
      std::string next = line + std::string(p, n);
      if (!line.empty() && fl_width(next.c_str()) > width) {
        const std::size_t cut = last_break != std::string::npos ? last_break : line.size();
        out += line.substr(0, cut) + '\n';
        line = line.substr(cut);
        last_break = std::string::npos;
        continue;  // the character again, on the new line
      }
      line = next;
      if (*p == ' ' || *p == '/') last_break = line.size();
      p += n;
    }
    return out + line;
  }

  // CR LF and lone CR end lines on Win32; here a line feed does.
  static std::string Lines(const char* text) {
    std::string out;
    for (const char* p = text; *p != 0; ++p) {
      if (*p == '\r') {
        if (p[1] != '\n') out += '\n';
        continue;
      }
      out += *p;
    }
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
  }
  struct Slot {
    MessageBox* box;
    int index;
  };
  static void Pressed(Fl_Widget*, void* data) {
    Slot* slot = static_cast<Slot*>(data);
    slot->box->answer_ = slot->index;
    slot->box->window_->hide();
  }
  static void Closed(Fl_Widget*, void* data) {
    MessageBox* box = static_cast<MessageBox*>(data);
    box->answer_ = box->last_;
    box->window_->hide();
  }

  Fl_Window* owner_;
  std::string text_;
  Fl_Window* window_ = nullptr;
  std::vector<Slot> slots_;  // sized once, so the callbacks' pointers stay valid
  int answer_ = 0;
  int last_ = 0;
};

// A Win32 pattern list ("*.TXT;*.EML", "*.*") in FLTK's syntax. FLTK matches with case, a
// Win32 dialog without: both cases are listed.
std::string ChooserPattern(const char* win32) {
  std::string pattern = win32;
  if (pattern == "*.*") return "*";
  std::string out = "*.{";
  std::size_t start = 0;
  while (start <= pattern.size()) {
    std::size_t end = pattern.find(';', start);
    if (end == std::string::npos) end = pattern.size();
    std::string ext = pattern.substr(start, end - start);
    if (ext.rfind("*.", 0) == 0) ext.erase(0, 2);
    std::string lower = ext;
    for (char& c : lower) c = LowerAscii(c);
    out += (start == 0 ? "" : ",") + ext + "," + lower;
    start = end + 1;
  }
  return out + "}";
}

template <typename T>
T* FindChild(Fl_Group* group) {
  for (int i = 0; i < group->children(); ++i) {
    Fl_Widget* child = group->child(i);
    if (T* found = dynamic_cast<T*>(child)) return found;
    if (Fl_Group* inner = child->as_group()) {
      if (T* found = FindChild<T>(inner)) return found;
    }
  }
  return nullptr;
}

// FLTK's chooser takes a filter's pattern from the first '(' of its menu text, and our
// descriptions hold parentheses of their own. So the menu shows the descriptions exactly,
// and choosing one sets its pattern directly.
struct FilterMenu {
  Fl_File_Chooser* chooser;
  Fl_File_Browser* list;
  std::vector<std::string> patterns;

  void Apply(int index) {
    if (index < 0 || index >= static_cast<int>(patterns.size())) return;
    list->filter(patterns[index].c_str());
    std::string dir = chooser->directory() ? chooser->directory() : ".";
    chooser->directory(dir.c_str());  // reloads the list
  }
  static void Chosen(Fl_Widget* choice, void* data) {
    static_cast<FilterMenu*>(data)->Apply(static_cast<Fl_Choice*>(choice)->value());
  }
};

// The chooser in Japanese, as the Win32 program's dialogs are: the titles and button labels
// those have, and the rest of the chooser's words.
void JapaneseChooser(const char* ok) {
  Fl_File_Chooser::add_favorites_label = "お気に入りに追加";
  Fl_File_Chooser::all_files_label = "すべてのファイル (*)";
  Fl_File_Chooser::custom_filter_label = "ユーザー定義フィルター";
  Fl_File_Chooser::existing_file_label = "既存のファイルを選んでください。";
  Fl_File_Chooser::favorites_label = "お気に入り";
  Fl_File_Chooser::filename_label = "ファイル名:";
  Fl_File_Chooser::filesystems_label = "ファイル システム";
  Fl_File_Chooser::manage_favorites_label = "お気に入りの整理";
  Fl_File_Chooser::new_directory_label = "新しいフォルダーの名前:";
  Fl_File_Chooser::new_directory_tooltip = "新しいフォルダーを作成します。";
  Fl_File_Chooser::preview_label = "プレビュー";
  Fl_File_Chooser::save_label = "保存";
  Fl_File_Chooser::show_label = "種類:";  // where "Show:" stood: no room for more
  Fl_File_Chooser::hidden_label = "隠しファイルを表示";
  fl_ok = ok;
  fl_cancel = "キャンセル";
}

bool Choose(char* path, const FileFilter* filters, std::size_t count, int type, const char* title,
            const char* ok) {
  JapaneseChooser(ok);
  Fl_File_Chooser chooser(".", "*", type, title);
  chooser.show();
  // The chooser keeps its widgets to itself; once shown, its window is the first one.
  Fl_Window* window = Fl::first_window();
  FilterMenu menu{&chooser, window ? FindChild<Fl_File_Browser>(window) : nullptr, {}};
  Fl_Choice* choice = window ? FindChild<Fl_Choice>(window) : nullptr;
  if (menu.list && choice) {
    choice->clear();
    for (std::size_t i = 0; i < count; ++i) {
      // In a menu '&' marks a shortcut and '/' a submenu; both stay plain characters.
      std::string label;
      for (const char* p = filters[i].description; *p != 0; ++p) {
        if (*p == '&') label += '&';
        if (*p == '/' || *p == '\\') label += '\\';
        label += *p;
      }
      choice->add(label.c_str());
      menu.patterns.push_back(ChooserPattern(filters[i].pattern));
    }
    choice->value(0);
    choice->callback(FilterMenu::Chosen, &menu);
    menu.Apply(0);
    if (path[0] != 0) chooser.value(path);  // the reload cleared the proposed name
  }
  while (chooser.shown()) Fl::wait();
  const char* chosen = chooser.value();
  if (chosen == nullptr || chosen[0] == 0) return false;
  std::size_t n = std::strlen(chosen);
  if (n >= kPathSize) return false;
  std::memcpy(path, chosen, n + 1);
  return true;
}

}  // namespace

const char* WindowHost::GetFieldText() { return FILEEDIT.GetText(); }

void WindowHost::SetFieldText(const char* text) { FILEEDIT.SetText(text); }

void WindowHost::ShowMessage(Owner owner, const char* text) {
  MessageBox box(owner, text, kCaptionMessage, {"OK"});
  box.Run();
}

void WindowHost::ShowError(Owner owner, const char* format, const char* path, const char* other) {
  char text[3 * kPathSize];
  FormatError(text, sizeof text, format, path, other);
  MessageBox box(owner, text, kCaptionError, {"OK"});
  box.Run();
}

Answer WindowHost::AskYesNoCancel(Owner owner, const char* text) {
  MessageBox box(owner, text, kCaptionQuestion, {"はい", "いいえ", "キャンセル"});
  switch (box.Run()) {
    case 0: return Answer::kYes;
    case 1: return Answer::kNo;
    default: return Answer::kCancel;
  }
}

bool WindowHost::OpenFileDialog(Owner, char* path) {
  return Choose(path, kOpenFilters, 2, Fl_File_Chooser::SINGLE, "開く", "開く");
}

bool WindowHost::SaveFileDialog(Owner, char* path) {
  // The mail gives the name in Shift_JIS; here files are named in UTF-8.
  char name[kPathSize] = "";
  NativeFileOps().AppendName(name, sizeof name, path, std::strlen(path), false);
  std::memcpy(path, name, sizeof name);
  return Choose(path, kSaveFilters, 1, Fl_File_Chooser::CREATE, "名前を付けて保存", "保存");
}

void WindowHost::CloseMainWindow(Owner owner) {
  DestroyTopWindow(static_cast<WindowHandle>(owner));
}

}  // namespace velko
