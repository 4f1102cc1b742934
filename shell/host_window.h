// The core's host over the main window: message boxes, the overwrite question, the file
// dialogs and the field. One implementation per platform (host_win32.cpp, host_fltk.cpp).
#ifndef VELKO_SHELL_HOST_WINDOW_H
#define VELKO_SHELL_HOST_WINDOW_H

#include "ports/host.h"

namespace velko {

class WindowHost : public Host {
 public:
  const char* GetFieldText() override;
  void SetFieldText(const char* text) override;
  void ShowMessage(Owner owner, const char* text) override;
  void ShowError(Owner owner, const char* format, const char* path, const char* other) override;
  Answer AskYesNoCancel(Owner owner, const char* text) override;
  bool OpenFileDialog(Owner owner, char* path) override;
  bool SaveFileDialog(Owner owner, char* path) override;
  void CloseMainWindow(Owner owner) override;
};

}  // namespace velko

#endif
