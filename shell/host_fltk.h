// The core's host over the FLTK main window: message boxes, the question, the file choosers.
#ifndef VELKO_SHELL_HOST_FLTK_H
#define VELKO_SHELL_HOST_FLTK_H

#include "host.h"

namespace velko {

class FltkHost : public Host {
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
