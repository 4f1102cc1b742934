// The window's host for a console: boxes become lines naming their file, the field is an
// argument, the save dialog is --dir, the question is --exists or a prompt.
#ifndef VELKO_CLI_CONSOLE_HOST_H
#define VELKO_CLI_CONSOLE_HOST_H

#include <cstdio>
#include <string>

#include "fileops.h"
#include "host.h"

namespace velko {

enum class ExistsPolicy { kAsk, kOverwrite, kAppend, kSkip, kRename };

// The proposed attachment name (Shift_JIS) reduced to a base name that cannot leave its
// folder, in the encoding of file names here: no folder parts, no drive, no "." or "..", no
// control bytes, at most 255 bytes. Empty when nothing usable is left.
// A name `decoded` by --decode-names is in that encoding already.
std::string SafeBaseName(const char* proposed, PathStyle style, bool decoded);

class ConsoleHost : public Host {
 public:
  ConsoleHost(FileOps& files, std::string dir, ExistsPolicy policy, bool quiet, bool decoded)
      : files_(files), dir_(std::move(dir)), policy_(policy), quiet_(quiet), decoded_(decoded) {}

  // The file the next messages are about; `notices` off when standard output carries data.
  void Begin(const std::string& file, bool notices) {
    field_ = file, notices_ = notices, error_shown_ = false;
  }
  bool ErrorShown() const { return error_shown_; }
  // velko-cli's own lines: an error "velko-cli: FILE: TEXT" and a warning, which is none, on
  // stderr; a notice "ABOUT: TEXT" on stdout.
  void Error(const std::string& text);
  void Warn(const std::string& about, const std::string& text);
  void Notice(const std::string& about, const std::string& text);

  const char* GetFieldText() override { return field_.c_str(); }
  void SetFieldText(const char* text) override { field_ = text; }
  void ShowMessage(Owner owner, const char* text, const char* caption) override;
  Answer AskYesNoCancel(Owner owner, const char* text, const char* caption) override;
  Answer AskOverwrite(Owner owner, char* path) override;
  bool OpenFileDialog(Owner owner, char* path) override;
  bool SaveFileDialog(Owner owner, char* path) override;
  void CloseMainWindow(Owner owner) override;
  void FileWritten(const char* path, bool appended, unsigned long long bytes) override;
  void PartSkipped(const PartReport& part) override;
  void PartListed(const PartReport& part) override;

 private:
  void Line(std::FILE* stream, const std::string& text);
  FileOps& files_;
  std::string dir_;
  ExistsPolicy policy_;
  bool quiet_;
  bool decoded_;     // the names proposed are decoded (--decode-names)
  std::string why_;  // why the last attachment was not taken
  std::string field_;
  bool notices_ = true;
  bool error_shown_ = false;
};

}  // namespace velko

#endif
