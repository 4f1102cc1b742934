#include "console_host.h"

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

void ConsoleHost::Line(std::FILE* stream, const std::string& text) {
  std::string line = ForConsole(text) + "\n";
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
