#include "text/frame.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "codec/bytes.h"
#include "codec/jis.h"
#include "text/textio.h"
#include "ports/texts.h"

namespace velko {
namespace {

constexpr std::size_t kMaxPart = 255;  // longest directory or stem a backup name may keep
constexpr std::size_t kStreamBuffer = 256 * 1024;
// Hidden where a leading dot hides a name; eight hexadecimal digits make it one of its own.
constexpr char kTemporaryName[] = ".velko-%08x.tmp";

}  // namespace

void FormatError(char* out, std::size_t size, const char* format, const char* path,
                 const char* other) {
  std::snprintf(out, size, format, path, other);
}

bool FileExists(FileOps& files, const char* path) { return files.Exists(path); }

std::size_t FinalComponent(const char* path, PathStyle style) {
  const bool windows = IsWindows(style), sjis = NamesInSjis(style);
  std::size_t start = windows && path[0] != 0 && path[1] == ':' ? 2 : 0;
  // A second byte of a Shift_JIS character is never a separator.
  for (std::size_t i = start; path[i] != 0; i += sjis ? CharacterLength(path + i, true) : 1) {
    if (path[i] == '/' || (windows && path[i] == '\\')) start = i + 1;
  }
  return start;
}

bool MakeBackupPath(char* out, const char* path, const char* ext, PathStyle style) {
  out[0] = 0;
  const bool windows = IsWindows(style), sjis = NamesInSjis(style);
  const std::size_t drive = windows && path[0] != 0 && path[1] == ':' ? 2 : 0;
  const std::size_t component = FinalComponent(path, style);
  std::size_t i = component, stem_end = std::strlen(path);
  for (; path[i] != 0; i += sjis ? CharacterLength(path + i, true) : 1) {
    if (path[i] == '.') stem_end = i;
  }
  const std::size_t ext_len = std::strlen(ext);
  const std::size_t backup_name = stem_end - component + (ext_len > 0 ? 1 + ext_len : 0);
  // Cutting a part, as a 255-byte split would, names another file: refuse instead. Windows
  // splits a path into a folder and a stem of 255 bytes each; elsewhere only a name is limited.
  if (windows ? component - drive > kMaxPart || stem_end - component > kMaxPart
              : backup_name > kMaxPart) {
    return false;
  }
  const std::size_t total = stem_end + (ext_len > 0 ? 1 + ext_len : 0);
  if (total >= kPathSize) return false;
  std::memcpy(out, path, stem_end);
  std::size_t n = stem_end;
  if (ext_len > 0) {
    out[n++] = '.';
    std::memcpy(out + n, ext, ext_len);
    n += ext_len;
  }
  out[n] = 0;
  return true;
}

std::unique_ptr<File> OpenTemporary(FileOps& files, const char* beside, char* name) {
  // Names differ from run to run and from call to call; one that is taken is passed over.
  static std::uint32_t next =
      static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&next) >> 4);
  const std::size_t folder = FinalComponent(beside, files.Style());
  for (int attempt = 0; attempt < 100 && folder + sizeof kTemporaryName < kPathSize; ++attempt) {
    next = next * 1664525u + 1013904223u;
    std::memcpy(name, beside, folder);
    std::snprintf(name + folder, kPathSize - folder, kTemporaryName, static_cast<unsigned>(next));
    if (std::unique_ptr<File> file = files.Open(name, OpenMode::kCreate)) return file;
    if (!files.Exists(name)) break;  // the folder takes no new file
  }
  name[0] = 0;
  return nullptr;
}

std::unique_ptr<char[]> LineBuffers(const LineStep& step) {
  return std::unique_ptr<char[]>(
      new (std::nothrow) char[kReadLimit + step.work_size + 2 * kStreamBuffer + 1]);
}

