#include "text/frame.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "codec/bytes.h"
#include "codec/jis.h"
#include "ports/texts.h"
#include "text/textio.h"

namespace velko {
namespace {

constexpr std::size_t kMaxPart = 255;  // longest directory or stem a backup name may keep
constexpr std::size_t kStreamBuffer = 256 * 1024;
// Hidden where a leading dot hides a name; eight hexadecimal digits make it one of its own.
constexpr char kTemporaryName[] = ".velko-%08x.tmp";
static_assert(sizeof kTemporaryName - 1 + 4 == kTemporaryNameLength, "%08x gives 8 digits");
constexpr int kMostLinks = 40;  // a longer chain of symbolic links is taken for a loop

}  // namespace

void FormatError(char* out, std::size_t size, const char* format, const char* path,
                 const char* other) {
  std::snprintf(out, size, format, path, other);
}

void Host::ShowFailure(Owner owner, const Fault& fault) {
  ShowError(owner, FailureText(fault.what), fault.path, fault.other);
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

std::unique_ptr<File> OpenTemporary(FileOps& files, const char* beside, char* name, int* error) {
  // Names differ from run to run and from call to call; one that is taken is passed over.
  static thread_local std::uint32_t next =
      static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&next) >> 4);
  const std::size_t folder = FinalComponent(beside, files.Style());
  int code = 0;
  for (int attempt = 0; attempt < 100 && folder + sizeof kTemporaryName < kPathSize; ++attempt) {
    next = next * 1664525u + 1013904223u;
    std::memcpy(name, beside, folder);
    std::snprintf(name + folder, kPathSize - folder, kTemporaryName, static_cast<unsigned>(next));
    if (std::unique_ptr<File> file = files.Open(name, OpenMode::kCreate, &code)) return file;
    if (!files.Exists(name)) break;  // the folder takes no new file
  }
  if (error) *error = code;
  name[0] = 0;
  return nullptr;
}

bool FollowLinks(FileOps& files, const char* path, char* out) {
  const PathStyle style = files.Style();
  char target[kPathSize];
  if (std::strlen(path) >= kPathSize) return false;
  std::memcpy(out, path, std::strlen(path) + 1);
  for (int hop = 0; files.ReadLink(out, target, sizeof target); ++hop) {
    const bool absolute = target[0] == '/' || (IsWindows(style) && (target[0] == '\\' ||
                                                                    target[1] == ':'));
    const std::size_t folder = absolute ? 0 : FinalComponent(out, style);
    if (hop == kMostLinks || folder + std::strlen(target) >= kPathSize) return false;
    std::memcpy(out + folder, target, std::strlen(target) + 1);  // relative to the link's folder
  }
  return true;
}

