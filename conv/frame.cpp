#include "frame.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "bytes.h"
#include "jis.h"
#include "textio.h"
#include "texts.h"

namespace velko {
namespace {

constexpr std::size_t kMaxPart = 255;  // longest directory or stem a backup name may keep
constexpr std::size_t kStreamBuffer = 256 * 1024;

}  // namespace

void ShowError(const Services& sv, Owner owner, const char* format, ...) {
  char text[3 * kPathSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  sv.host.ShowError(owner, text);
}

bool FileExists(FileOps& files, const char* path) { return files.Exists(path); }

bool MakeBackupPath(char* out, const char* path, const char* ext, PathStyle style) {
  out[0] = 0;
  const bool win32 = style == PathStyle::kWin32;
  std::size_t drive = (win32 && path[0] != 0 && path[1] == ':') ? 2 : 0;
  std::size_t component = drive;  // start of the final component
  std::size_t dot = static_cast<std::size_t>(-1);
  std::size_t i = drive;
  while (path[i] != 0) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (win32 && IsSjisLeadByte(c) && path[i + 1] != 0) {
      i += 2;  // a second byte is never a separator or a dot
      continue;
    }
    if (c == '/' || (win32 && c == '\\')) {
      component = i + 1;
      dot = static_cast<std::size_t>(-1);
    } else if (c == '.') {
      dot = i;
    }
    ++i;
  }
  std::size_t stem_end = dot == static_cast<std::size_t>(-1) ? i : dot;
  std::size_t dir_len = component - drive;
  std::size_t stem_len = stem_end - component;
  std::size_t ext_len = std::strlen(ext);
  // Cutting a part, as a 255-byte split would, names another file: refuse instead.
  if (dir_len > kMaxPart || stem_len > kMaxPart) return false;
  std::size_t total = stem_end + (ext_len > 0 ? 1 + ext_len : 0);
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

std::unique_ptr<char[]> LineBuffers(const LineStep& step) {
  return std::unique_ptr<char[]>(
      new (std::nothrow) char[kReadLimit + step.work_size + 2 * kStreamBuffer + 1]);
}

LinesResult ConvertLines(File& in, File& out, const LineStep& step, char* buffers) {
  char* line = buffers;
  char* work = line + kReadLimit;
  char* in_buffer = work + step.work_size;  // one byte more: the reader keeps it for a NUL
  char* out_buffer = in_buffer + kStreamBuffer + 1;
  LineReader reader(in, true, in_buffer, kStreamBuffer + 1);
  OutStream writer(out, out_buffer, kStreamBuffer);
  for (;;) {
    std::size_t length = 0;
    char* text = line;
    ReadResult r = reader.ReadLineInPlace(line, kReadLimit, &text, &length);
    if (r == ReadResult::kEnd) break;
    if (r == ReadResult::kError) {
      in.Close();
      writer.Flush();
      out.Close();
      return LinesResult::kReadError;
    }
    LineText result = step.run(text, length, writer.Room(step.work_size));
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
  bool flushed = writer.Flush();
  // A full disk may show only now: that is a failed write, not a success.
  bool closed = out.Close();
  return flushed && closed ? LinesResult::kDone : LinesResult::kWriteError;
}

bool ConvertInPlace(const char* target, const LineStep& step, const char* completion, Owner owner,
                    const Services& sv) {
  auto fail = [&](const char* format, const char* path, const char* other = "") {
    ShowError(sv, owner, format, path, other);
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
  std::unique_ptr<char[]> buffers = LineBuffers(step);  // before anything on disk changes
  if (!buffers) {
    sv.host.ShowError(owner, kErrMemory);
    return false;
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
  std::unique_ptr<File> output = sv.files.Open(target, OpenMode::kWrite);
  if (!output) {
    input->Close();
    return fail(kErrOutputOpen, target);
  }
  sv.files.CopyPermissions(backup, target);  // before any content is written
  switch (ConvertLines(*input, *output, step, buffers.get())) {
    case LinesResult::kReadError: return fail(kErrInputRead, backup);
    case LinesResult::kWriteError: return fail(kErrOutputWrite, target);
    case LinesResult::kDone: break;
  }
  sv.host.ShowMessage(owner, completion);
  return true;
}

}  // namespace velko
