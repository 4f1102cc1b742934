#include <errno.h>
#include <iconv.h>
#include <langinfo.h>
#include <libintl.h>
#include <signal.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "catalog.h"
#include "console.h"
#include "undo.h"
#include "velko/utf8.h"

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

// One character of `cd`'s encoding at `p` (of `n` bytes left) appended to `out` in UTF-8: its
// length, or 0 when none reads there.
std::size_t ReadOne(iconv_t cd, const char* p, std::size_t n, std::string* out) {
  // One byte, a pair, or EUC-JP's three (0x8F and a pair).
  for (std::size_t length = 1; length <= 3 && length <= n; ++length) {
    char* in = const_cast<char*>(p);
    std::size_t in_left = length;
    char chunk[16];
    char* o = chunk;
    std::size_t o_left = sizeof chunk;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in, &in_left, &o, &o_left) != static_cast<std::size_t>(-1) && o > chunk) {
      out->append(chunk, o - chunk);
      return length;
    }
  }
  return 0;
}

// The bytes of a message that are no UTF-8 come from file names: read as names are written
// here, in the locale's own encoding, or under a UTF-8 locale in Shift_JIS (code page 932), as
// names from Windows disks and archives come. A byte that reads as neither shows as \xNN.
std::string NamesInUtf8(const std::string& text, const char* codeset, bool utf8) {
  const iconv_t cd = iconv_open("UTF-8", utf8 ? "CP932" : codeset);
  const bool none = cd == reinterpret_cast<iconv_t>(-1);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    if (p[i] < 0x80) {
      out += text[i++];
      continue;
    }
    if (!utf8 && !none) {
      // Under another locale a run of 8-bit bytes that reads whole in its encoding is a name,
      // even where the same bytes would be UTF-8 too.
      std::size_t run = i, at = i, length = 0;
      while (run < text.size() && p[run] >= 0x80) ++run;
      std::string name;
      while (at < run && (length = ReadOne(cd, text.data() + at, run - at, &name)) > 0)
        at += length;
      if (at == run) {
        out += name;
        i = run;
        continue;
      }
    }
    const Utf8Read r = ReadUtf8(p + i, text.size() - i);
    std::size_t used = r.kind == Utf8Kind::kCharacter ? r.length : 0;
    if (used > 0) {
      out.append(text, i, used);
    } else if (!none) {
      used = ReadOne(cd, text.data() + i, text.size() - i, &out);
    }
    if (used == 0) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", p[i]);
      out += escaped;
      used = 1;
    }
    i += used;
  }
  if (!none) iconv_close(cd);
  return out;
}

bool Utf8Locale() {
  const char* codeset = nl_langinfo(CODESET);
  return codeset == nullptr || std::strcmp(codeset, "UTF-8") == 0;
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
  bindtextdomain("velko-cli", CatalogFolder(VELKO_LOCALE_FROM_BIN, VELKO_LOCALEDIR).c_str());
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

const char* TrN(const char* one, const char* many, unsigned long long n) {
  return dngettext("velko-cli", one, many, static_cast<unsigned long>(n));
}

bool WriteText(std::FILE* stream, const std::string& text) {
  const char* codeset = nl_langinfo(CODESET);
  const std::string utf8 = NamesInUtf8(text, codeset, Utf8Locale());
  const std::string shown =
      Utf8Locale() ? utf8 : Convert(utf8, (std::string(codeset) + "//TRANSLIT").c_str(), "UTF-8");
  return std::fwrite(shown.data(), 1, shown.size(), stream) == shown.size();
}

int LastSystemError() { return errno; }

std::string NotFoundReason() { return SystemReason(ENOENT); }

std::string SystemReason(int code) {
  const std::string reason = std::strerror(code);  // in the locale's language and encoding
  return Utf8Locale() ? reason : Convert(reason, "UTF-8", nl_langinfo(CODESET));
}

}  // namespace velko
