// Test doubles for the unit tests and the fuzz targets: a scripted host, faults for the file
// operations, a scratch folder, and the line steps beside the reference ones on exact-size buffers.
#ifndef VELKO_TESTS_SUPPORT_H
#define VELKO_TESTS_SUPPORT_H

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "codec/base64.h"
#include "codec/jis.h"
#include "fileops_native.h"
#include "reference.h"
#include "text/b64text.h"
#include "text/frame.h"
#include "text/ruled.h"
#include "text/survey.h"
#include "text/transcode.h"

namespace velko::test {

// Calls add(bytes, n) over `t` in pieces of `piece` bytes.
template <typename Add>
void InPieces(const std::string& t, std::size_t piece, Add&& add) {
  const auto* p = reinterpret_cast<const unsigned char*>(t.data());
  for (std::size_t at = 0; at < t.size(); at += piece) add(p + at, std::min(piece, t.size() - at));
}

// Every finding of check's survey, as one line.
inline std::string Shown(const Findings& f) {
  const Census& c = f.census;
  std::string s = std::to_string(f.fits) + (f.doubt ? "?" : "");
  for (long long n : {f.invalid, f.to_utf8_lost, f.to_sjis_lost, f.to_jis_lost, f.jis_vendor,
                      f.sjis2jis_8bit, f.nec2jis, f.jis2nec, f.to_euc_lost}) {
    s += " " + std::to_string(n);
  }
  for (auto n :
       {c.lf, c.crlf, c.cr, c.ctrl_z, c.kana, c.nec_row13, c.ibm, c.user, c.pc98, c.jis_ruled}) {
    s += " " + std::to_string(n);
  }
  return s;
}

// What check's survey finds in `text` fed in pieces, told its length first or not.
inline Findings Surveyed(const std::string& text, std::size_t piece, bool told) {
  TextSurvey s;
  if (!s.Prepare()) std::abort();
  if (told) s.Expect(text.size());
  InPieces(text, piece, [&](const unsigned char* p, std::size_t n) { s.Add(p, n); });
  return s.Finish();
}

enum class BoxKind { kMessage, kError, kQuestion };
struct Box {
  BoxKind kind;
  std::string text;
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
  void ShowMessage(Owner, const char* text) override { boxes.push_back({BoxKind::kMessage, text}); }
  void ShowError(Owner, const char* format, const char* path, const char* other) override {
    char text[3 * kPathSize];
    FormatError(text, sizeof text, format, path, other);
    boxes.push_back({BoxKind::kError, text});
  }
  Answer AskYesNoCancel(Owner, const char* text) override {
    boxes.push_back({BoxKind::kQuestion, text});
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
// write that fails after so many bytes in all, the n-th remove or rename, the n-th and later
// write opening or closing.
struct FaultyFileOps : FileOps {
  explicit FaultyFileOps(bool write_through_links = true)
      : real(NativeFileOps(write_through_links)) {}
  bool fail_exists = false, fail_open_read = false, fail_permissions = false, fail_owner = false;
  int fail_remove = 0, fail_rename = 0, removes = 0, renames = 0;  // 0: never
  std::string taken;  // another run takes this name just before it is given to a file
  int fail_write_open = 0, fail_write_close = 0;
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
  FileId Id(const char* p) override { return real.Id(p); }
  FileStatus Remove(const char* p) override {
    return ++removes == fail_remove ? FileStatus::Failed(EIO) : real.Remove(p);
  }
  FileStatus RenameNoReplace(const char* f, const char* t) override {
    if (!taken.empty() && taken == t) std::ofstream(t) << "another run's", taken.clear();
    return ++renames == fail_rename ? FileStatus::Failed(EIO) : real.RenameNoReplace(f, t);
  }
  unsigned long Links(const char* p) override { return real.Links(p); }
  bool ReadLink(const char* p, char* t, std::size_t n) override { return real.ReadLink(p, t, n); }
  bool AliasOf(const char* p, char* n, std::size_t s) override { return real.AliasOf(p, n, s); }
  FileStatus Replace(const char* f, const char* t) override { return real.Replace(f, t); }
  void AppendName(char* name, std::size_t size, const char* text, std::size_t n,
                  bool utf8) override {
    real.AppendName(name, size, text, n, utf8);
  }
  FileStatus KeepOwner(const char* f, const char* t) override {
    return fail_owner ? FileStatus::Failed(EPERM) : real.KeepOwner(f, t);
  }
  FileStatus CopyPermissions(const char* f, const char* t) override {
    return fail_permissions ? FileStatus::Failed(ENOTSUP) : real.CopyPermissions(f, t);
  }
  FileStatus CopyTimes(const char* f, const char* t) override { return real.CopyTimes(f, t); }
  // The hold is read as the file is: with the same faults, but never counted as left open.
  LockResult Lock(const char* p, std::unique_ptr<File>* hold) override {
    if (fail_open_read) return LockResult::kNotAvailable;
    const LockResult r = real.Lock(p, hold);
    if (*hold) *hold = std::make_unique<Faulty>(*this, std::move(*hold), false);
    return r;
  }
  bool ListFolder(const char* f, const std::function<void(const char*)>& each) override {
    return real.ListFolder(f, each);
  }
  std::size_t NameRoom(const char* folder) override { return real.NameRoom(folder); }
  FileStatus MakeFolder(const char* path) override { return real.MakeFolder(path); }
  using FileOps::Open;
  std::unique_ptr<File> Open(const char* path, OpenMode mode, int* error) override {
    bool refused = mode == OpenMode::kRead ? fail_open_read
                                           : fail_write_open && ++write_opens >= fail_write_open;
    if (refused) *error = ENOSPC;
    std::unique_ptr<File> file = refused ? nullptr : real.Open(path, mode, error);
    open += file != nullptr;
    return file ? std::make_unique<Faulty>(*this, std::move(file)) : nullptr;
  }

  struct Faulty : File {
    Faulty(FaultyFileOps& ops, std::unique_ptr<File> real, bool counted = true)
        : ops(ops), real(std::move(real)), counted(counted) {}
    long Read(void* buffer, std::size_t size) override {
      if (ops.short_reads != 0) {
        ops.short_reads = ops.short_reads * 1103515245u + 12345u;
        size = std::min<std::size_t>(size, 1 + (ops.short_reads >> 16) % 4096);
      }
      if (ops.read >= ops.read_fails_at) return Failed(EIO, Fail(-1));
      long n = real->Read(buffer, std::min(size, ops.read_fails_at - ops.read));
      ops.read += n > 0 ? n : 0;
      return n;
    }
    bool Write(const void* data, std::size_t size) override {
      written = true;
      std::size_t n =
          std::min(size, ops.write_fails_at - std::min(ops.write_fails_at, ops.written));
      ops.written += n;
      if (!real->Write(data, n)) return Failed(real->Error(), false);
      return n == size || Failed(ENOSPC, Fail(0) != 0);
    }
    bool Close() override {
      ops.open -= counted && !closed;
      closed = true;
      bool fails = written && ops.fail_write_close && ++ops.write_closes >= ops.fail_write_close;
      if (!real->Close()) return Failed(real->Error(), false);
      return !fails || Failed(ENOSPC, Fail(0) != 0);
    }
    FileId Id() override { return real->Id(); }
    long Fail(long result) { return ops.failed = true, result; }
    FaultyFileOps& ops;
    std::unique_ptr<File> real;
    bool written = false, closed = false, counted;
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

enum Op { kToJis, kToSjis, kNecStep, kJisStep, kB64Text, kDecode };

// A line step or the decoder on a text, as the product makes it and as the reference procedure
// makes it.
struct Converted {
  std::string text;          // the product's result as written: up to a NUL
  bool agrees = true;        // the reference procedure gives the same
  bool in_bounds = true;     // neither wrote past the room its contract names
  bool direct_holds = true;  // a result said to be direct holds no NUL and no inner LF
  bool marked = false;       // the step marked the line
};

// Both on exact-size copies, the smallest output each contract allows: the sanitizers see any
// access past them; without them, guard bytes after each buffer must stay.
inline Converted Convert(Op op, const std::string& in) {
#ifdef __SANITIZE_ADDRESS__
  const std::size_t guard = 0;
#else
  const std::size_t guard = 8;
#endif
  const char guard_bytes[] = "\x86\xA2\x1B$B0QQ";
  const std::size_t n = in.size(), m = std::strlen(in.c_str());
  auto buffer = [&](std::size_t size, const std::string& text) {
    std::vector<char> b(size + guard);
    std::memcpy(b.data(), text.c_str(), std::min(size, text.size() + 1));
    std::memcpy(b.data() + size, guard_bytes, guard);
    return b;
  };
  auto intact = [&](const std::vector<char>& b) {
    return std::memcmp(b.data() + b.size() - guard, guard_bytes, guard) == 0;
  };
  const bool ruled = op == kNecStep || op == kJisStep;
  const std::size_t room = op == kToJis     ? 3 * n + 3
                           : op == kToSjis  ? n + 1
                           : op == kDecode  ? 3 * ((m + 3) / 4) + 1
                           : op == kB64Text ? 2 * n + 2
                                            : 4 * n + 4;
  std::vector<char> text = buffer(n + 1, in), work = buffer(room, "");
  std::vector<char> ref_text = buffer(ruled ? 3 * n + 3 : n + 1, in);
  std::vector<char> ref_work = buffer(op == kToJis ? 3 * n + 3 : op == kDecode ? room : n + 1, "");
  LineText r = {work.data(), 0, false};
  const char* want = ref_work.data();
  unsigned char* out = reinterpret_cast<unsigned char*>(work.data());
  unsigned char* ref_out = reinterpret_cast<unsigned char*>(ref_work.data());
  std::size_t ref_count = 0;
  switch (op) {
    case kToJis:
      r.length = SjisToJisLine(work.data(), text.data(), n, &r.direct, &r.marked);
      reference::SjisToJisLine(ref_work.data(), ref_text.data());
      break;
    case kToSjis:
      r.length = JisToSjisLine(work.data(), text.data(), n, &r.direct);
      reference::JisToSjisLine(ref_work.data(), ref_text.data());
      break;
    case kNecStep:
    case kJisStep:
      r = (op == kNecStep ? NecToJisStep : JisToNecStep)(text.data(), n, work.data());
      reference::RuledLineStep(ref_text.data(), ref_work.data(), op == kNecStep);
      want = ref_text.data();
      break;
    case kB64Text:
      r = B64TextStep(text.data(), n, work.data());
      reference::B64TextStep(ref_text.data(), ref_work.data());
      want = ref_text.data();
      break;
    case kDecode:
      r = {work.data(), DecodeBase64(out, text.data(), m), false};  // bytes, not a line
      ref_count = reference::DecodeBase64(ref_out, ref_text.data());
      break;
  }
  Converted c;
  c.text.assign(r.text, r.length);
  c.marked = r.marked;
  const bool one_line = in.find('\n') == std::string::npos || in.find('\n') + 1 == n;
  const std::size_t lf = c.text.find('\n');
  c.direct_holds = !r.direct || !one_line ||
                   (c.text.find('\0') == std::string::npos &&
                    (lf == std::string::npos || lf + 1 == c.text.size()));
  c.in_bounds =
      intact(text) && intact(work) && intact(ref_text) && intact(ref_work) && r.text[r.length] == 0;
  if (op == kDecode) {
    c.agrees = c.text == std::string(ref_work.data(), ref_count) && ref_out[ref_count] == 0 &&
               Base64Span(text.data(), n) == reference::Base64Span(ref_text.data());
  } else {
    c.text.resize(std::min(c.text.size(), c.text.find('\0')));
    c.agrees = c.text == want;
  }
  c.agrees = c.agrees && std::memcmp(text.data(), in.c_str(), n + 1) == 0;  // the line unchanged
  return c;
}

// Bytes in memory as a File, read `chunk` bytes at a time at most (0: all at once).
struct MemoryFile : File {
  MemoryFile(std::string bytes, std::size_t chunk) : data(std::move(bytes)), chunk(chunk) {}
  long Read(void* buffer, std::size_t size) override {
    std::size_t n = std::min({size, data.size() - pos, chunk ? chunk : size});
    std::memcpy(buffer, data.data() + pos, n);
    pos += n;
    return static_cast<long>(n);
  }
  bool Write(const void* bytes, std::size_t size) override {
    data.append(static_cast<const char*>(bytes), size);
    return true;
  }
  bool Close() override { return true; }
  std::string data;
  std::size_t chunk, pos = 0;
};

// `in` through a prepared transcoding, read `chunk` bytes at a time; its report into `*report`.
inline std::string Transcode(Transcoding& transcoding, const std::string& in, std::size_t chunk,
                             TranscodeReport* report = nullptr) {
  MemoryFile from(in, chunk), to("", 0);
  const LinesResult r = transcoding.Run(from, to);
  if (r != LinesResult::kDone && r != LinesResult::kStopped) std::abort();
  if (report) *report = transcoding.report();
  return to.data;
}
inline std::string Transcode(const TranscodeOptions& options, const std::string& in,
                             std::size_t chunk, TranscodeReport* report = nullptr) {
  Transcoding transcoding(options);
  if (!transcoding.Prepare()) std::abort();
  return Transcode(transcoding, in, chunk, report);
}

}  // namespace velko::test

#endif
