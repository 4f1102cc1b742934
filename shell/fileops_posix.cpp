#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <new>

#include "fileops_native.h"

namespace velko {
namespace {

class PosixFile final : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override {
    if (fd_ >= 0) ::close(fd_);
  }
  long Read(void* buffer, std::size_t size) override {
    for (;;) {
      ssize_t n = ::read(fd_, buffer, size);
      if (n >= 0) return static_cast<long>(n);
      if (errno != EINTR) return -1;
    }
  }
  bool Write(const void* data, std::size_t size) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      ssize_t n = ::write(fd_, p, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      p += n;
      size -= static_cast<std::size_t>(n);
    }
    return true;
  }
  bool Close() override {
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool RenameExclusive(const char* from, const char* to) {
#ifdef SYS_renameat2
  // rename() would silently replace `to`; this refuses instead.
  if (::syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, 1 /* RENAME_NOREPLACE */) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS) return false;
#endif
  // File systems without that flag: a hard link cannot replace either. Directories and
  // file systems without links are refused when the name is taken, then renamed.
  if (::link(from, to) == 0) {
    if (::unlink(from) == 0) return true;
    ::unlink(to);
    return false;
  }
  if (errno == EEXIST) return false;
  struct stat st;
  if (::lstat(to, &st) == 0 || errno != ENOENT) return false;
  return ::rename(from, to) == 0;
}

class PosixFileOps final : public FileOps {
 public:
  PathStyle Style() const override { return PathStyle::kPosix; }
  bool Exists(const char* path) override {
    struct stat st;
    return ::stat(path, &st) == 0;
  }
  bool Remove(const char* path) override { return ::remove(path) == 0; }
  bool RenameNoReplace(const char* from, const char* to) override {
    return RenameExclusive(from, to);
  }
  std::unique_ptr<File> Open(const char* path, OpenMode mode) override {
    int flags = O_RDONLY;
    if (mode == OpenMode::kWrite) flags = O_WRONLY | O_CREAT | O_TRUNC;
    if (mode == OpenMode::kAppend) flags = O_WRONLY | O_CREAT | O_APPEND;
    int fd = ::open(path, flags | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
      ::close(fd);
      return nullptr;
    }
    std::unique_ptr<File> file(new (std::nothrow) PosixFile(fd));
    if (!file) ::close(fd);
    return file;
  }
};

}  // namespace

FileOps& NativeFileOps() {
  static PosixFileOps ops;
  return ops;
}

}  // namespace velko
