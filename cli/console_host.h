// The core's boxes as console lines naming their file. velko-cli has no field and no dialogs:
// it calls the commands with its file names, and names attachments through its PartSink.
#ifndef VELKO_CLI_CONSOLE_HOST_H
#define VELKO_CLI_CONSOLE_HOST_H

#include <cstdio>
#include <string>

#include "host.h"

namespace velko {

// A message as the console shows it: every control character a mail or a name brought (C0,
// DEL, and in UTF-8 C1 and the bidirectional ones) in a visible form (\x1B, \u202E), then in
// the locale's encoding.
std::string Shown(const std::string& text);

class ConsoleHost : public Host {
 public:
  explicit ConsoleHost(bool quiet) : quiet_(quiet) {}

  // The file the next messages are about; `notices` off when standard output carries data.
  void Begin(const std::string& file, bool notices) {
    file_ = file, notices_ = notices, error_shown_ = false;
  }
  const std::string& File() const { return file_; }
  bool ErrorShown() const { return error_shown_; }
  // An error "velko-cli: FILE: TEXT" and a warning, which is none, on stderr; a notice
  // "ABOUT: TEXT" on stdout; a line of its own on stdout (--list).
  void Error(const std::string& text);
  void Warn(const std::string& about, const std::string& text);
  void Notice(const std::string& about, const std::string& text);
  void Print(const std::string& text) { Line(stdout, text); }
  // A question on stderr, the answer typed after it.
  void Prompt(const std::string& text);

  void ShowMessage(Owner owner, const char* text) override;
  void ShowError(Owner owner, const char* text) override;
  // Nothing to ask, open or close on a console.
  const char* GetFieldText() override { return nullptr; }
  void SetFieldText(const char*) override {}
  Answer AskYesNoCancel(Owner, const char*) override { return Answer::kCancel; }
  bool OpenFileDialog(Owner, char*) override { return false; }
  bool SaveFileDialog(Owner, char*) override { return false; }
  void CloseMainWindow(Owner) override {}

 private:
  void Line(std::FILE* stream, const std::string& text);
  bool quiet_;
  std::string file_;
  bool notices_ = true;
  bool error_shown_ = false;
};

}  // namespace velko

#endif
