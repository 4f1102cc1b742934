// The file operations over KERNEL32, ANSI paths in the system's code page.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "fileops_native.h"
#include "jis.h"

namespace velko {
namespace {

class Win32File final : public File {
 public:
  explicit Win32File(HANDLE handle) : handle_(handle) {}
  ~Win32File() override {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  }
  long Read(void* buffer, std::size_t size) override {
    DWORD got = 0;
    if (!ReadFile(handle_, buffer, static_cast<DWORD>(size), &got, nullptr)) {
      return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;  // a pipe's writer has gone: its end
    }
    return static_cast<long>(got);
  }
  bool Write(const void* data, std::size_t size) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      DWORD put = 0;
      if (!WriteFile(handle_, p, static_cast<DWORD>(size), &put, nullptr) || put == 0) {
        return false;
      }
      p += put;
      size -= put;
    }
    return true;
  }
  bool Close() override {
    HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return CloseHandle(handle) != 0;
  }
  FileId Id() override { return GetFileType(handle_) == FILE_TYPE_DISK ? IdOf(handle_) : FileId{}; }

  // The 128-bit file id first: Wine gives only that one for the handles a program starts with,
  // and ReFS needs all of it; the older record where there is none.
  static FileId IdOf(HANDLE handle) {
    FILE_ID_INFO id;
    if (GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id)) {
      unsigned long long low, high;
      std::memcpy(&low, id.FileId.Identifier, 8);
      std::memcpy(&high, id.FileId.Identifier + 8, 8);
      return {id.VolumeSerialNumber, low ^ (high << 1 | high >> 63), true};
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) return {};
    return {info.dwVolumeSerialNumber,
            static_cast<unsigned long long>(info.nFileIndexHigh) << 32 | info.nFileIndexLow, true};
  }

 private:
  HANDLE handle_;
};

// Far past the end of any file: a lock there keeps out a second run and no reader.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;

// What the file system says of the file a name leads to, through links; false when none.
// `id` also receives its identity.
bool FileInfo(const char* path, BY_HANDLE_FILE_INFORMATION* info, bool* disk, FileId* id) {
  // No access asked: this only looks. Backup semantics lets a directory open too.
  HANDLE handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  *disk = GetFileType(handle) == FILE_TYPE_DISK;
  bool ok = GetFileInformationByHandle(handle, info) != 0;
  *id = Win32File::IdOf(handle);
  CloseHandle(handle);
  return ok;
}

class Win32FileOps final : public FileOps {
 public:
  explicit Win32FileOps(bool write_through_links) : write_through_links_(write_through_links) {}

