// The window's host operations for a console: boxes become lines, the field is an argument.
#ifndef VELKO_CLI_CONSOLE_HOST_H
#define VELKO_CLI_CONSOLE_HOST_H

#include <string>

#include "host.h"

namespace velko {

// How the overwrite question is answered.
enum class ExistsPolicy { kAsk, kOverwrite, kAppend, kSkip };

// The proposed attachment name (Shift_JIS) reduced to a base name that cannot leave its
// folder, in the encoding of file names here: no folder parts, no drive, no "." or "..", no
// control bytes, at most 255 bytes. Empty when nothing usable is left.
std::string SafeBaseName(const char* proposed);

class ConsoleHost : public Host {
 public:
  void SetArgument(const char* file) { field_ = file; }
  // Where extracted attachments go, and how an existing file is treated.
  void SetExtraction(const std::string& dir, ExistsPolicy policy) {
    dir_ = dir;
    policy_ = policy;
  }
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
  // "saved PATH (N bytes)" or "appended PATH (N bytes)" on stdout.
  void FileWritten(const char* path, bool appended, unsigned long long bytes) override;

 private:
  std::string field_;
  std::string dir_ = ".";
  ExistsPolicy policy_ = ExistsPolicy::kAsk;
  bool error_shown_ = false;
};

// UTF-8 text in the locale's encoding; bytes that do not convert pass as they are.
std::string ToLocaleEncoding(const std::string& utf8);

}  // namespace velko

#endif
