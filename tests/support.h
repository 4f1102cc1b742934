// Test doubles for the unit tests and the fuzz targets: a scripted host, faults for the file
// operations, a scratch folder, a plain reader, and the line steps on exact-size buffers.
#ifndef VELKO_TESTS_SUPPORT_H
#define VELKO_TESTS_SUPPORT_H

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "b64text.h"
#include "base64.h"
#include "fileops_native.h"
#include "frame.h"
#include "jis.h"
#include "ruled.h"

namespace velko::test {

struct Box {
  std::string caption, text;
  bool question;
};

// Plays the window: the field holds `field`; the dialogs take `choices` in turn and the
// question `answers` ("" or none left: cancel); every box is recorded.
struct ScriptedHost : Host {
  std::string field;
  bool no_field_text = false;
  std::deque<std::string> choices;
  std::deque<Answer> answers;
  std::vector<std::string> proposed;  // what the dialogs proposed
  std::vector<Box> boxes;
  int closes = 0;

  const char* GetFieldText() override { return no_field_text ? nullptr : field.c_str(); }
  void SetFieldText(const char* text) override { field = text; }
  void ShowMessage(Owner, const char* text, const char* caption) override {
    boxes.push_back({caption, text, false});
  }
  Answer AskYesNoCancel(Owner, const char* text, const char* caption) override {
    boxes.push_back({caption, text, true});
    Answer a = answers.empty() ? Answer::kCancel : answers.front();
    if (!answers.empty()) answers.pop_front();
    return a;
  }
  bool OpenFileDialog(Owner, char* path) override { return Choose(path); }
  bool SaveFileDialog(Owner, char* path) override { return Choose(path); }
  void CloseMainWindow(Owner) override { ++closes; }
  bool Choose(char* path) {
    proposed.push_back(path);
    std::string choice = choices.empty() ? "" : choices.front();
    if (!choices.empty()) choices.pop_front();
    std::memcpy(path, choice.c_str(), choice.size() + 1);
    return !choice.empty();
  }
};

constexpr std::size_t kNever = static_cast<std::size_t>(-1);

// The native file operations with faults: failing operations, random short reads, a read or a
// write that fails after so many bytes in all, the n-th and later write opening or closing.
struct FaultyFileOps : FileOps {
  explicit FaultyFileOps(bool write_through_links = true)
      : real(NativeFileOps(write_through_links)) {}
  bool fail_exists = false, fail_remove = false, fail_rename = false, fail_open_read = false;
  int fail_write_open = 0, fail_write_close = 0;  // 0: never
  std::size_t read_fails_at = kNever, write_fails_at = kNever;
  std::uint32_t short_reads = 0;  // seed of the read sizes; 0: as much as asked
  bool failed = false;            // a read, write or close failure happened
  FileOps& real;
  int write_opens = 0, write_closes = 0;
  int open = 0;  // files opened and not closed: every path closes what it opened
  std::size_t read = 0, written = 0;

  PathStyle Style() const override { return real.Style(); }
  bool Exists(const char* p) override { return !fail_exists && real.Exists(p); }
  EntryKind Kind(const char* p, bool follow) override { return real.Kind(p, follow); }
  bool SameFile(const char* a, const char* b) override { return real.SameFile(a, b); }
  bool Remove(const char* p) override { return !fail_remove && real.Remove(p); }
  bool RenameNoReplace(const char* f, const char* t) override {
    return !fail_rename && real.RenameNoReplace(f, t);
  }
  bool Replace(const char* f, const char* t) override { return real.Replace(f, t); }
  void AppendName(char* name, std::size_t size, const char* text, std::size_t n,
                  bool utf8) override {
    real.AppendName(name, size, text, n, utf8);
  }
  void CopyPermissions(const char* f, const char* t) override { real.CopyPermissions(f, t); }
  std::unique_ptr<File> Open(const char* path, OpenMode mode) override {
    bool refused = mode == OpenMode::kRead ? fail_open_read
                                           : fail_write_open && ++write_opens >= fail_write_open;
    std::unique_ptr<File> file = refused ? nullptr : real.Open(path, mode);
    open += file != nullptr;
    return file ? std::make_unique<Faulty>(*this, std::move(file)) : nullptr;
  }

