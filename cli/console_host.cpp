#include "console_host.h"

#include <cstring>

#include "console.h"
#include "jis.h"
#include "names.h"
#include "texts.h"

namespace velko {
namespace {

constexpr std::size_t kMaxComponent = 255;  // bytes a file system takes for one name

// Cut to kMaxComponent bytes, keeping the extension and whole characters, UTF-8 or Shift_JIS.
void Shorten(std::string& name, bool sjis) {
  if (name.size() <= kMaxComponent) return;
  std::size_t dot = name.rfind('.');
  std::string ext = dot != std::string::npos && dot > 0 && name.size() - dot <= 32
                        ? name.substr(dot)
                        : std::string();
  std::size_t keep = 0;
  for (std::size_t i = 0; i < name.size() && i <= kMaxComponent - ext.size();) {
    keep = i;
    unsigned char c = static_cast<unsigned char>(name[i]);
    i += sjis ? (IsSjisLeadByte(c) ? 2 : 1) : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  }
  name = name.substr(0, keep) + ext;
}

// A line typed at the terminal, without its line end; false at the end of input.
bool ReadAnswer(std::string* answer) {
  char line[256];
  if (std::fgets(line, sizeof line, stdin) == nullptr) return false;
  *answer = line;
  while (!answer->empty() && (answer->back() == '\n' || answer->back() == '\r')) answer->pop_back();
  return true;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return s;
}

}  // namespace

std::string SafeBaseName(const char* proposed, PathStyle style, bool decoded) {
  // '/' always splits: no Shift_JIS trail byte is 0x2F, so a lead byte before one must not
  // smuggle a folder in. '\' can be a trail byte (表 is 95 5C): Shift_JIS names are walked a
  // character at a time for it; a decoded name here is UTF-8, which no lead byte table splits.
  const bool sjis = !decoded || style == PathStyle::kWin32;
  std::size_t start = 0;
  for (std::size_t i = 0; proposed[i] != 0; ++i) {
    unsigned char c = static_cast<unsigned char>(proposed[i]);
    if (c == '/') {
      start = i + 1;
    } else if (sjis && IsSjisLeadByte(c) && proposed[i + 1] != 0 && proposed[i + 1] != '/') {
      ++i;
    } else if (c == '\\') {
      start = i + 1;
    }
  }
  std::string base = proposed + start;
  if (base.size() >= 2 && base[1] == ':' &&
      ((base[0] >= 'A' && base[0] <= 'Z') || (base[0] >= 'a' && base[0] <= 'z'))) {
    base.erase(0, 2);
  }
  if (!decoded) base = PlatformFileName(base.c_str());
  if (base == "." || base == "..") return "";
  for (unsigned char c : base) {
    if (c < 0x20 || c == 0x7F) return "";
  }
  Shorten(base, style == PathStyle::kWin32);
  return base;
}

void ConsoleHost::Line(std::FILE* stream, const std::string& text) {
  std::string line = ForConsole(text) + "\n";
  std::fflush(stdout);  // the two streams stay in order on a terminal
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fflush(stream);
}

void ConsoleHost::Error(const std::string& text) {
  error_shown_ = true;
  Line(stderr, "velko-cli: " + field_ + ": " + text);
}

void ConsoleHost::Warn(const std::string& about, const std::string& text) {
  Line(stderr, "velko-cli: " + about + ": " + text);
}

void ConsoleHost::Notice(const std::string& about, const std::string& text) {
  if (notices_ && !quiet_) Line(stdout, about + ": " + text);
}

void ConsoleHost::ShowMessage(Owner, const char* text, const char* caption) {
  std::string line = text;
  if (!line.empty() && line.back() == '\n') line.pop_back();
  if (std::strcmp(caption, kCaptionError) == 0) return Error(line);
  Notice(field_, line);
}

Answer ConsoleHost::AskYesNoCancel(Owner, const char*, const char*) { return Answer::kCancel; }

Answer ConsoleHost::AskOverwrite(Owner, char* path) {
  switch (policy_) {
    case ExistsPolicy::kOverwrite: return Answer::kYes;
    case ExistsPolicy::kAppend: return Answer::kNo;
    case ExistsPolicy::kSkip:
      why_ = std::string(path) + " exists (--exists skip)";
      return Answer::kCancel;
    case ExistsPolicy::kRename: {
      // REPORT(1).PDF, REPORT(2).PDF, ...: the first name that is free.
      std::string p = path;
      std::size_t slash = p.find_last_of("/\\"), dot = p.rfind('.');
      if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = p.size();
      for (int n = 1; n < 10000; ++n) {
        std::string name = p.substr(0, dot) + "(" + std::to_string(n) + ")" + p.substr(dot);
        if (name.size() >= kPathSize) break;
        if (!files_.Exists(name.c_str())) {
          std::memcpy(path, name.c_str(), name.size() + 1);
          return Answer::kYes;
        }
      }
      why_ = std::string(path) + " exists, and no numbered name is free";
      return Answer::kCancel;
    }
    case ExistsPolicy::kAsk: break;
  }
  if (!IsTerminal(0)) {
    why_ = std::string(path) + " exists, and no terminal to ask (see --exists)";
    return Answer::kCancel;
  }
  for (;;) {
    std::fputs(ForConsole(std::string(path) + " exists: [o]verwrite, [a]ppend, [s]kip? ").c_str(),
               stderr);
    std::fflush(stderr);
    std::string answer;
    why_ = std::string(path) + " exists, and you said skip";
    if (!ReadAnswer(&answer)) return Answer::kCancel;  // the end of input: skip
    answer = Lower(answer);
    if (answer == "o" || answer == "overwrite") return Answer::kYes;
    if (answer == "a" || answer == "append") return Answer::kNo;
    if (answer == "s" || answer == "skip") return Answer::kCancel;
  }
}

bool ConsoleHost::OpenFileDialog(Owner, char*) { return false; }

bool ConsoleHost::SaveFileDialog(Owner, char* path) {
  // The mail's Shift_JIS name, split where its characters allow, then named as files are here.
  std::string base = SafeBaseName(path, files_.Style(), decoded_);
  if (base.empty()) {
    why_ = "no usable file name in \"" + (decoded_ ? path : PlatformFileName(path)) + "\"";
    return false;
  }
  std::string chosen = dir_.empty() || dir_.back() == '/' ? dir_ + base : dir_ + "/" + base;
  if (chosen.size() >= kPathSize) {
    why_ = chosen + ": path longer than 511 bytes";
    return false;
  }
  std::memcpy(path, chosen.c_str(), chosen.size() + 1);
  return true;
}

void ConsoleHost::FileWritten(const char* path, bool appended, unsigned long long bytes) {
  Notice(path,
         std::string(appended ? "appended" : "saved") + " (" + std::to_string(bytes) + " bytes)");
}

void ConsoleHost::CloseMainWindow(Owner) {}

namespace {

const char* FormText(NameForm form) {
  switch (form) {
    case NameForm::kRfc2231: return "filename*= (RFC 2231)";
    case NameForm::kEncoded: return "an RFC 2047 encoded word";
    case NameForm::kUnquoted: return "filename= without quotes";
    case NameForm::kContentType: return "the Content-Type's name=";
    default: return "filename=\"...\"";
  }
}

}  // namespace

void ConsoleHost::PartSkipped(const PartReport& part) {
  std::string why = why_;
  if (part.reason == SkipReason::kNoName) {
    why = part.form == NameForm::kNone || decoded_
              ? "no file name"
              : std::string("its name is in ") + FormText(part.form) +
                    ", which --decode-names reads: " + part.name;
  }
  Warn(field_, "line " + std::to_string(part.line) + ": attachment not extracted: " + why);
}

void ConsoleHost::PartListed(const PartReport& part) {
  std::string name = part.form == NameForm::kNone ? "(no name)" : part.name;
  Line(stdout, field_ + ": line " + std::to_string(part.line) + ": " + name + " (" +
                   std::to_string(part.bytes) + " bytes), the window " +
                   (part.window ? "extracts it" : "does not"));
}

}  // namespace velko
