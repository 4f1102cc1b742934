// The file operations the core needs, supplied by the platform (and by tests, with faults).
#ifndef VELKO_CONV_FILEOPS_H
#define VELKO_CONV_FILEOPS_H

#include <cstddef>
#include <memory>

namespace velko {

// How the platform's path names are split and cased.
enum class PathStyle {
  kPosix,  // plain bytes, '/' only, no drive, case-sensitive
  kWin32,  // Shift_JIS bytes, "X:" drive, '\' and '/', double-byte characters kept whole
};

// What stands under a name.
enum class EntryKind { kNone, kRegular, kDirectory, kLink, kOther };

enum class OpenMode {
  kRead,    // existing file, from its start
  kWrite,   // created, or emptied if it exists
  kAppend,  // created, or written at its end
  kCreate,  // created; fails when the name is taken
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
};

class FileOps {
 public:
  virtual ~FileOps() = default;
  virtual PathStyle Style() const = 0;
  // True when there is an entry of that name; a directory and a dangling link count.
  virtual bool Exists(const char* path) = 0;
  // `follow` looks through symbolic links (a dangling one is then kNone); else a link is kLink.
  virtual EntryKind Kind(const char* path, bool follow) = 0;
  // True when both names lead to one file, through links too: the same device and inode, or
  // volume and file index. Names are no proof: "a.BAK " is "a.BAK" on Win32.
  virtual bool SameFile(const char* a, const char* b) = 0;
  // Removes a file or a link, never a directory.
  virtual bool Remove(const char* path) = 0;
  // Fails, changing nothing, when `to` exists.
  virtual bool RenameNoReplace(const char* from, const char* to) = 0;
  // Puts `from` in the place of `to` in one step, whatever `to` was.
  virtual bool Replace(const char* from, const char* to) = 0;
  // Null on failure. Only regular files open (a FIFO or a device never blocks or hangs).
  virtual std::unique_ptr<File> Open(const char* path, OpenMode mode) = 0;
  // Appends `text` (`length` bytes of code page 932, or of UTF-8 when `utf8`) to the
  // NUL-terminated `name` (`size` bytes) in the platform's encoding for file names (POSIX:
  // UTF-8; Win32: code page 932); a character it cannot hold becomes '_'. Never cuts a character.
  virtual void AppendName(char* name, std::size_t size, const char* text, std::size_t length,
                          bool utf8) = 0;
  // Gives `to` the permission bits and, where the process may, the owner and group of `from`.
  virtual void CopyPermissions(const char* from, const char* to) = 0;
};

}  // namespace velko

#endif
