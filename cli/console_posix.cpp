#include <errno.h>
#include <iconv.h>
#include <langinfo.h>
#include <libintl.h>
#include <signal.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
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
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&set, s);
  return set;
}

// `text` from one encoding to another, '?' for what the target cannot hold.
std::string Convert(const std::string& text, const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
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

bool Utf8Locale() {
  const char* codeset = nl_langinfo(CODESET);
  return codeset == nullptr || std::strcmp(codeset, "UTF-8") == 0;
}

// The catalogs beside the program when it runs from its build folder, else where it is
// installed.
std::string CatalogFolder() {
  char self[4096];
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n > 0) {
    std::string dir(self, static_cast<std::size_t>(n));
    dir.erase(dir.rfind('/') + 1);
    if (::access((dir + "locale/ja/LC_MESSAGES/velko-cli.mo").c_str(), R_OK) == 0) {
      return dir + "locale";
    }
  }
  return VELKO_LOCALEDIR;
}

}  // namespace

void OnStop(void (*undo)()) {
  undo_on_stop = undo;
  struct sigaction action = {};
  action.sa_handler = Stopped;
  action.sa_mask = StopSignals();  // one stop at a time
  for (int s : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaction(s, &action, nullptr);
}

namespace {
std::atomic<bool>* stop_requested = nullptr;
void Requested(int) { stop_requested->store(true); }
}  // namespace

void StopOnRequest(std::atomic<bool>* stop) {
  stop_requested = stop;
  struct sigaction action = {};
  action.sa_handler = Requested;
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
}

void BlockStops(bool block) {
  const sigset_t set = StopSignals();
  sigprocmask(block ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

std::vector<std::string> InitConsole(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  bindtextdomain("velko-cli", CatalogFolder().c_str());
  bind_textdomain_codeset("velko-cli", "UTF-8");  // converted on the way out, with the names
  return std::vector<std::string>(argv, argv + argc);
}

bool IsTerminal(int fd) { return ::isatty(fd) == 1; }

TextRules PlatformTextRules() { return TextRules::kBytes; }

std::string TemporaryFolder() {
  const char* folder = std::getenv("TMPDIR");
  return folder && *folder ? folder : "/tmp";
}

const char* Tr(const char* english) { return dgettext("velko-cli", english); }

bool WriteText(std::FILE* stream, const std::string& text) {
  const std::string shown =
      Utf8Locale()
          ? text
          : Convert(text, (std::string(nl_langinfo(CODESET)) + "//TRANSLIT").c_str(), "UTF-8");
  return std::fwrite(shown.data(), 1, shown.size(), stream) == shown.size();
}

int LastSystemError() { return errno; }

std::string NotFoundReason() { return SystemReason(ENOENT); }

std::string SystemReason(int code) {
  const std::string reason = std::strerror(code);  // in the locale's language and encoding
  return Utf8Locale() ? reason : Convert(reason, "UTF-8", nl_langinfo(CODESET));
}

}  // namespace velko
