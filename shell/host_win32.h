// The core's host over the Win32 main window: message boxes, the two file dialogs, the field.
#ifndef VELKO_SHELL_HOST_WIN32_H
#define VELKO_SHELL_HOST_WIN32_H

#include "host.h"

namespace velko {

class Win32Host : public Host {
 public:
  const char* GetFieldText() override;
  void SetFieldText(const char* text) override;
  void ShowMessage(Owner owner, const char* text, const char* caption) override;
  Answer AskYesNoCancel(Owner owner, const char* text, const char* caption) override;
  bool OpenFileDialog(Owner owner, char* path) override;
  bool SaveFileDialog(Owner owner, char* path) override;
  void CloseMainWindow(Owner owner) override;
};

}  // namespace velko

#endif
