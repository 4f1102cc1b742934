#include <windows.h>
// commdlg.h needs the types of windows.h first.
#include <commdlg.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "host_window.h"
#include "layout.h"
#include "objects.h"
#include "ports/texts.h"
#include "wide_text.h"

namespace velko {
namespace {

// Description, pattern, ..., and the empty string that ends the list.
template <std::size_t N>
std::wstring BuildFilter(const FileFilter (&filters)[N]) {
  std::wstring out;
  for (const FileFilter& f : filters) {
    for (const char* part : {f.description, f.pattern}) out += Wide(part) + L'\0';
  }
  return out + L'\0';
}

// The record of the platform's first edition, without the fields later versions appended, as
// the dialogs have always been called here. Wide, so that a chosen name the code page cannot
// hold comes back with '?' in it and names no other file. On true, `path` holds the name.
template <typename Dialog>
bool RunDialog(Dialog dialog, HWND owner, const std::wstring& filter, char* path, DWORD flags) {
  std::wstring name = Wide(path);
  name.resize(kPathSize, L'\0');
  OPENFILENAMEW record = {};
  record.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
  record.hwndOwner = owner;
  record.lpstrFilter = filter.c_str();
  record.nFilterIndex = 1;
  record.lpstrFile = &name[0];
  record.nMaxFile = kPathSize;
  record.Flags = flags;
  if (!dialog(&record)) return false;
  const std::string chosen = Narrow(name.c_str());
  if (chosen.size() >= kPathSize) return false;
  std::memcpy(path, chosen.c_str(), chosen.size() + 1);
  return true;
}

}  // namespace

const char* WindowHost::GetFieldText() { return FILEEDIT.GetText(); }

void WindowHost::SetFieldText(const char* text) { FILEEDIT.SetText(text); }

void WindowHost::ShowMessage(Owner owner, const char* text) {
  MessageBoxA(static_cast<HWND>(owner), text, kCaptionMessage, MB_OK);
}

void WindowHost::ShowError(Owner owner, const char* format, const char* path, const char* other) {
  char text[3 * kPathSize];
  FormatError(text, sizeof text, format, path, other);
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
  return RunDialog(GetOpenFileNameW, static_cast<HWND>(owner), BuildFilter(kOpenFilters), path,
                   OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST);  // 0x1804
}

bool WindowHost::SaveFileDialog(Owner owner, char* path) {
  return RunDialog(GetSaveFileNameW, static_cast<HWND>(owner), BuildFilter(kSaveFilters), path, 0);
}

void WindowHost::CloseMainWindow(Owner owner) { DestroyWindow(static_cast<HWND>(owner)); }

}  // namespace velko
