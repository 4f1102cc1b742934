#include "console_host.h"

#include <errno.h>
#include <iconv.h>
#include <langinfo.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "jis.h"
#include "names.h"
#include "texts.h"

namespace velko {

std::string ToLocaleEncoding(const std::string& utf8) {
  const char* codeset = nl_langinfo(CODESET);
  if (codeset == nullptr || std::strcmp(codeset, "UTF-8") == 0) return utf8;
  std::string target = std::string(codeset) + "//TRANSLIT";
  iconv_t cd = iconv_open(target.c_str(), "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return utf8;
  std::string out;
  char* in = const_cast<char*>(utf8.data());
  size_t in_left = utf8.size();
  char chunk[256];
  while (in_left > 0) {
    char* o = chunk;
    size_t o_left = sizeof chunk;
    size_t r = iconv(cd, &in, &in_left, &o, &o_left);
    out.append(chunk, o - chunk);
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      // A file name need not be UTF-8: keep its byte rather than lose the rest.
      out.push_back(*in);
      ++in;
      --in_left;
    }
  }
  iconv_close(cd);
  return out;
}

void ConsoleHost::ShowMessage(Owner, const char* text, const char* caption) {
  std::string line = std::string(caption) + ": " + text;
  if (!line.empty() && line.back() == '\n') line.pop_back();
  line = ToLocaleEncoding(line) + "\n";
  bool error = std::strcmp(caption, kCaptionError) == 0;
  if (error) error_shown_ = true;
  std::FILE* stream = error ? stderr : stdout;
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fflush(stream);
}

namespace {

constexpr std::size_t kMaxComponent = 255;  // bytes a file system takes for one name

// Cut to kMaxComponent bytes, keeping the extension and whole UTF-8 characters.
void Shorten(std::string& name) {
  if (name.size() <= kMaxComponent) return;
  std::size_t dot = name.rfind('.');
  std::string ext = dot != std::string::npos && dot > 0 && name.size() - dot <= 32
                        ? name.substr(dot)
                        : std::string();
  std::size_t keep = kMaxComponent - ext.size();
  while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
  name = name.substr(0, keep) + ext;
}

}  // namespace

std::string SafeBaseName(const char* proposed) {
  // '/' always splits: no Shift_JIS trail byte is 0x2F, so a lead byte before one must not
  // smuggle a folder in. '\' can be a trail byte (表 is 95 5C): names are walked a
  // character at a time for it.
  std::size_t start = 0;
  for (std::size_t i = 0; proposed[i] != 0; ++i) {
    unsigned char c = static_cast<unsigned char>(proposed[i]);
    if (c == '/') {
      start = i + 1;
    } else if (IsSjisLeadByte(c) && proposed[i + 1] != 0 && proposed[i + 1] != '/') {
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
  base = PlatformFileName(base.c_str());
  if (base == "." || base == "..") return "";
  for (unsigned char c : base) {
    if (c < 0x20 || c == 0x7F) return "";
  }
  Shorten(base);
  return base;
}

Answer ConsoleHost::AskYesNoCancel(Owner, const char* text, const char* caption) {
  switch (policy_) {
    case ExistsPolicy::kOverwrite:
      return Answer::kYes;
    case ExistsPolicy::kAppend:
      return Answer::kNo;
    case ExistsPolicy::kSkip:
      return Answer::kCancel;
    case ExistsPolicy::kAsk:
      break;
  }
  if (!isatty(STDIN_FILENO)) {
    std::fputs("velko-cli: the file exists and nobody can be asked: skipped\n", stderr);
    return Answer::kCancel;
  }
  std::string question = ToLocaleEncoding(std::string(caption) + ": " + text);
  std::fprintf(stderr, "%s\n[y] overwrite, [n] append, [c] skip? ", question.c_str());
  char answer[64];
  if (std::fgets(answer, sizeof answer, stdin) == nullptr) return Answer::kCancel;
  if (answer[0] == 'y' || answer[0] == 'Y') return Answer::kYes;
  if (answer[0] == 'n' || answer[0] == 'N') return Answer::kNo;
  return Answer::kCancel;
}

bool ConsoleHost::OpenFileDialog(Owner, char*) { return false; }

bool ConsoleHost::SaveFileDialog(Owner, char* path) {
  // The mail's Shift_JIS name, split where its characters allow, then named as files are here.
  std::string base = SafeBaseName(path);
  if (base.empty()) {
    std::string name = ToLocaleEncoding(path);
    std::fprintf(stderr, "velko-cli: no usable file name in \"%s\": attachment skipped\n",
                 name.c_str());
    return false;
  }
  std::string chosen = dir_.empty() || dir_.back() == '/' ? dir_ + base : dir_ + "/" + base;
  if (chosen.size() >= kPathSize) {
    std::fprintf(stderr, "velko-cli: path longer than %zu bytes: attachment skipped\n",
                 kPathSize - 1);
    return false;
  }
  std::memcpy(path, chosen.c_str(), chosen.size() + 1);
  return true;
}

void ConsoleHost::FileWritten(const char* path, bool appended, unsigned long long bytes) {
  std::fprintf(stdout, "%s %s (%llu bytes)\n", appended ? "appended" : "saved", path, bytes);
  std::fflush(stdout);
}

void ConsoleHost::CloseMainWindow(Owner) {}

}  // namespace velko
