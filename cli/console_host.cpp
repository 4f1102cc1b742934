#include "console_host.h"

#include <cstdio>

#include "codec/bytes.h"
#include "console.h"
#include "ports/texts.h"

namespace velko {

namespace {

std::string Fill(const std::string& text, std::initializer_list<std::string> args) {
  std::string said;
  auto arg = args.begin();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 2, "%s") == 0 && arg != args.end()) {
      said += *arg++;
      ++i;
    } else {
      said += text[i];
    }
  }
  return said;
}

}  // namespace

std::string Say(const char* english, std::initializer_list<std::string> args) {
  return Fill(Tr(english), args);
}

std::string SayN(const char* one, const char* many, unsigned long long n,
                 std::initializer_list<std::string> args) {
  return Fill(TrN(one, many, n), args);
}

std::string ByteCount(unsigned long long n) {
  return SayN("%s byte", "%s bytes", n, {std::to_string(n)});
}

std::string WindowText(const char* format, const std::string& path, const std::string& other) {
  std::string text = Say(format, {path, other});
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::string Shown(const std::string& text) {
  std::string visible;
  for (const char* p = text.c_str(); p < text.c_str() + text.size();) {
    const std::size_t n = *p == 0 ? 1 : ControlLength(p, true);
    if (n == 0) {
      visible += *p++;
      continue;
    }
    const unsigned char* b = reinterpret_cast<const unsigned char*>(p);
    const unsigned code = n == 1 ? b[0] : static_cast<unsigned>(ReadUtf8(b, n).character);
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, n == 1 ? "\\x%02X" : "\\u%04X", code);
    visible += escaped;
    p += n;
  }
  return visible;
}

void ConsoleHost::Prompt(const std::string& text) {
  WriteText(stderr, Shown(text));
  std::fflush(stderr);
}

void ConsoleHost::Line(std::FILE* stream, const std::string& text) {
  std::fflush(stdout);  // the two streams stay in order on a terminal
  WriteText(stream, Shown(text) + "\n");
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

void ConsoleHost::ShowMessage(Owner, const char* text) {
  if (text[0] != 0) Notice(file_, text);  // an empty one: the caller says it its own way
}

void ConsoleHost::ShowError(Owner, const char* format, const char* path, const char* other) {
  Error(WindowText(format, path, other) + Reason());
}

std::string FailureLine(const Fault& fault, const std::string& file) {
  std::string text = WindowText(FailureText(fault.what), fault.path, fault.other);
  // A missing file is found missing by a look, which is no failed operation.
  if (fault.error != 0 || fault.what == Failure::kNoInput) {
    text += ": " + (fault.error != 0 ? SystemReason(fault.error) : NotFoundReason());
  }
  if (fault.left == Left::kNothingChanged) text += Say("; %s is as it was", {file});
  if (fault.left == Left::kOriginalAsBackup) text += Say("; the original is %s", {fault.kept});
  return text;
}

void ConsoleHost::ShowFailure(Owner, const Fault& fault) { Error(FailureLine(fault, File())); }

}  // namespace velko
