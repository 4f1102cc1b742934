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

// A path as the wide calls take it. A full path past MAX_PATH (a deep folder, or a name and
// the temporary beside it) gets the \\?\ prefix that lifts the limit; a shorter one stays as
// it is, so that Windows reads it its own way (trailing dots and blanks, devices).
std::wstring LongPath(const std::wstring& wide) {
  const DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  // CreateDirectory keeps 12 characters for an 8.3 name.
  if (n < MAX_PATH - 12 || wide.compare(0, 4, L"\\\\?\\") == 0) return wide;
  std::wstring full(n, L'\0');
  full.resize(GetFullPathNameW(wide.c_str(), n, &full[0], nullptr));
  if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC" + full.substr(1);
  return L"\\\\?\\" + full;
}
std::wstring PathW(const char* path) { return LongPath(Wide(path)); }

FileStatus Done(bool done) { return done ? FileStatus() : FileStatus::Failed(static_cast<int>(GetLastError())); }

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
      const DWORD code = GetLastError();  // a pipe's writer has gone: its end
      return code == ERROR_BROKEN_PIPE ? 0 : Failed(static_cast<int>(code), -1L);
    }
    return static_cast<long>(got);
  }
  bool Write(const void* data, std::size_t size) override {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
      DWORD put = 0;
      if (!WriteFile(handle_, p, static_cast<DWORD>(size), &put, nullptr)) {
        return Failed(static_cast<int>(GetLastError()), false);
      }
      if (put == 0) return Failed(ERROR_WRITE_FAULT, false);
      p += put;
      size -= put;
    }
    return true;
  }
  bool Close() override {
    HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return CloseHandle(handle) != 0 || Failed(static_cast<int>(GetLastError()), false);
  }
  FileId Id() override { return GetFileType(handle_) == FILE_TYPE_DISK ? IdOf(handle_) : FileId{}; }
  bool Length(unsigned long long* length) override {
    LARGE_INTEGER size;
    if (GetFileType(handle_) != FILE_TYPE_DISK || !GetFileSizeEx(handle_, &size)) return false;
    *length = static_cast<unsigned long long>(size.QuadPart);
    return true;
  }

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
      CreateFileW(PathW(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  *disk = GetFileType(handle) == FILE_TYPE_DISK;
  bool ok = GetFileInformationByHandle(handle, info) != 0;
  *id = Win32File::IdOf(handle);
  CloseHandle(handle);
  return ok;
}

DWORD Attributes(const char* path) { return GetFileAttributesW(PathW(path).c_str()); }

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
  unsigned long Links(const char* path) override {
    BY_HANDLE_FILE_INFORMATION info;
    bool disk = false;
    FileId id;
    return FileInfo(path, &info, &disk, &id) && disk ? info.nNumberOfLinks : 1;
  }
  // Windows tells where a chain of links ends, not each step: the full path of the file, when
  // it is not the path given (a symbolic link or junction on the way; under Wine, a link of
  // the host's, which shows as a plain file but moves the file it leads to).
  bool ReadLink(const char* path, char* target, std::size_t size) override {
    const std::wstring wide = PathW(path);
    HANDLE handle = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    std::wstring final(32768, L'\0');
    final.resize(GetFinalPathNameByHandleW(handle, &final[0], 32768, FILE_NAME_NORMALIZED));
    CloseHandle(handle);
    if (final.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
      final = L"\\" + final.substr(7);
    } else if (final.compare(0, 4, L"\\\\?\\") == 0) {
      final = final.substr(4);
    }
    std::wstring full(32768, L'\0');
    full.resize(GetFullPathNameW(wide.c_str(), 32768, &full[0], nullptr));
    if (full.compare(0, 4, L"\\\\?\\") == 0) full = full.substr(4);
    if (final.empty() ||
        CompareStringOrdinal(final.c_str(), -1, full.c_str(), -1, TRUE) == CSTR_EQUAL) {
      return false;
    }
    // A path the names' code page cannot hold is not followed: the name given still works.
    const std::string narrow = Narrow(final.c_str());
    if (narrow.size() >= size || Wide(narrow.c_str()) != final) return false;
    std::memcpy(target, narrow.c_str(), narrow.size() + 1);
    return true;
  }
  // The folder's listing gives the long name a short one stands for.
  bool AliasOf(const char* path, char* name, std::size_t size) override {
    WIN32_FIND_DATAW found;
    const std::wstring wide = Wide(path);
    HANDLE find = FindFirstFileW(LongPath(wide).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    const std::wstring own = wide.substr(wide.find_last_of(L"\\/:") + 1);
    const std::string stored = Narrow(found.cFileName);
    if (CompareStringOrdinal(own.c_str(), -1, found.cFileName, -1, TRUE) == CSTR_EQUAL ||
        stored.size() >= size) {
      return false;
    }
    std::memcpy(name, stored.c_str(), stored.size() + 1);
    return true;
  }
  FileStatus Remove(const char* path) override { return Done(DeleteFileW(PathW(path).c_str()) != 0); }
  // MoveFile never replaces an existing file.
  FileStatus RenameNoReplace(const char* from, const char* to) override {
    return Done(MoveFileW(PathW(from).c_str(), PathW(to).c_str()) != 0);
  }
  FileStatus Replace(const char* from, const char* to) override {
    return Done(MoveFileExW(PathW(from).c_str(), PathW(to).c_str(), MOVEFILE_REPLACE_EXISTING) !=
                0);
  }
  std::unique_ptr<File> Open(const char* path, OpenMode mode, int* error) override {
    if (mode != OpenMode::kRead && mode != OpenMode::kInto && !write_through_links_) {
      DWORD attributes = Attributes(path);
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        *error = ERROR_CANT_ACCESS_FILE;
        return nullptr;
      }
    }
    DWORD access = mode == OpenMode::kRead ? GENERIC_READ : GENERIC_WRITE;
    DWORD disposition = mode == OpenMode::kRead || mode == OpenMode::kInto ? OPEN_EXISTING
                        : mode == OpenMode::kWrite                        ? CREATE_ALWAYS
                        : mode == OpenMode::kCreate                       ? CREATE_NEW
                                                                          : OPEN_ALWAYS;
    const DWORD share =
        mode == OpenMode::kInto ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
    HANDLE handle = CreateFileW(PathW(path).c_str(), access, share, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return *error = static_cast<int>(GetLastError()), nullptr;
    // A device (CON, NUL, COM1) or a pipe is no file to convert or to fill, and only they
    // are written into as they stand.
    if ((GetFileType(handle) == FILE_TYPE_DISK) == (mode == OpenMode::kInto) ||
        (mode == OpenMode::kAppend &&
         SetFilePointer(handle, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
         GetLastError() != NO_ERROR)) {
      CloseHandle(handle);
      *error = mode == OpenMode::kInto ? ERROR_FILE_EXISTS : ERROR_BAD_FILE_TYPE;
      return nullptr;
    }
    std::unique_ptr<File> file(new (std::nothrow) Win32File(handle));
    if (!file) *error = ERROR_NOT_ENOUGH_MEMORY, CloseHandle(handle);
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
  // A new file takes its folder's access rights and its maker as owner, as every file made
  // there does.
  FileStatus KeepOwner(const char*, const char*) override { return FileStatus(); }
  FileStatus CopyPermissions(const char*, const char*) override { return FileStatus(); }
  FileStatus CopyTimes(const char* from, const char* to) override {
    HANDLE in = CreateFileW(PathW(from).c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (in == INVALID_HANDLE_VALUE) return Done(false);
    FILETIME access, write;
    const bool got = GetFileTime(in, nullptr, &access, &write) != 0;
    CloseHandle(in);
    if (!got) return Done(false);
    HANDLE out = CreateFileW(PathW(to).c_str(), FILE_WRITE_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (out == INVALID_HANDLE_VALUE) return Done(false);
    const bool set = SetFileTime(out, nullptr, &access, &write) != 0;
    const FileStatus status = Done(set);
    CloseHandle(out);
    return status;
  }
  // Every share mode, or the hold would keep the file from being renamed to its backup.
  LockResult Lock(const char* path, std::unique_ptr<File>* hold) override {
    HANDLE handle = CreateFileW(PathW(path).c_str(), GENERIC_READ,
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
  // New names stay within MAX_PATH, so that every program opens them; the temporary beside
  // one goes by the \\?\ prefix, which no limit but a component's holds.
  std::size_t NameRoom(const char* folder) override {
    wchar_t full[MAX_PATH];
    const DWORD used = GetFullPathNameW(Wide(folder).c_str(), MAX_PATH, full, nullptr) + 1;
    return used >= MAX_PATH - 1 ? 0 : std::min<std::size_t>(255, MAX_PATH - 1 - used);
  }
  FileStatus MakeFolder(const char* path) override {
    const std::wstring wide = Wide(path);
    for (std::size_t i = 1; i <= wide.size(); ++i) {  // each folder of the path in turn
      if (i < wide.size() && wide[i] != L'\\' && wide[i] != L'/') continue;
      if (i >= 2 && wide[i - 1] == L':') continue;  // a drive
      const std::wstring part = LongPath(wide.substr(0, i));
      if (!CreateDirectoryW(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return Done(false);
      }
    }
    const DWORD attributes = GetFileAttributesW(LongPath(wide).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
               ? FileStatus()
               : FileStatus::Failed(ERROR_DIRECTORY);
  }
  bool ListFolder(const char* folder, const std::function<void(const char*)>& each) override {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(LongPath(Wide(folder) + L"\\*").c_str(), &found);
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