bool NumberedBackupName(FileOps& files, const char* backup, char* out) {
  const PathStyle style = files.Style();
  const std::size_t name = FinalComponent(backup, style);
  const char* base = backup + name;
  const std::size_t base_size = std::strlen(base);
  const std::string folder = name == 0 ? std::string(".") : std::string(backup, name);
  unsigned long highest = 0;
  files.ListFolder(folder.c_str(), [&](const char* entry) {
    const std::size_t n = std::strlen(entry);
    if (n > base_size + 3 && std::strncmp(entry, base, base_size) == 0 &&
        std::strncmp(entry + base_size, ".~", 2) == 0 && entry[n - 1] == '~' &&
        entry[base_size + 2] >= '0' && entry[base_size + 2] <= '9') {
      char* end = nullptr;
      const unsigned long number = std::strtoul(entry + base_size + 2, &end, 10);
      if (end == entry + n - 1 && number > highest) highest = number;
    }
  });
  return std::snprintf(out, kPathSize, "%s.~%lu~", backup, highest + 1) < static_cast<int>(kPathSize);
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

// A file read through a handle that stays open after the reading: closing it is its owner's.
class Borrowed : public File {
 public:
  explicit Borrowed(File& file) : file_(file) {}
  long Read(void* buffer, std::size_t size) override { return file_.Read(buffer, size); }
  bool Write(const void* data, std::size_t size) override { return file_.Write(data, size); }
  bool Close() override { return true; }
  FileId Id() override { return file_.Id(); }

 private:
  File& file_;
};

// The file being written under a temporary name: removed unless it took its real name.
struct Temporary {
  FileOps& files;
  char name[kPathSize];
  int error = 0;               // why none could be made
  std::unique_ptr<File> file;  // open until the conversion closes it
  explicit Temporary(FileOps& ops, const char* beside) : files(ops) {
    file = OpenTemporary(files, beside, name, &error);
  }
  ~Temporary() {
    if (file) file->Close();
    if (name[0] != 0) files.Remove(name);
  }
};

// More than the reader reads ahead and the writer holds back together, with a line between.
constexpr std::size_t kCompareSize = 4 * kStreamBuffer;

// The old content as the conversion reads it, and the new as it writes it, held one against
// the other through a ring of the last bytes read: whether the two are one byte for byte is
// known when the new is closed. New bytes that lag the old by more than the ring count as
// changed; so does an old content not read to its end.
class Compared {
 public:
  explicit Compared(char* ring) : ring_(ring) {}

  class Old : public File {
   public:
    Old(Compared& c, File& file) : c_(c), file_(file) {}
    long Read(void* buffer, std::size_t size) override {
      const long n = file_.Read(buffer, size);
      if (n < 0) return Failed(file_.Error(), n);
      c_.ended_ = n == 0;
      const char* bytes = static_cast<const char*>(buffer);
      // Only the last kCompareSize bytes can be needed: in at most two pieces of the ring.
      const std::size_t count = static_cast<std::size_t>(n);
      const std::size_t take = count < kCompareSize ? count : kCompareSize;
      const std::size_t at = (c_.read_ + count - take) % kCompareSize;
      const std::size_t first = take < kCompareSize - at ? take : kCompareSize - at;
      std::memcpy(c_.ring_ + at, bytes + count - take, first);
      std::memcpy(c_.ring_, bytes + count - take + first, take - first);
      c_.read_ += static_cast<unsigned long long>(n);
      return n;
    }
    bool Write(const void*, std::size_t) override { return false; }
    bool Close() override { return file_.Close() || Failed(file_.Error(), false); }

   private:
    Compared& c_;
    File& file_;
  };

  class New : public File {
   public:
    New(Compared& c, File& file) : c_(c), file_(file) {}
    long Read(void*, std::size_t) override { return -1; }
    bool Write(const void* data, std::size_t size) override {
      if (!file_.Write(data, size)) return Failed(file_.Error(), false);
      const unsigned long long at = c_.written_;
      c_.written_ += size;
      if (c_.same_ && (c_.written_ > c_.read_ || c_.read_ - at > kCompareSize)) c_.same_ = false;
      if (c_.same_) {
        const std::size_t from = at % kCompareSize;
        const std::size_t first = size < kCompareSize - from ? size : kCompareSize - from;
        const char* bytes = static_cast<const char*>(data);
        c_.same_ = std::memcmp(c_.ring_ + from, bytes, first) == 0 &&
                   std::memcmp(c_.ring_, bytes + first, size - first) == 0;
      }
      return true;
    }
    bool Close() override { return file_.Close() || Failed(file_.Error(), false); }

   private:
    Compared& c_;
    File& file_;
  };

  bool same() const { return same_ && ended_ && written_ == read_; }

 private:
  char* ring_;
  unsigned long long read_ = 0, written_ = 0;
  bool same_ = true, ended_ = false;
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
                    Owner owner, const Services& sv, const InPlace& how, InPlaceReport* report) {
  InPlaceReport own;
  InPlaceReport& r = report ? *report : own;
  FileOps& files = sv.files;
  // Told from the moment a failure could leave something else behind.
  Left nothing_changed = Left::kUnsaid;
  auto fail = [&](Failure what, const char* path, int error = 0, const char* other = "",
                  Left left = Left::kNothingChanged) {
    r.fault = Fault(what, path, error, other);
    r.fault.left = left == Left::kNothingChanged ? nothing_changed : left;
    if (left == Left::kOriginalAsBackup) Fault::Copy(r.fault.kept, r.backup);
    sv.host.ShowFailure(owner, r.fault);
    return false;
  };
  if (!FileExists(files, target)) return fail(Failure::kNoInput, target);
  // Through a symbolic link, the file it leads to is converted; the link stays as it is.
  char* file = r.file;
  if (!FollowLinks(files, target, file) || !FileExists(files, file)) {
    return fail(Failure::kInputOpen, target);
  }
  char* backup = r.backup;
  // The backup of a file whose extension is already BAK would name the file itself on a
  // case-blind file system.
  // So would one that is the file itself under another spelling or through a link.
  if (!MakeBackupPath(backup, file, "BAK", files.Style()) ||
      EqualNoCase(file, std::strlen(file), backup) ||
      (FileExists(files, backup) && files.SameFile(backup, file))) {
    return fail(Failure::kBackupName, target);
  }
  // A folder, a FIFO or a device is no text to convert: refused before anything moves.
  if (files.Kind(file, true) != EntryKind::kRegular) return fail(Failure::kInputOpen, target);
  // A new file under this name would leave the other names with the old content.
  if (files.Links(file) > 1) return fail(Failure::kHardLinks, target);
  std::unique_ptr<char[]> compare_buffer(new (std::nothrow) char[kCompareSize]);
  if (!compare_buffer || !conversion.Prepare()) return fail(Failure::kMemory, "");
  // A second run on the same file is refused while this one holds it, and the name must still
  // lead to the file held.
  std::unique_ptr<File> hold;
  const LockResult lock = files.Lock(file, &hold);
  if (lock == LockResult::kBusy || (hold && !(hold->Id() == files.Id(file)))) {
    return fail(Failure::kBusy, target);
  }
  // The new content goes to a file of its own beside the old, with its owner and permissions
  // before a byte is written, and takes its name only when whole.
  nothing_changed = Left::kNothingChanged;
  Temporary output(files, file);
  if (!output.file) return fail(Failure::kOutputOpen, target, output.error);
  if (FileStatus s = files.KeepOwner(file, output.name); !s) {
    return fail(Failure::kOwner, target, s.code());
  }
  if (FileStatus s = files.CopyPermissions(file, output.name); !s) {
    return fail(Failure::kPermissions, target, s.code());
  }
  // Read once, through the hold where there is one, which stays open (the file held) to the end.
  int error = 0;
  std::unique_ptr<File> opened = hold ? nullptr : files.Open(file, OpenMode::kRead, &error);
  if (!hold && !opened) return fail(Failure::kInputOpen, target, error);
  Borrowed source(hold ? *hold : *opened);
  Compared compared(compare_buffer.get());
  Compared::Old input(compared, source);
  Compared::New written(compared, *output.file);
  const LinesResult result = conversion.Run(input, written);
  if (opened) opened->Close();
  const int write_error = output.file->Error();
  output.file.reset();  // closed by the conversion
  switch (result) {
    case LinesResult::kReadError: return fail(Failure::kInputRead, target, input.Error());
    case LinesResult::kWriteError: return fail(Failure::kOutputWrite, target, write_error);
    case LinesResult::kStopped: return false;  // the conversion's caller tells why
    case LinesResult::kDone: break;
  }
  if (compared.same()) {  // the temporary goes; the file, its date and its backup stay
    r.unchanged = true;
    r.backup[0] = 0;
    sv.host.ShowMessage(owner, completion);
    return true;
  }
  // Again: a write clears the set-id bits.
  if (FileStatus s = files.CopyPermissions(file, output.name); !s) {
    return fail(Failure::kPermissions, target, s.code());
  }
  if (how.keep_date) {
    if (FileStatus s = files.CopyTimes(file, output.name); !s) {
      return fail(Failure::kPermissions, target, s.code());
    }
  }
  if (how.backup == BackupMode::kNone) {
    r.backup[0] = 0;
    if (FileStatus s = files.Replace(output.name, file); !s) {
      return fail(Failure::kRename, output.name, s.code(), file);
    }
    output.name[0] = 0;
    sv.host.ShowMessage(owner, completion);
    return true;
  }
  if (FileExists(files, backup)) {
    const EntryKind kind = files.Kind(backup, false);
    // What is kept is moved aside whatever it is; only a file or a link is removed.
    if (how.backup == BackupMode::kSimple && kind != EntryKind::kRegular &&
        kind != EntryKind::kLink) {
      return fail(Failure::kRemove, backup);
    }
    if (how.backup == BackupMode::kNumbered) {
      if (!NumberedBackupName(files, backup, r.kept)) return fail(Failure::kBackupName, target);
      if (FileStatus s = files.RenameNoReplace(backup, r.kept); !s) {
        return fail(Failure::kRename, backup, s.code(), r.kept);
      }
    } else if (FileStatus s = files.Remove(backup); !s) {
      return fail(Failure::kRemove, backup, s.code());
    }
  }
  if (FileStatus s = files.RenameNoReplace(file, backup); !s) {
    return fail(Failure::kRename, file, s.code(), backup, Left::kUnsaid);
  }
  if (FileStatus s = files.RenameNoReplace(output.name, file); !s) {
    fail(Failure::kRename, output.name, s.code(), file, Left::kOriginalAsBackup);
    output.name[0] = 0;  // whole under the name the message gives
    return false;
  }
  output.name[0] = 0;
  sv.host.ShowMessage(owner, completion);
  return true;
}

}  // namespace velko