  struct Faulty : File {
    Faulty(FaultyFileOps& ops, std::unique_ptr<File> real) : ops(ops), real(std::move(real)) {}
    long Read(void* buffer, std::size_t size) override {
      if (ops.short_reads != 0) {
        ops.short_reads = ops.short_reads * 1103515245u + 12345u;
        size = std::min<std::size_t>(size, 1 + (ops.short_reads >> 16) % 4096);
      }
      if (ops.read >= ops.read_fails_at) return Fail(-1);
      long n = real->Read(buffer, std::min(size, ops.read_fails_at - ops.read));
      ops.read += n > 0 ? n : 0;
      return n;
    }
    bool Write(const void* data, std::size_t size) override {
      written = true;
      std::size_t n =
          std::min(size, ops.write_fails_at - std::min(ops.write_fails_at, ops.written));
      ops.written += n;
      return real->Write(data, n) && (n == size || Fail(0));
    }
    bool Close() override {
      ops.open -= !closed;
      closed = true;
      bool fails = written && ops.fail_write_close && ++ops.write_closes >= ops.fail_write_close;
      return real->Close() && (!fails || Fail(0));
    }
    long Fail(long result) { return ops.failed = true, result; }
    FaultyFileOps& ops;
    std::unique_ptr<File> real;
    bool written = false, closed = false;
  };
};

// A fresh folder under the system's temporary one, removed with its content.
struct TempDir {
  TempDir() : dir(std::filesystem::temp_directory_path().string() + "/velko-XXXXXX") {
    if (mkdtemp(dir.data()) == nullptr) std::abort();
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
  std::string Path(const std::string& name) const { return dir + "/" + name; }
  std::string dir;
};

inline std::string ReadFile(const std::string& path) {  // "<missing>" unless a regular file
  struct stat st;                                       // a FIFO would block
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return "<missing>";
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// The pieces a plain fgets stores, byte by byte: at most limit - 1 bytes each, ended by a LF;
// in text mode CR LF reads as LF and a 0x1A ends the read (the file, when it comes first).
inline std::vector<std::string> Reads(const std::string& in, bool text,
                                      std::size_t limit = kReadLimit) {
  std::vector<std::string> out;
  for (std::size_t pos = 0;;) {
    std::string line;
    while (line.size() < limit - 1 && pos < in.size() && !(text && in[pos] == '\x1A')) {
      bool crlf = text && in[pos] == '\r' && pos + 1 < in.size() && in[pos + 1] == '\n';
      line += in[pos += crlf];
      if (in[pos++] == '\n') break;
    }
    if (line.empty()) return out;
    pos += text && line.size() < limit - 1 && line.back() != '\n' && in[pos] == '\x1A';
    out.push_back(line);
  }
}

enum Op { kToJis, kToSjis, kNecToJis, kJisToNec, kNecStep, kJisStep, kDecode, kB64Text };

// Set when a step wrote past its room: a line may itself read "<overrun>".
inline bool overran = false;

// The fast path of a step or the decoder on buffers of the size its contract names, as written
// (cut at a NUL); "<plain>" when a result said to be plain holds a NUL or an inner LF,
// "<overrun>" when it wrote past its room.
inline std::string Fast(Op op, const std::string& in) {
  const std::size_t n = in.size();
  const std::size_t room = op == kToJis     ? 3 * n + 3
                           : op == kToSjis  ? n + 1
                           : op == kB64Text ? 2 * n + 2
                                            : 4 * n + 4;
  std::vector<char> text(in.c_str(), in.c_str() + n + 1), work(room + 16, '\x55');
  LineText r = {work.data(), 0, false};
  switch (op) {
    case kToJis: r.length = SjisToJisLineFast(work.data(), text.data(), n, &r.plain); break;
    case kToSjis: r.length = JisToSjisLineFast(work.data(), text.data(), n, &r.plain); break;
    case kNecStep: r = NecToJisStep(text.data(), n, work.data()); break;
    case kJisStep: r = JisToNecStep(text.data(), n, work.data()); break;
    case kB64Text: r = B64TextLineStep(text.data(), n, work.data()); break;
    case kDecode: {
      std::vector<unsigned char> out(3 * ((n + 3) / 4) + 1);
      if (Base64SpanFast(text.data(), n) != Base64Span(text.data())) return "<span>";
      std::size_t count = DecodeBase64Fast(out.data(), text.data(), std::strlen(text.data()));
      return std::string(out.begin(), out.begin() + count);
    }
    default: return "";
  }
  if (std::string(work.begin() + room, work.end()) != std::string(16, '\x55')) {
    return overran = true, "<overrun>";
  }
  std::string written(r.text, r.length);
  const std::size_t lf = written.find('\n');
  const bool one_line = in.find('\n') == std::string::npos || in.find('\n') + 1 == n;
  if (r.plain && one_line &&
      (written.find('\0') != std::string::npos ||
       (lf != std::string::npos && lf + 1 < written.size()))) {
    return "<plain>";
  }
  return written.substr(0, written.find('\0'));
}

// A line step or the decoder on exact-size copies, the smallest output its contract allows: the
// sanitizers see any access past it; without them, guard bytes after each buffer must stay. Its
// fast path must give the same, on the text and on the text four times over (long enough for
// the sixteen-byte paths).
// clang-format off
inline std::string Convert(Op op, const std::string& in, bool with_fast = true) {
#ifdef __SANITIZE_ADDRESS__
  const std::size_t guard = 0;
#else
  const std::size_t guard = 8;
#endif
  const char guard_bytes[] = "\x86\xA2\x1B$B0QQ";
  const std::size_t n = in.size(), text_size = op == kNecStep || op == kJisStep ? 3 * n + 3 : n + 1;
  const std::size_t out_size = op == kToJis ? 3 * n + 3 : op == kDecode ? 3 * ((n + 3) / 4) + 1 : n + 1;
  std::unique_ptr<char[]> text(new char[text_size + guard]), out(new char[out_size + guard]);
  std::memcpy(text.get(), in.c_str(), n + 1);
  std::memcpy(text.get() + text_size, guard_bytes, guard);
  std::memcpy(out.get() + out_size, guard_bytes, guard);
  std::string result;
  switch (op) {
    case kToJis: SjisToJisLine(out.get(), text.get()), result = out.get(); break;
    case kToSjis: JisToSjisLine(out.get(), text.get()), result = out.get(); break;
    case kNecToJis: result = NecToJisRuledLines(text.get()); break;
    case kJisToNec: result = JisToNecRuledLines(text.get()); break;
    case kNecStep: RuledLineStep(text.get(), out.get(), NecToJisRuledLines), result = text.get(); break;
    case kJisStep: RuledLineStep(text.get(), out.get(), JisToNecRuledLines), result = text.get(); break;
    case kB64Text: B64TextStep(text.get(), out.get()), result = text.get(); break;
    case kDecode: {
      std::size_t count = DecodeBase64(reinterpret_cast<unsigned char*>(out.get()), text.get());
      result = out[count] == 0 ? std::string(out.get(), count) : "<no NUL>";
    }
  }
  bool intact = !std::memcmp(text.get() + text_size, guard_bytes, guard) &&
                !std::memcmp(out.get() + out_size, guard_bytes, guard);
  if (with_fast && op != kNecToJis && op != kJisToNec) {
    const std::string four = in + in + in + in;
    if (Fast(op, in) != result) return "<fast: " + Fast(op, in) + ">";
    if (op != kDecode && Fast(op, four) != Convert(op, four, false)) return "<fast, four times>";
  }
  if (!intact) overran = true;
  return intact ? result : "<overrun>";
}
// clang-format on

}  // namespace velko::test

#endif
