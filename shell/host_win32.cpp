#include <windows.h>
// commdlg.h needs the types of windows.h first.
#include <commdlg.h>

#include <cstring>
#include <initializer_list>

#include "host_window.h"
#include "layout.h"
#include "objects.h"
#include "texts.h"

namespace velko {
namespace {

// Description, pattern, ..., and the empty string that ends the list.
template <std::size_t N>
void BuildFilter(char* out, std::size_t size, const FileFilter (&filters)[N]) {
  std::size_t n = 0;
  for (const FileFilter& f : filters) {
    for (const char* part : {f.description, f.pattern}) {
      std::size_t len = std::strlen(part) + 1;
      if (n + len + 1 > size) break;
      std::memcpy(out + n, part, len);
      n += len;
    }
  }
  out[n] = 0;
}

// The record of the platform's first edition (76 bytes on 32-bit Windows), without the
// fields later versions appended, as the dialogs have always been called here.
OPENFILENAMEA DialogRecord(HWND owner, const char* filter, char* path) {
  OPENFILENAMEA record = {};
  record.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  record.hwndOwner = owner;
  record.lpstrFilter = filter;
  record.nFilterIndex = 1;
  record.lpstrFile = path;
  record.nMaxFile = kPathSize;
  return record;
}

}  // namespace

const char* WindowHost::GetFieldText() { return FILEEDIT.GetText(); }

void WindowHost::SetFieldText(const char* text) { FILEEDIT.SetText(text); }

void WindowHost::ShowMessage(Owner owner, const char* text) {
  MessageBoxA(static_cast<HWND>(owner), text, kCaptionMessage, MB_OK);
}

void WindowHost::ShowError(Owner owner, const char* text) {
  MessageBoxA(static_cast<HWND>(owner), text, kCaptionError, MB_OK);
}

Answer WindowHost::AskYesNoCancel(Owner owner, const char* text) {
  switch (MessageBoxA(static_cast<HWND>(owner), text, kCaptionQuestion, MB_YESNOCANCEL)) {
    case IDYES: return Answer::kYes;
    case IDNO: return Answer::kNo;
    default: return Answer::kCancel;
  }
}

bool WindowHost::OpenFileDialog(Owner owner, char* path) {
  char filter[256];
  BuildFilter(filter, sizeof filter, kOpenFilters);
  OPENFILENAMEA record = DialogRecord(static_cast<HWND>(owner), filter, path);
  record.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;  // 0x1804
  return GetOpenFileNameA(&record) != 0;
}

bool WindowHost::SaveFileDialog(Owner owner, char* path) {
  char filter[64];
  BuildFilter(filter, sizeof filter, kSaveFilters);
  OPENFILENAMEA record = DialogRecord(static_cast<HWND>(owner), filter, path);
  return GetSaveFileNameA(&record) != 0;
}

void WindowHost::CloseMainWindow(Owner owner) { DestroyWindow(static_cast<HWND>(owner)); }

}  // namespace velko
