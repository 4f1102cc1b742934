// The file operations the core needs, supplied by the platform (and by tests, with faults).
#ifndef VELKO_CONV_PORTS_FILEOPS_H
#define VELKO_CONV_PORTS_FILEOPS_H

#include <cstddef>
#include <functional>
#include <memory>

namespace velko {

// How the platform's path names are split and cased.
enum class PathStyle {
  kPosix,      // plain bytes, '/' only, no drive, case-sensitive
  kWin32,      // Shift_JIS bytes (the ANSI calls), "X:" drive, '\' and '/', double-byte
               // characters kept whole, case-blind
  kWin32Utf8,  // the same in UTF-8, which the wide calls take: no byte of a character is '\'
};
constexpr bool IsWindows(PathStyle style) { return style != PathStyle::kPosix; }
// Names in this style are Shift_JIS; else UTF-8.
constexpr bool NamesInSjis(PathStyle style) { return style == PathStyle::kWin32; }

// What stands under a name.
enum class EntryKind { kNone, kRegular, kDirectory, kLink, kOther };

enum class OpenMode {
  kRead,    // existing file, from its start
  kWrite,   // created, or emptied if it exists
  kAppend,  // created, or written at its end
  kCreate,  // created; fails when the name is taken
  kInto,    // an existing entry that is no regular file (a device, a FIFO with a reader, a
            // terminal), written as it stands: never made, emptied or replaced
};

// A file operation's outcome: done, or the system's code for why not (errno; GetLastError on
// Windows), taken as it failed.
class FileStatus {
 public:
  FileStatus() = default;
  static FileStatus Failed(int code) {
    FileStatus status;
    status.failed_ = true;
    status.code_ = code;
    return status;
  }
  explicit operator bool() const { return !failed_; }
  int code() const { return code_; }

 private:
  bool failed_ = false;
  int code_ = 0;
};

// What makes a file itself whatever its names: device and inode, or volume and file index.
struct FileId {
  unsigned long long volume = 0, index = 0;
  bool known = false;  // no such file, or nothing that has one (a pipe, a terminal)
  bool operator==(const FileId& other) const {
    return known && other.known && volume == other.volume && index == other.index;
  }
};

// A file opened in binary: bytes go in and out unchanged.
class File {
 public:
  virtual ~File() = default;
  // Bytes read (0 at the end of the file), or -1 on a read failure.
  virtual long Read(void* buffer, std::size_t size) = 0;
  // True when every byte was written.
  virtual bool Write(const void* data, std::size_t size) = 0;
  // True when the file was closed with nothing left unwritten. Called at most once.
  virtual bool Close() = 0;
  // Known for a regular file only.
  virtual FileId Id() { return {}; }
  // Its length now, for a regular file; false for anything else.
  virtual bool Length(unsigned long long* length) {
    (void)length;
    return false;
  }
  // The system's code for why the last Read, Write or Close failed, taken as it failed; 0 when
  // none has.
  virtual int Error() const { return error_; }

 protected:
  // For a Read, Write or Close that fails: keeps its code and gives `result`.
  template <typename T>
  T Failed(int code, T result) {
    error_ = code;
    return result;
  }

 private:
  int error_ = 0;
};

// The length of the name a new file is written under until it is whole.
constexpr std::size_t kTemporaryNameLength = 19;

// A second run that asks for a hold on the same file gets kBusy while this one keeps it.
enum class LockResult { kHeld, kBusy, kNotAvailable };

class FileOps {
 public:
  virtual ~FileOps() = default;
  virtual PathStyle Style() const = 0;
  // True when there is an entry of that name; a directory and a dangling link count.
  virtual bool Exists(const char* path) = 0;
  // `follow` looks through symbolic links (a dangling one is then kNone); else a link is kLink.
  virtual EntryKind Kind(const char* path, bool follow) = 0;
  // The entry a name leads to, through links; any kind of entry. Names are no proof of
  // identity: "a.BAK " is "a.BAK" on Win32, "./a.BAK" is "a.BAK" everywhere.
  virtual FileId Id(const char* path) = 0;
  bool SameFile(const char* a, const char* b) { return Id(a) == Id(b); }
  // How many names the file has (hard links); 1 where that is not known.
  virtual unsigned long Links(const char* path) = 0;
  // What the symbolic link `path` holds, into `target` (`size` bytes): a path, relative to the
  // link's folder unless absolute; where the system tells only the end of the chain (Windows),
  // the full path of the file it leads to. False when `path` is no link.
  virtual bool ReadLink(const char* path, char* target, std::size_t size) = 0;
  // True when the final component of `path` is only another name of a file its folder stores
  // under another one (on a volume with short names, "REPORT~1.PDF" for "report-2024.pdf"),
  // with that name in `name` (`size` bytes).
  virtual bool AliasOf(const char* path, char* name, std::size_t size) = 0;
  // Removes a file or a link, never a directory.
  virtual FileStatus Remove(const char* path) = 0;
  // Fails, changing nothing, when `to` exists.
  virtual FileStatus RenameNoReplace(const char* from, const char* to) = 0;
  // Puts `from` in the place of `to` in one step, whatever `to` was.
  virtual FileStatus Replace(const char* from, const char* to) = 0;
  // Null on failure, with the system's code in `*error`. Only regular files open (a FIFO or a
  // device never blocks or hangs), but with kInto, which opens only what is none.
  virtual std::unique_ptr<File> Open(const char* path, OpenMode mode, int* error) = 0;
  std::unique_ptr<File> Open(const char* path, OpenMode mode) {
    int ignored;
    return Open(path, mode, &ignored);
  }
  // Appends `text` (`length` bytes of code page 932, or of UTF-8 when `utf8`) to the
  // NUL-terminated `name` (`size` bytes) in the platform's encoding for file names (POSIX:
  // UTF-8; Win32: code page 932); a character it cannot hold becomes '_'. Never cuts a character.
  virtual void AppendName(char* name, std::size_t size, const char* text, std::size_t length,
                          bool utf8) = 0;
  // Gives `to` the owner and group of `from`; fails where the process may not give them.
  virtual FileStatus KeepOwner(const char* from, const char* to) = 0;
  // Gives `to` the permission bits (set-id and sticky included), access control list and
  // extended attributes of `from`. After KeepOwner, which may clear the set-id bits.
  virtual FileStatus CopyPermissions(const char* from, const char* to) = 0;
  // Gives `to` the times of last access and modification of `from`.
  virtual FileStatus CopyTimes(const char* from, const char* to) = 0;
  // A hold on the file at `path` (`*hold` keeps it open for reading until it is destroyed);
  // kNotAvailable when the file system gives none.
  virtual LockResult Lock(const char* path, std::unique_ptr<File>* hold) = 0;
  // How many bytes a new name in `folder` may have: the platform's longest component (255),
  // less where a whole path has a limit; 0 where the temporary a new file is first written
  // under (kTemporaryNameLength bytes) would not fit.
  virtual std::size_t NameRoom(const char* folder) = 0;
  // Makes the folder `path` with the folders above it that are missing.
  virtual FileStatus MakeFolder(const char* path) = 0;
  // Every name in `folder` but "." and ".."; false when it cannot be read.
  virtual bool ListFolder(const char* folder, const std::function<void(const char*)>& each) = 0;
};

}  // namespace velko

#endif
