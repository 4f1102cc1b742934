// velko-cli's file operations: the platform's, with a record of what a stop (INT, TERM,
// Ctrl+C) must undo so that every file is found under its own name afterwards: the file moved
// to its backup name while its new content is written, and the temporary that content is in;
// and of why the last operation that changes something failed, for the callers that do not
// take the failure as a value yet (attachments).
#ifndef VELKO_CLI_UNDO_H
#define VELKO_CLI_UNDO_H

#include <string>

#include "ports/fileops.h"

namespace velko {

class UndoOnStop : public FileOps {
 public:
  // Takes over the stop signals; one instance serves the whole run.
  explicit UndoOnStop(FileOps& real);
  // Nothing of the file before is undone any more: a failure left it as it is.
  void Settle();
  // Why the last operation failed, in words; "" when none did since the last call.
  std::string TakeReason();
  // A file written under `temp` that takes the name `final` when the run ends, or is stopped
  // ("" "" when there is none any more).
  void KeepOnStop(const char* temp, const char* final);

  PathStyle Style() const override { return real_.Style(); }
  bool Exists(const char* path) override { return real_.Exists(path); }
  EntryKind Kind(const char* path, bool follow) override { return real_.Kind(path, follow); }
  FileId Id(const char* path) override { return real_.Id(path); }
  unsigned long Links(const char* path) override { return real_.Links(path); }
  bool ReadLink(const char* path, char* target, std::size_t size) override {
    return real_.ReadLink(path, target, size);
  }
  bool AliasOf(const char* path, char* name, std::size_t size) override {
    return real_.AliasOf(path, name, size);
  }
  FileStatus Remove(const char* path) override;
  FileStatus RenameNoReplace(const char* from, const char* to) override;
  FileStatus Replace(const char* from, const char* to) override;
  using FileOps::Open;
  std::unique_ptr<File> Open(const char* path, OpenMode mode, int* error) override;
  void AppendName(char* name, std::size_t size, const char* text, std::size_t length,
                  bool utf8) override {
    real_.AppendName(name, size, text, length, utf8);
  }
  FileStatus KeepOwner(const char* from, const char* to) override {
    return Noted(real_.KeepOwner(from, to));
  }
  FileStatus CopyPermissions(const char* from, const char* to) override {
    return Noted(real_.CopyPermissions(from, to));
  }
  FileStatus CopyTimes(const char* from, const char* to) override {
    return Noted(real_.CopyTimes(from, to));
  }
  LockResult Lock(const char* path, std::unique_ptr<File>* hold) override {
    return real_.Lock(path, hold);
  }
  bool ListFolder(const char* folder, const std::function<void(const char*)>& each) override {
    return real_.ListFolder(folder, each);
  }
  std::size_t NameRoom(const char* folder) override { return real_.NameRoom(folder); }
  FileStatus MakeFolder(const char* path) override { return Noted(real_.MakeFolder(path)); }

 private:
  FileStatus Noted(FileStatus done);
  FileOps& real_;
  int failure_ = 0;  // the system's code for the last failure, 0 for none
};

// What the platform gives a console program: `undo` runs, with only the calls a signal
// handler may make, when the program is stopped (a closed pipe included), before it ends as
// the stop would end it.
// BlockStops holds a stop back while the record changes.
void OnStop(void (*undo)());
void BlockStops(bool block);

}  // namespace velko

#endif