  PathStyle Style() const override { return PathStyle::kWin32; }
  bool Exists(const char* path) override {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
  }
  EntryKind Kind(const char* path, bool follow) override {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return EntryKind::kNone;
    if (!follow && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return EntryKind::kLink;
    BY_HANDLE_FILE_INFORMATION info;
    bool disk = false;
    FileId id;
    if (!FileInfo(path, &info, &disk, &id)) return EntryKind::kNone;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::kDirectory;
    return disk ? EntryKind::kRegular : EntryKind::kOther;  // CON, NUL, pipes
  }
  // Windows drops trailing blanks and dots from names, so only the file index tells.
  FileId Id(const char* path) override {
    BY_HANDLE_FILE_INFORMATION info;
    bool disk = false;
    FileId id;
    return FileInfo(path, &info, &disk, &id) ? id : FileId{};
  }
  bool Remove(const char* path) override { return DeleteFileA(path) != 0; }
  // MoveFileA never replaces an existing file.
  bool RenameNoReplace(const char* from, const char* to) override {
    return MoveFileA(from, to) != 0;
  }
  bool Replace(const char* from, const char* to) override {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0;
  }
  std::unique_ptr<File> Open(const char* path, OpenMode mode) override {
    if (mode != OpenMode::kRead && !write_through_links_) {
      DWORD attributes = GetFileAttributesA(path);
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return nullptr;
      }
    }
    DWORD access = mode == OpenMode::kRead ? GENERIC_READ : GENERIC_WRITE;
    DWORD disposition = mode == OpenMode::kRead     ? OPEN_EXISTING
                        : mode == OpenMode::kWrite  ? CREATE_ALWAYS
                        : mode == OpenMode::kCreate ? CREATE_NEW
                                                    : OPEN_ALWAYS;
    HANDLE handle = CreateFileA(path, access, FILE_SHARE_READ, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    // A device (CON, NUL, COM1) or a pipe is no file to convert or to fill.
    if (GetFileType(handle) != FILE_TYPE_DISK ||
        (mode == OpenMode::kAppend &&
         SetFilePointer(handle, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
         GetLastError() != NO_ERROR)) {
      CloseHandle(handle);
      return nullptr;
    }
    std::unique_ptr<File> file(new (std::nothrow) Win32File(handle));
    if (!file) CloseHandle(handle);
    return file;
  }
  // File names here are in code page 932: UTF-8 goes through UTF-16 to it, '_' where it
  // has no character; whole characters only.
  void AppendName(char* name, std::size_t size, const char* text, std::size_t length,
                  bool utf8) override {
    std::string in(text, length);
    if (utf8 && length > 0) {
      std::wstring wide(length, L'\0');
      wide.resize(MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(length), &wide[0],
                                      static_cast<int>(length)));
      in.assign(wide.size() * 2, '\0');
      in.resize(WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide.data(),
                                    static_cast<int>(wide.size()), &in[0],
                                    static_cast<int>(in.size()), "_", nullptr));
    }
    std::size_t n = std::strlen(name);
    for (std::size_t i = 0; i < in.size();) {
      std::size_t len =
          IsSjisLeadByte(static_cast<unsigned char>(in[i])) && i + 1 < in.size() ? 2 : 1;
      if (n + len >= size) break;
      std::memcpy(name + n, &in[i], len);
      n += len, i += len;
    }
    name[n] = 0;
  }
  // A new file takes its folder's access rights, as every file made there does.
  bool CopyPermissions(const char*, const char*) override { return true; }
  // Every share mode, or the hold would keep the file from being renamed to its backup.
  LockResult Lock(const char* path, std::unique_ptr<File>* hold) override {
    HANDLE handle =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LockResult::kNotAvailable;
    std::unique_ptr<File> file(new (std::nothrow) Win32File(handle));
    if (!file) {
      CloseHandle(handle);
      return LockResult::kNotAvailable;
    }
    OVERLAPPED at = {};
    at.OffsetHigh = kLockOffsetHigh;
    if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
      return GetLastError() == ERROR_LOCK_VIOLATION ? LockResult::kBusy : LockResult::kNotAvailable;
    }
    *hold = std::move(file);
    return LockResult::kHeld;
  }
  // The ANSI calls take a full path of MAX_PATH characters at most, the NUL included.
  std::size_t NameRoom(const char* folder) override {
    char full[MAX_PATH];
    const DWORD used = GetFullPathNameA(folder, MAX_PATH, full, nullptr) + 1;  // and a separator
    return used >= MAX_PATH - 1 ? 0 : std::min<std::size_t>(255, MAX_PATH - 1 - used);
  }
  bool ListFolder(const char* folder, const std::function<void(const char*)>& each) override {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((std::string(folder) + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return false;
    do {
      const char* name = found.cFileName;
      if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) each(name);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return true;
  }

 private:
  bool write_through_links_;
};

}  // namespace

std::unique_ptr<File> StandardStream(int fd) {
  HANDLE handle = GetStdHandle(fd == 0 ? STD_INPUT_HANDLE : STD_OUTPUT_HANDLE);
  HANDLE own = INVALID_HANDLE_VALUE;  // its own handle, so that closing it leaves the console's
  DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &own, 0, FALSE,
                  DUPLICATE_SAME_ACCESS);
  return std::unique_ptr<File>(new (std::nothrow) Win32File(own));
}

FileOps& NativeFileOps(bool write_through_links) {
  static Win32FileOps follow(true);
  static Win32FileOps no_follow(false);
  return write_through_links ? follow : no_follow;
}

}  // namespace velko