LinesResult ConvertLines(File& in, File& out, const LineStep& step, char* buffers, TextRules rules,
                         Losses* losses) {
  char* line = buffers;
  char* work = line + kReadLimit;
  char* in_buffer = work + step.work_size;  // one byte more: the reader keeps it for a NUL
  char* out_buffer = in_buffer + kStreamBuffer + 1;
  const bool windows = rules == TextRules::kWindows;
  LineReader reader(in, windows, in_buffer, kStreamBuffer + 1);
  OutStream writer(out, out_buffer, kStreamBuffer, windows);
  // A block the step gave back goes line by line up to here.
  unsigned long long by_line_until = 0;
  const std::size_t block_most = (kStreamBuffer - 5) / step.block_ratio;
  for (unsigned long long number = 1;; ++number) {
    if (step.lines != nullptr && reader.Offset() >= by_line_until) {
      char* text;
      if (std::size_t n = reader.Region(block_most, kReadLimit, &text)) {
        BlockTaken taken;
        const std::size_t made = step.lines(writer.Room(step.block_ratio * n + 4), text, n,
                                            windows, kReadLimit, &taken);
        if (made == kNoBlock) {
          by_line_until = reader.Offset() + taken.read;
        } else {
          if (taken.marks.lines > 0 && losses) {
            if (losses->marked == 0) losses->first_marked_line = number + taken.marks.first;
            losses->marked += taken.marks.lines;
          }
          if (!writer.CommitBytes(made)) {
            in.Close();
            out.Close();
            return LinesResult::kWriteError;
          }
          reader.Take(taken.read);
          if (taken.read > 0) {
            number += taken.lines - 1;
            continue;
          }
        }
      }
    } else if (step.block != nullptr && reader.Offset() >= by_line_until) {
      char* lines;
      unsigned long long count;
      if (std::size_t n = reader.ReadLines(kReadLimit, block_most, &lines, &count)) {
        BlockMarks marks;
        std::size_t made = step.block(writer.Room(step.block_ratio * n + 4), lines, n, &marks);
        if (made != kNoBlock) {
          if (marks.lines > 0 && losses) {
            if (losses->marked == 0) losses->first_marked_line = number + marks.first;
            losses->marked += marks.lines;
          }
          if (!writer.CommitBytes(made)) {
            in.Close();
            out.Close();
            return LinesResult::kWriteError;
          }
          number += count - 1;
          continue;
        }
        reader.Unread(n);
        by_line_until = reader.Offset() + n;
      }
    }
    std::size_t length = 0;
    char* text = line;
    const unsigned long long start = reader.Offset();
    ReadResult r = reader.ReadLineInPlace(line, kReadLimit, &text, &length);
    if (r == ReadResult::kEnd) break;
    const void* nul = losses ? std::memchr(text, 0, length) : nullptr;
    if (nul != nullptr && losses->nul_cuts++ == 0) {
      losses->first_nul = start + (static_cast<const char*>(nul) - text);
    }
    if (r == ReadResult::kError) {
      in.Close();
      writer.Flush();
      out.Close();
      return LinesResult::kReadError;
    }
    LineText result = step.run(text, length, writer.Room(step.work_size));
    if (result.marked && losses && losses->marked++ == 0) losses->first_marked_line = number;
    bool ok;
    if (result.direct) {
      ok = writer.Commit(result.length);
    } else {
      // A LF or a NUL in the text: made again aside, then written by the general rule.
      result = step.run(text, length, work);
      ok = writer.PutText(result.text, result.length);
    }
    if (!ok) {
      in.Close();
      out.Close();
      return LinesResult::kWriteError;
    }
  }
  in.Close();
  if (losses) {
    losses->text_end = reader.text_end();
    losses->ctrl_z = reader.ctrl_z_dropped();
    losses->first_ctrl_z = reader.first_ctrl_z();
  }
  bool flushed = writer.Flush();
  // A full disk may show only now: that is a failed write, not a success.
  bool closed = out.Close();
  return flushed && closed ? LinesResult::kDone : LinesResult::kWriteError;
}

