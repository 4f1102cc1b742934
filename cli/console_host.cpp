#include "console_host.h"

#include <errno.h>
#include <iconv.h>
#include <langinfo.h>

#include <cstdio>
#include <cstring>

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

Answer ConsoleHost::AskYesNoCancel(Owner, const char*, const char*) { return Answer::kCancel; }

bool ConsoleHost::OpenFileDialog(Owner, char*) { return false; }

bool ConsoleHost::SaveFileDialog(Owner, char*) { return false; }

void ConsoleHost::CloseMainWindow(Owner) {}

}  // namespace velko
