#include "attachments.h"

#include <cstring>

#include "bytes.h"
#include "console.h"
#include "jis.h"

namespace velko {
namespace {

constexpr std::size_t kMaxComponent = 255;  // bytes a file system takes for one name

// A line typed at the terminal, without its line end; false at the end of input.
bool ReadAnswer(std::string* answer) {
  char line[256];
  if (std::fgets(line, sizeof line, stdin) == nullptr) return false;
  *answer = line;
  while (!answer->empty() && (answer->back() == '\n' || answer->back() == '\r')) answer->pop_back();
  return true;
}

// A Shift_JIS name from the mail in the encoding of file names here.
std::string FileName(const char* sjis, FileOps& files) {
  char name[3 * kPathSize] = "";
  files.AppendName(name, sizeof name, sjis, std::strlen(sjis), false);
  return name;
}

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

std::string SafeBaseName(const char* proposed, FileOps& files, bool decoded) {
  // '/' always splits: no Shift_JIS trail byte is 0x2F, so a lead byte before one must not
  // smuggle a folder in. '\' can be a trail byte (表 is 95 5C): Shift_JIS names are walked a
  // character at a time for it; a decoded name here is UTF-8, which no lead byte table splits.
  const bool win32 = files.Style() == PathStyle::kWin32;
  const bool sjis = !decoded || win32;
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
  if (!decoded) base = FileName(base.c_str(), files);
  if (base == "." || base == "..") return "";
  for (unsigned char c : base) {
    if (c < 0x20 || c == 0x7F) return "";
  }
  std::size_t ext;
  std::size_t keep = CutKeepingExtension(base.data(), base.size(), kMaxComponent, win32, &ext);
  return base.substr(0, keep) + base.substr(ext);
}

bool AttachmentFiles::Choose(char* path) {
  std::string base = SafeBaseName(path, files_, decoded_);
  if (base.empty()) {
    why_ = "no usable file name in \"" + (decoded_ ? path : FileName(path, files_)) + "\"";
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

Answer AttachmentFiles::Exists(char* path) {
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
    for (char& c : answer) c = LowerAscii(c);
    if (answer == "o" || answer == "overwrite") return Answer::kYes;
    if (answer == "a" || answer == "append") return Answer::kNo;
    if (answer == "s" || answer == "skip") return Answer::kCancel;
  }
}

void AttachmentFiles::Written(const char* path, bool appended, unsigned long long bytes) {
  console_.Notice(path, std::string(appended ? "appended" : "saved") + " (" +
                            std::to_string(bytes) + " bytes)");
}

void AttachmentFiles::Skipped(const PartReport& part) {
  std::string why = why_;
  if (part.reason == SkipReason::kNoName) {
    why = part.form == NameForm::kNone || decoded_
              ? "no file name"
              : std::string("its name is in ") + FormText(part.form) +
                    ", which --decode-names reads: " + part.name;
  }
  console_.Warn(console_.File(),
                "line " + std::to_string(part.line) + ": attachment not extracted: " + why);
}

void AttachmentFiles::Listed(const PartReport& part) {
  std::string name = part.form == NameForm::kNone ? "(no name)" : part.name;
  console_.Print(console_.File() + ": line " + std::to_string(part.line) + ": " + name + " (" +
                 std::to_string(part.bytes) + " bytes), the window " +
                 (part.window ? "extracts it" : "does not"));
}

}  // namespace velko
