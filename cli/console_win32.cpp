#include <fcntl.h>
#include <io.h>
#include <windows.h>
// shellapi.h needs the types of windows.h first.
#include <shellapi.h>

#include <cstdint>
#include <cstring>

#include "console.h"
#include "undo.h"

namespace velko {
namespace {

void (*undo_on_stop)() = nullptr;

// Ctrl+C, Ctrl+Break and a closed console come on a thread of their own; the handler that
// runs next ends the program.
BOOL WINAPI Stopped(DWORD) {
  if (undo_on_stop) undo_on_stop();
  return FALSE;
}

std::string Utf8(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 1, '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
  out.resize(out.size() - 1);
  return out;
}

std::wstring Wide(const std::string& text) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring out(n > 0 ? n : 1, L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &out[0], n);
  out.resize(out.size() - 1);
  return out;
}

// cmd.exe hands '*' and '?' on: a console program expands them itself. A pattern that names
// no file stays as it is, and is then reported as missing.
void Expand(const std::wstring& arg, std::vector<std::string>* args) {
  const std::size_t name = arg.find_last_of(L"\\/:") + 1;
  if (arg.empty() || arg[0] == L'-' || arg.find_first_of(L"*?", name) == std::wstring::npos) {
    return args->push_back(Utf8(arg.c_str()));
  }
  const std::size_t before = args->size();
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(arg.c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring file = found.cFileName;
      if (file == L"." || file == L".." || (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN))
        continue;
      args->push_back(Utf8((arg.substr(0, name) + file).c_str()));
    } while (FindNextFileW(find, &found));
    FindClose(find);
  }
  if (args->size() == before) args->push_back(Utf8(arg.c_str()));
}

// The Japanese catalog, compiled into the program (a GNU .mo file as a resource).
struct Catalog {
  const unsigned char* data = nullptr;
  std::uint32_t size = 0, count = 0, originals = 0, translations = 0;

  std::uint32_t Word(std::uint32_t at) const {
    std::uint32_t v = 0;
    if (at + 4 <= size) std::memcpy(&v, data + at, 4);
    return v;
  }
  const char* Text(std::uint32_t table, std::uint32_t i) const {
    const std::uint32_t length = Word(table + 8 * i), at = Word(table + 8 * i + 4);
    return at + length < size ? reinterpret_cast<const char*>(data + at) : nullptr;
  }
  // The originals are sorted: a binary search.
  const char* Find(const char* english) const {
    for (std::uint32_t low = 0, high = count; low < high;) {
      const std::uint32_t mid = low + (high - low) / 2;
      const char* original = Text(originals, mid);
      if (original == nullptr) return nullptr;
      const int order = std::strcmp(english, original);
      if (order == 0) return Text(translations, mid);
      if (order < 0)
        high = mid;
      else
        low = mid + 1;
    }
    return nullptr;
  }
};
Catalog catalog;

void LoadCatalog() {
  if (PRIMARYLANGID(GetUserDefaultUILanguage()) != LANG_JAPANESE) return;
  HRSRC found = FindResourceA(nullptr, "VELKO_JA_MO", MAKEINTRESOURCEA(10));  // RT_RCDATA
  HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return;
  catalog.data = static_cast<const unsigned char*>(data);
  catalog.size = SizeofResource(nullptr, found);
  if (catalog.Word(0) != 0x950412DE) return void(catalog.data = nullptr);
  catalog.count = catalog.Word(8);
  catalog.originals = catalog.Word(12);
  catalog.translations = catalog.Word(16);
}

}  // namespace

void OnStop(void (*undo)()) {
  undo_on_stop = undo;
  SetConsoleCtrlHandler(Stopped, TRUE);
}

void BlockStops(bool) {}

namespace {
std::atomic<bool>* stop_requested = nullptr;
// Called on a thread of its own: TRUE keeps the process running until the run ends.
BOOL WINAPI Requested(DWORD) {
  stop_requested->store(true);
  return TRUE;
}
}  // namespace

void StopOnRequest(std::atomic<bool>* stop) {
  stop_requested = stop;
  SetConsoleCtrlHandler(Requested, TRUE);
}

// Standard input and output carry the bytes of a filter unchanged: no CR LF translation; the
// messages on standard error end their lines the same way.
std::vector<std::string> InitConsole(int, char**) {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  LoadCatalog();
  // The arguments as typed, in Unicode: the ANSI ones are best-fitted to the code page.
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) {
    const std::wstring arg = wide[i];
    if (i == 0) {
      args.push_back(Utf8(arg.c_str()));
    } else {
      Expand(arg == L"/?" ? L"--help" : arg, &args);
    }
  }
  LocalFree(wide);
  return args;
}

bool IsTerminal(int fd) { return _isatty(fd) != 0; }

TextRules PlatformTextRules() { return TextRules::kWindows; }

std::string TemporaryFolder() {
  wchar_t folder[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
  return n > 0 && n <= MAX_PATH ? Utf8(folder) : ".";
}

const char* Tr(const char* english) {
  const char* translated = catalog.data ? catalog.Find(english) : nullptr;
  return translated && *translated ? translated : english;
}

// The catalogue is Japanese, which has one form for every count.
const char* TrN(const char* one, const char* many, unsigned long long n) {
  const char* translated = catalog.data ? catalog.Find(one) : nullptr;
  return translated && *translated ? translated : n == 1 ? one : many;
}

bool WriteText(std::FILE* stream, const std::string& text) {
  std::fflush(stream);
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  const std::wstring wide = Wide(text);
  DWORD mode;
  if (GetConsoleMode(handle, &mode)) {
    DWORD written = 0;
    return WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
  }
  UINT code_page = GetConsoleOutputCP();
  if (code_page == 0) code_page = GetACP();
  const int n = WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string bytes(n > 0 ? n : 0, '\0');
  if (n > 0) {
    WideCharToMultiByte(code_page, code_page == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS, wide.data(),
                        static_cast<int>(wide.size()), &bytes[0], n,
                        code_page == CP_UTF8 ? nullptr : "?", nullptr);
  }
  return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
}

int LastSystemError() { return static_cast<int>(GetLastError()); }

std::string NotFoundReason() { return SystemReason(ERROR_FILE_NOT_FOUND); }

std::string SystemReason(int code) {
  wchar_t* text = nullptr;
  const LANGID language = catalog.data ? MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT)
                                       : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
  DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), language, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (n == 0) {  // no text in that language: the system's own
    n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  }
  std::string reason = n ? Utf8(text) : "error " + std::to_string(code);
  if (text) LocalFree(text);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                             reason.back() == '.' || reason.back() == ' ')) {
    reason.pop_back();
  }
  return reason;
}

}  // namespace velko