namespace {

// The file being written under a temporary name: removed unless it took its real name.
struct Temporary {
  FileOps& files;
  char name[kPathSize];
  std::unique_ptr<File> file;  // open until the conversion closes it
  explicit Temporary(FileOps& ops, const char* beside) : files(ops) {
    file = OpenTemporary(files, beside, name);
  }
  ~Temporary() {
    if (file) file->Close();
    if (name[0] != 0) files.Remove(name);
  }
};

}  // namespace

bool LineConversion::Prepare() {
  buffers_ = LineBuffers(step_);
  return buffers_ != nullptr;
}

LinesResult LineConversion::Run(File& in, File& out) {
  return ConvertLines(in, out, step_, buffers_.get(), rules_, &losses_);
}

bool ConvertInPlace(const char* target, const LineStep& step, const char* completion, Owner owner,
                    const Services& sv) {
  LineConversion conversion(step, sv.rules);
  return ConvertInPlace(target, conversion, completion, owner, sv);
}

bool ConvertInPlace(const char* target, Conversion& conversion, const char* completion,
                    Owner owner, const Services& sv) {
  auto fail = [&](const char* format, const char* path, const char* other = "") {
    sv.host.ShowError(owner, format, path, other);
    return false;
  };
  if (!FileExists(sv.files, target)) return fail(kErrNoInput, target);
  char backup[kPathSize];
  // The backup of a file whose extension is already BAK would name the file itself on a
  // case-blind file system.
  if (!MakeBackupPath(backup, target, "BAK", sv.files.Style()) ||
      EqualNoCase(target, std::strlen(target), backup)) {
    return fail(kErrBackupName, target);
  }
  // A folder, a FIFO or a device is no text to convert: refused before anything moves.
  if (sv.files.Kind(target, true) != EntryKind::kRegular) return fail(kErrInputOpen, target);
  if (!conversion.Prepare()) {  // before anything on disk changes
    sv.host.ShowError(owner, kErrMemory, "", "");
    return false;
  }
  // A second run on the same file is refused while this one holds it, and the name must still
  // lead to the file held.
  std::unique_ptr<File> hold;
  const LockResult lock = sv.files.Lock(target, &hold);
  if (lock == LockResult::kBusy || (hold && !(hold->Id() == sv.files.Id(target)))) {
    return fail(kErrBusy, target);
  }
  // The new content goes to a file of its own beside the target, with the target's permissions
  // before a byte is written, and takes the target's name only when whole.
  Temporary output(sv.files, target);
  if (output.file && !sv.files.CopyPermissions(target, output.name)) {
    return fail(kErrPermissions, target);
  }
  if (FileExists(sv.files, backup)) {
    // The "old backup" may be the target itself under another spelling or through a link.
    if (sv.files.SameFile(backup, target)) return fail(kErrBackupName, target);
    EntryKind kind = sv.files.Kind(backup, false);
    if ((kind != EntryKind::kRegular && kind != EntryKind::kLink) || !sv.files.Remove(backup)) {
      return fail(kErrRemove, backup);
    }
  }
  if (!sv.files.RenameNoReplace(target, backup)) return fail(kErrRename, target, backup);
  std::unique_ptr<File> input = sv.files.Open(backup, OpenMode::kRead);
  if (!input) return fail(kErrInputOpen, backup);
  if (!output.file) {
    input->Close();
    return fail(kErrOutputOpen, target);
  }
  const LinesResult result = conversion.Run(*input, *output.file);
  output.file.reset();  // closed by the conversion
  switch (result) {
    case LinesResult::kReadError: return fail(kErrInputRead, backup);
    case LinesResult::kWriteError: return fail(kErrOutputWrite, target);
    case LinesResult::kDone: break;
  }
  const bool named = sv.files.RenameNoReplace(output.name, target);
  if (!named) fail(kErrRename, output.name, target);
  output.name[0] = 0;  // the target now, or whole under the name the message gives
  if (!named) return false;
  sv.host.ShowMessage(owner, completion);
  return true;
}

}  // namespace velko
