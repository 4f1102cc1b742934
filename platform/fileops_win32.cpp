// The file operations over KERNEL32's wide calls. The window's paths are in the ANSI code page,
// converted as the ANSI calls convert them; velko-cli.exe's (VELKO_UTF8_NAMES) are UTF-8, so
// that any name NTFS holds can be given and none is ever best-fitted to another file.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "codec/bytes.h"
#include "fileops_native.h"
#include "codec/jis.h"

namespace velko {
namespace {

#ifdef VELKO_UTF8_NAMES
constexpr UINT kNameCodePage = CP_UTF8;
constexpr PathStyle kStyle = PathStyle::kWin32Utf8;
#else
constexpr UINT kNameCodePage = CP_ACP;
constexpr PathStyle kStyle = PathStyle::kWin32;
#endif

std::wstring Wide(const char* text, UINT code_page = kNameCodePage) {
  const int n = MultiByteToWideChar(code_page, 0, text, -1, nullptr, 0);
  std::wstring wide(n > 0 ? n : 1, L'\0');
  if (n > 0) MultiByteToWideChar(code_page, 0, text, -1, &wide[0], n);
  wide.resize(wide.size() - 1);  // the NUL
  return wide;
}

std::string Narrow(const wchar_t* text, UINT code_page = kNameCodePage) {
  const int n = WideCharToMultiByte(code_page, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string narrow(n > 0 ? n : 1, '\0');
  if (n > 0) WideCharToMultiByte(code_page, 0, text, -1, &narrow[0], n, nullptr, nullptr);
  narrow.resize(narrow.size() - 1);
  return narrow;
}

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
  HANDLE handle =
      CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  *disk = GetFileType(handle) == FILE_TYPE_DISK;
  bool ok = GetFileInformationByHandle(handle, info) != 0;
  *id = Win32File::IdOf(handle);
  CloseHandle(handle);
  return ok;
}

DWORD Attributes(const char* path) { return GetFileAttributesW(Wide(path).c_str()); }

class Win32FileOps final : public FileOps {
 public:
  explicit Win32FileOps(bool write_through_links) : write_through_links_(write_through_links) {}

  PathStyle Style() const override { return kStyle; }
  bool Exists(const char* path) override { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }
  EntryKind Kind(const char* path, bool follow) override {
    DWORD attributes = Attributes(path);
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
  bool Remove(const char* path) override { return DeleteFileW(Wide(path).c_str()) != 0; }
  // MoveFile never replaces an existing file.
  bool RenameNoReplace(const char* from, const char* to) override {
    return MoveFileW(Wide(from).c_str(), Wide(to).c_str()) != 0;
  }
  bool Replace(const char* from, const char* to) override {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  }
  std::unique_ptr<File> Open(const char* path, OpenMode mode) override {
    if (mode != OpenMode::kRead && !write_through_links_) {
      DWORD attributes = Attributes(path);
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        SetLastError(ERROR_CANT_ACCESS_FILE);
        return nullptr;
      }
    }
    DWORD access = mode == OpenMode::kRead ? GENERIC_READ : GENERIC_WRITE;
    DWORD disposition = mode == OpenMode::kRead     ? OPEN_EXISTING
                        : mode == OpenMode::kWrite  ? CREATE_ALWAYS
                        : mode == OpenMode::kCreate ? CREATE_NEW
                                                    : OPEN_ALWAYS;
    HANDLE handle = CreateFileW(Wide(path).c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    // A device (CON, NUL, COM1) or a pipe is no file to convert or to fill.
    if (GetFileType(handle) != FILE_TYPE_DISK ||
        (mode == OpenMode::kAppend &&
         SetFilePointer(handle, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
         GetLastError() != NO_ERROR)) {
      CloseHandle(handle);
      SetLastError(ERROR_BAD_FILE_TYPE);
      return nullptr;
    }
    std::unique_ptr<File> file(new (std::nothrow) Win32File(handle));
    if (!file) CloseHandle(handle);
    return file;
  }
  // Code page 932 and UTF-8 names meet through VELKO's own tables, as its commands read and
  // write them: '_' for what the other has no character for; whole characters only. The
  // window's code page 932 names stay as they are.
  void AppendName(char* name, std::size_t size, const char* text, std::size_t length,
                  bool utf8) override {
    const bool names_utf8 = kNameCodePage == CP_UTF8;
    std::string out(text, length);
    if (utf8 || names_utf8) {
      out.clear();
      AppendRecoded(&out, utf8 ? Charset::kUtf8 : Charset::kShiftJis,
                    names_utf8 ? Charset::kUtf8 : Charset::kShiftJis, text, length, '_');
    }
    if (names_utf8) return AppendUtf8(name, size, out.data(), out.size());
    std::size_t n = std::strlen(name);
    for (std::size_t i = 0; i < out.size();) {
      std::size_t len =
          IsSjisLeadByte(static_cast<unsigned char>(out[i])) && i + 1 < out.size() ? 2 : 1;
      if (n + len >= size) break;
      std::memcpy(name + n, &out[i], len);
      n += len, i += len;
    }
    name[n] = 0;
  }
  // A new file takes its folder's access rights, as every file made there does.
  bool CopyPermissions(const char*, const char*) override { return true; }
  // Every share mode, or the hold would keep the file from being renamed to its backup.
  LockResult Lock(const char* path, std::unique_ptr<File>* hold) override {
    HANDLE handle = CreateFileW(Wide(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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
  // The calls take a full path of MAX_PATH characters at most, the NUL included.
  std::size_t NameRoom(const char* folder) override {
    wchar_t full[MAX_PATH];
    const DWORD used = GetFullPathNameW(Wide(folder).c_str(), MAX_PATH, full, nullptr) + 1;
    return used >= MAX_PATH - 1 ? 0 : std::min<std::size_t>(255, MAX_PATH - 1 - used);
  }
  bool MakeFolder(const char* path) override {
    const std::wstring wide = Wide(path);
    for (std::size_t i = 1; i <= wide.size(); ++i) {  // each folder of the path in turn
      if (i < wide.size() && wide[i] != L'\\' && wide[i] != L'/') continue;
      if (i >= 2 && wide[i - 1] == L':') continue;  // a drive
      const std::wstring part = wide.substr(0, i);
      if (!CreateDirectoryW(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return false;
      }
    }
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  bool ListFolder(const char* folder, const std::function<void(const char*)>& each) override {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((Wide(folder) + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return false;
    do {
      const std::string name = Narrow(found.cFileName);
      if (name != "." && name != "..") each(name.c_str());
    } while (FindNextFileW(find, &found));
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
