#include <acl/libacl.h>
#include <attr/error_context.h>
#include <attr/libattr.h>
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <string>

#include "codec/bytes.h"
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
      if (errno != EINTR) return Failed(errno, -1L);
    }
  }
  bool Write(const void* data, std::size_t size) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      ssize_t n = ::write(fd_, p, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        return Failed(errno, false);
      }
      p += n;
      size -= static_cast<std::size_t>(n);
    }
    return true;
  }
  bool Close() override {
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 || Failed(errno, false);
  }
  FileId Id() override {
    struct stat st;
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return {};
    return {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
            true};
  }
  bool Length(unsigned long long* length) override {
    struct stat st;
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    *length = static_cast<unsigned long long>(st.st_size);
    return true;
  }
  int fd() const { return fd_; }

 private:
  int fd_;
};

// The libraries' errors only count; what they say is the caller's to put in words.
void Quiet(struct error_context*, const char*, ...) {}

FileStatus Done(bool done) { return done ? FileStatus() : FileStatus::Failed(errno); }

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
  explicit PosixFileOps(bool write_through_links) : write_through_links_(write_through_links) {}

  PathStyle Style() const override { return PathStyle::kPosix; }
  bool Exists(const char* path) override {
    struct stat st;
    return ::lstat(path, &st) == 0;
  }
  EntryKind Kind(const char* path, bool follow) override {
    struct stat st;
    if ((follow ? ::stat(path, &st) : ::lstat(path, &st)) != 0) return EntryKind::kNone;
    if (S_ISREG(st.st_mode)) return EntryKind::kRegular;
    if (S_ISDIR(st.st_mode)) return EntryKind::kDirectory;
    if (S_ISLNK(st.st_mode)) return EntryKind::kLink;
    return EntryKind::kOther;
  }
  FileId Id(const char* path) override {
    struct stat st;
    if (::stat(path, &st) != 0) return {};
    return {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino),
            true};
  }
  unsigned long Links(const char* path) override {
    struct stat st;
    return ::stat(path, &st) == 0 ? static_cast<unsigned long>(st.st_nlink) : 1;
  }
  bool ReadLink(const char* path, char* target, std::size_t size) override {
    const ssize_t n = ::readlink(path, target, size - 1);
    if (n < 0 || static_cast<std::size_t>(n) >= size - 1) return false;  // none, or cut
    target[n] = 0;
    return true;
  }
  // A name here is the file's own.
  bool AliasOf(const char*, char*, std::size_t) override { return false; }
  // unlink, not remove(): an empty directory must never go as an "old backup".
  FileStatus Remove(const char* path) override { return Done(::unlink(path) == 0); }
  FileStatus RenameNoReplace(const char* from, const char* to) override {
    return Done(RenameExclusive(from, to));
  }
  FileStatus Replace(const char* from, const char* to) override {
    return Done(::rename(from, to) == 0);
  }
  std::unique_ptr<File> Open(const char* path, OpenMode mode, int* error) override {
    int flags = O_RDONLY;
    if (mode == OpenMode::kWrite) flags = O_WRONLY | O_CREAT | O_TRUNC;
    if (mode == OpenMode::kAppend) flags = O_WRONLY | O_CREAT | O_APPEND;
    if (mode == OpenMode::kCreate) flags = O_WRONLY | O_CREAT | O_EXCL;
    if (mode == OpenMode::kInto) flags = O_WRONLY | O_NOCTTY;
    if (mode != OpenMode::kRead && mode != OpenMode::kInto && !write_through_links_) {
      flags |= O_NOFOLLOW;
    }
    // O_NONBLOCK: opening a FIFO would otherwise wait for its other end, for ever (one with
    // no reader then fails with ENXIO).
    int fd = ::open(path, flags | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) return *error = errno, nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISREG(st.st_mode) != (mode != OpenMode::kInto) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
      *error = S_ISDIR(st.st_mode) ? EISDIR : mode == OpenMode::kInto ? EEXIST : EINVAL;
      ::close(fd);
      return nullptr;
    }
    std::unique_ptr<File> file(new (std::nothrow) PosixFile(fd));
    if (!file) *error = ENOMEM, ::close(fd);
    return file;
  }
  // File names here are UTF-8: code page 932 is read as the commands read it, and every
  // character is checked, so that nothing but whole, valid UTF-8 reaches a name.
  void AppendName(char* name, std::size_t size, const char* text, std::size_t length,
                  bool utf8) override {
    std::string in;
    AppendRecoded(&in, utf8 ? Charset::kUtf8 : Charset::kShiftJis, Charset::kUtf8, text, length,
                  '_');
    AppendUtf8(name, size, in.data(), in.size());
  }
  FileStatus KeepOwner(const char* from, const char* to) override {
    struct stat st, now;
    if (::stat(from, &st) != 0 || ::stat(to, &now) != 0) return FileStatus::Failed(errno);
    if (st.st_uid == now.st_uid && st.st_gid == now.st_gid) return FileStatus();
    return Done(::chown(to, st.st_uid, st.st_gid) == 0);
  }
  FileStatus CopyPermissions(const char* from, const char* to) override {
    struct stat st;
    if (::stat(from, &st) != 0) return FileStatus::Failed(errno);
    // The mode with the access control list, then the extended attributes the system copies
    // (its own list leaves out those that belong to one file alone); then the mode again, as
    // an access list leaves out the set-id and sticky bits.
    struct error_context quiet = {Quiet, nullptr, nullptr};
    if (::perm_copy_file(from, to, &quiet) != 0 || ::attr_copy_file(from, to, nullptr, &quiet) != 0 ||
        ::chmod(to, st.st_mode & 07777) != 0) {
      return FileStatus::Failed(errno);
    }
    struct stat made;
    // A set-group-id bit the system cleared (a group not ours) is no copy.
    if (::stat(to, &made) != 0) return FileStatus::Failed(errno);
    return (made.st_mode & 07777) == (st.st_mode & 07777) ? FileStatus() : FileStatus::Failed(EPERM);
  }
  FileStatus CopyTimes(const char* from, const char* to) override {
    struct stat st;
    if (::stat(from, &st) != 0) return FileStatus::Failed(errno);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    return Done(::utimensat(AT_FDCWD, to, times, 0) == 0);
  }
  LockResult Lock(const char* path, std::unique_ptr<File>* hold) override {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return LockResult::kNotAvailable;
    std::unique_ptr<File> file(new (std::nothrow) PosixFile(fd));
    if (!file) {
      ::close(fd);
      return LockResult::kNotAvailable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      return errno == EWOULDBLOCK ? LockResult::kBusy : LockResult::kNotAvailable;
    }
    *hold = std::move(file);
    return LockResult::kHeld;
  }
  std::size_t NameRoom(const char* folder) override {
    const std::size_t used = std::strlen(folder) + 1;  // and a separator
    const std::size_t room =
        used >= PATH_MAX - 1 ? 0 : std::min<std::size_t>(NAME_MAX, PATH_MAX - 1 - used);
    return room < kTemporaryNameLength ? 0 : room;
  }
  FileStatus MakeFolder(const char* path) override {
    std::string part = path;
    for (std::size_t i = 1; i <= part.size(); ++i) {  // each folder of the path in turn
      if (i < part.size() && part[i] != '/') continue;
      const std::string folder = part.substr(0, i);
      if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) return FileStatus::Failed(errno);
    }
    return Kind(path, true) == EntryKind::kDirectory ? FileStatus() : FileStatus::Failed(ENOTDIR);
  }
  bool ListFolder(const char* folder, const std::function<void(const char*)>& each) override {
    DIR* dir = ::opendir(folder);
    if (dir == nullptr) return false;
    while (const struct dirent* entry = ::readdir(dir)) {
      const char* name = entry->d_name;
      if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) each(name);
    }
    ::closedir(dir);
    return true;
  }

 private:
  bool write_through_links_;
};

}  // namespace

std::unique_ptr<File> StandardStream(int fd) {
  return std::unique_ptr<File>(new (std::nothrow) PosixFile(::dup(fd)));
}

FileOps& NativeFileOps(bool write_through_links) {
  static PosixFileOps follow(true);
  static PosixFileOps no_follow(false);
  return write_through_links ? follow : no_follow;
}

}  // namespace velko
