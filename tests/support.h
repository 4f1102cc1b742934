// Test doubles: a scripted host, file operations with injected faults, a scratch directory.
#ifndef VELKO_TESTS_SUPPORT_H
#define VELKO_TESTS_SUPPORT_H

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "fileops.h"
#include "frame.h"
#include "host.h"

namespace velko::test {

struct Box {
  std::string caption;
  std::string text;
  bool question = false;
};

// Plays the window: the field holds `field`, dialogs and questions take queued answers, every
// box is recorded.
class ScriptedHost : public Host {
 public:
  std::string field;
  std::vector<Box> boxes;
  std::deque<Answer> answers;               // for AskYesNoCancel; empty means Cancel
  std::deque<std::string> open_choices;     // for OpenFileDialog; "" or empty means cancel
  std::deque<std::string> save_choices;     // for SaveFileDialog; "" or empty means cancel
  std::vector<std::string> proposed_open;   // names the dialogs proposed
  std::vector<std::string> proposed_save;
  int closes = 0;
  bool fail_get_text = false;

  const char* GetFieldText() override;
  void SetFieldText(const char* text) override { field = text; }
  void ShowMessage(Owner owner, const char* text, const char* caption) override;
  Answer AskYesNoCancel(Owner owner, const char* text, const char* caption) override;
  bool OpenFileDialog(Owner owner, char* path) override;
  bool SaveFileDialog(Owner owner, char* path) override;
  void CloseMainWindow(Owner) override { ++closes; }

 private:
  std::string field_copy_;
};

// The native file operations, with faults switched on by the test.
class FaultyFileOps : public FileOps {
 public:
  explicit FaultyFileOps(FileOps& real) : real_(real) {}

  bool fail_exists = false;
  bool fail_remove = false;
  bool fail_rename = false;
  bool fail_open_read = false;
  bool fail_open_write = false;   // kWrite and kAppend
  long read_fail_after = -1;      // bytes a file may read before its reads fail; -1 never
  long write_fail_after = -1;     // bytes a file may write before its writes fail; -1 never
  bool fail_close_write = false;  // closing a file opened for writing reports a failure
  int opens = 0;

  PathStyle Style() const override { return real_.Style(); }
  bool Exists(const char* path) override { return !fail_exists && real_.Exists(path); }
  EntryKind Kind(const char* path, bool follow) override { return real_.Kind(path, follow); }
  bool SameFile(const char* a, const char* b) override { return real_.SameFile(a, b); }
  void CopyPermissions(const char* from, const char* to) override {
    real_.CopyPermissions(from, to);
  }
  bool Remove(const char* path) override { return !fail_remove && real_.Remove(path); }
  bool RenameNoReplace(const char* from, const char* to) override {
    return !fail_rename && real_.RenameNoReplace(from, to);
  }
  std::unique_ptr<File> Open(const char* path, OpenMode mode) override;

 private:
  FileOps& real_;
};

// A fresh directory under the system's temporary directory, removed with its content.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

std::string ReadFile(const std::string& path);  // "<missing>" unless a readable regular file
void WriteFile(const std::string& path, const std::string& bytes);
bool PathExists(const std::string& path);

}  // namespace velko::test

#endif
