// The file operations over KERNEL32, ANSI paths in the system's code page.
#include <windows.h>

#include <new>

#include "fileops_native.h"

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
    if (!ReadFile(handle_, buffer, static_cast<DWORD>(size), &got, nullptr)) return -1;
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

 private:
  HANDLE handle_;
};

class Win32FileOps final : public FileOps {
 public:
  PathStyle Style() const override { return PathStyle::kWin32; }
  bool Exists(const char* path) override {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
  }
  bool Remove(const char* path) override { return DeleteFileA(path) != 0; }
  // MoveFileA never replaces an existing file.
  bool RenameNoReplace(const char* from, const char* to) override {
    return MoveFileA(from, to) != 0;
  }
  std::unique_ptr<File> Open(const char* path, OpenMode mode) override {
    DWORD access = mode == OpenMode::kRead ? GENERIC_READ : GENERIC_WRITE;
    DWORD disposition = mode == OpenMode::kRead    ? OPEN_EXISTING
                        : mode == OpenMode::kWrite ? CREATE_ALWAYS
                                                   : OPEN_ALWAYS;
    HANDLE handle = CreateFileA(path, access, FILE_SHARE_READ, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    if (mode == OpenMode::kAppend &&
        SetFilePointer(handle, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR) {
      CloseHandle(handle);
      return nullptr;
    }
    std::unique_ptr<File> file(new (std::nothrow) Win32File(handle));
    if (!file) CloseHandle(handle);
    return file;
  }
};

}  // namespace

FileOps& NativeFileOps() {
  static Win32FileOps ops;
  return ops;
}

}  // namespace velko
