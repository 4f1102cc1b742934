// The window's host operations for a console: boxes become lines, the field is an argument.
#ifndef VELKO_CLI_CONSOLE_HOST_H
#define VELKO_CLI_CONSOLE_HOST_H

#include <string>

#include "host.h"

namespace velko {

class ConsoleHost : public Host {
 public:
  void SetArgument(const char* file) { field_ = file; }
  bool ErrorShown() const { return error_shown_; }
  void ClearErrorShown() { error_shown_ = false; }

  const char* GetFieldText() override { return field_.c_str(); }
  void SetFieldText(const char* text) override { field_ = text; }
  // "CAPTION: TEXT" without the text's final line feed; errors on stderr, the rest on stdout.
  void ShowMessage(Owner owner, const char* text, const char* caption) override;
  Answer AskYesNoCancel(Owner owner, const char* text, const char* caption) override;
  bool OpenFileDialog(Owner owner, char* path) override;
  bool SaveFileDialog(Owner owner, char* path) override;
  void CloseMainWindow(Owner owner) override;

 private:
  std::string field_;
  bool error_shown_ = false;
};

// UTF-8 text in the locale's encoding; bytes that do not convert pass as they are.
std::string ToLocaleEncoding(const std::string& utf8);

}  // namespace velko

#endif
