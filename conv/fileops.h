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

enum class OpenMode {
  kRead,    // existing file, from its start
  kWrite,   // created, or emptied if it exists
  kAppend,  // created, or written at its end
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
  // True when there is an entry of that name; a directory counts.
  virtual bool Exists(const char* path) = 0;
  virtual bool Remove(const char* path) = 0;
  // Fails, changing nothing, when `to` exists.
  virtual bool RenameNoReplace(const char* from, const char* to) = 0;
  // Null on failure. A directory cannot be opened.
  virtual std::unique_ptr<File> Open(const char* path, OpenMode mode) = 0;
};

}  // namespace velko

#endif
