#include "console_host.h"

#include <cstdio>

#include "bytes.h"
#include "console.h"

namespace velko {
namespace {

// The window's texts end in a line feed that belongs to the box; a line ends with its own.
std::string OneLine(const char* text) {
  std::string line = text;
  if (!line.empty() && line.back() == '\n') line.pop_back();
  return line;
}

}  // namespace

std::string Shown(const std::string& text) {
  const bool utf8 = TextsInUtf8();
  std::string visible;
  for (const char* p = text.c_str(); p < text.c_str() + text.size();) {
    const std::size_t n = *p == 0 ? 1 : ControlLength(p, utf8);
    if (n == 0) {
      visible += *p++;
      continue;
    }
    const unsigned char* b = reinterpret_cast<const unsigned char*>(p);
    const unsigned code = n == 1   ? b[0]
                          : n == 2 ? b[1]
                                   : (b[0] & 0x0F) << 12 | (b[1] & 0x3F) << 6 | (b[2] & 0x3F);
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, n == 1 ? "\\x%02X" : "\\u%04X", code);
    visible += escaped;
    p += n;
  }
  return ForConsole(visible);
}

void ConsoleHost::Prompt(const std::string& text) {
  std::fputs(Shown(text).c_str(), stderr);
  std::fflush(stderr);
}

void ConsoleHost::Line(std::FILE* stream, const std::string& text) {
  std::string line = Shown(text) + "\n";
  std::fflush(stdout);  // the two streams stay in order on a terminal
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fflush(stream);
}

void ConsoleHost::Error(const std::string& text) {
  error_shown_ = true;
  Line(stderr, "velko-cli: " + file_ + ": " + text);
}

void ConsoleHost::Warn(const std::string& about, const std::string& text) {
  Line(stderr, "velko-cli: " + about + ": " + text);
}

void ConsoleHost::Notice(const std::string& about, const std::string& text) {
  if (notices_ && !quiet_) Line(stdout, about + ": " + text);
}

void ConsoleHost::ShowMessage(Owner, const char* text) { Notice(file_, OneLine(text)); }

void ConsoleHost::ShowError(Owner, const char* text) { Error(OneLine(text)); }

}  // namespace velko
