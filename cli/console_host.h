// The core's boxes as console lines naming their file, in the user's language. velko-cli has
// no field and no dialogs: it calls the commands with its file names, and names attachments
// through its PartSink.
#ifndef VELKO_CLI_CONSOLE_HOST_H
#define VELKO_CLI_CONSOLE_HOST_H

#include <cstdio>
#include <functional>
#include <string>

#include "ports/host.h"

namespace velko {

// A message with every control character a mail or a name brought (C0, DEL, C1 and the
// bidirectional ones) in a visible form (\x1B, \u202E).
std::string Shown(const std::string& text);

// A failure as velko-cli says it of `file`: the window's text, the system's reason and what it
// left on disk.
std::string FailureLine(const Fault& fault, const std::string& file);

class ConsoleHost : public Host {
 public:
  // `reason` gives why the last file operation failed, and forgets it ("" when none failed).
  ConsoleHost(bool quiet, std::function<std::string()> reason)
      : quiet_(quiet), reason_(std::move(reason)) {}

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
  // ": " and why the last file operation failed, or "".
  std::string Reason() {
    const std::string reason = reason_();
    return reason.empty() ? reason : ": " + reason;
  }

  void ShowMessage(Owner owner, const char* text) override;
  // The window's text in the user's language, and the system's reason for the failure.
  void ShowError(Owner owner, const char* format, const char* path, const char* other) override;
  // The same of a failure as a value, with the reason it carries and what it left on disk.
  void ShowFailure(Owner owner, const Fault& fault) override;
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
  std::function<std::string()> reason_;
  std::string file_;
  bool notices_ = true;
  bool error_shown_ = false;
};

}  // namespace velko

#endif
