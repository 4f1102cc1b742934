#include <errno.h>
#include <iconv.h>
#include <langinfo.h>
#include <signal.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstring>

#include "console.h"
#include "undo.h"

namespace velko {
namespace {

void (*undo_on_stop)() = nullptr;

// Undoes, then ends as the signal would have: the caller sees the signal in the status.
void Stopped(int signal) {
  if (undo_on_stop) undo_on_stop();
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

sigset_t StopSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, s);
  return set;
}

}  // namespace

void OnStop(void (*undo)()) {
  undo_on_stop = undo;
  struct sigaction action = {};
  action.sa_handler = Stopped;
  action.sa_mask = StopSignals();  // one stop at a time
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
}

void BlockStops(bool block) {
  const sigset_t set = StopSignals();
  sigprocmask(block ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

void InitConsole() { std::setlocale(LC_ALL, ""); }

bool TextsInUtf8() { return true; }

bool IsTerminal(int fd) { return ::isatty(fd) == 1; }

std::string ForConsole(const std::string& text) {
  const char* codeset = nl_langinfo(CODESET);
  if (codeset == nullptr || std::strcmp(codeset, "UTF-8") == 0) return text;
  iconv_t cd = iconv_open((std::string(codeset) + "//TRANSLIT").c_str(), "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return text;
  std::string out;
  char* in = const_cast<char*>(text.data());
  std::size_t in_left = text.size();
  while (in_left > 0) {
    char chunk[256];
    char* o = chunk;
    std::size_t o_left = sizeof chunk;
    std::size_t r = iconv(cd, &in, &in_left, &o, &o_left);
    out.append(chunk, o - chunk);
    if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
      out += '?';  // a name that is not UTF-8 shows as the texts' unshowable characters do
      ++in, --in_left;
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace velko
