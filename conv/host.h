// What the core asks of the window (or of whatever stands in for it).
#ifndef VELKO_CONV_HOST_H
#define VELKO_CONV_HOST_H

#include <cstddef>

#include "mailnames.h"
#include "texts.h"

namespace velko {

// The main window's handle, passed unchanged to every box and dialog it owns.
using Owner = void*;

// Size of every path buffer: at most 511 bytes and the NUL.
constexpr std::size_t kPathSize = 512;

enum class Answer { kYes, kNo, kCancel };

// A part of a mail announced as Base64: why it stayed in the mail, or what --list tells of it.
enum class SkipReason { kNoName, kNotTaken, kKept };  // no name; the dialog; the question
struct PartReport {
  long line;                 // where the part's header began
  SkipReason reason;
  NameForm form;             // where a mail reader takes its name from; kNone: nowhere
  const char* name;          // that name, in the platform's encoding for file names
  unsigned long long bytes;  // its body decoded (--list)
  bool window;               // the window's rules extract it (--list)
};

class Host {
 public:
  virtual ~Host() = default;
  // The file-name field's text, owned by the host until its next text operation;
  // null when no copy could be made.
  virtual const char* GetFieldText() = 0;
  virtual void SetFieldText(const char* text) = 0;
  // Modal notice with one OK button.
  virtual void ShowMessage(Owner owner, const char* text, const char* caption) = 0;
  // Modal question with Yes, No and Cancel; anything else counts as Cancel.
  virtual Answer AskYesNoCancel(Owner owner, const char* text, const char* caption) = 0;
  // The question for an attachment file that exists, named by `path` (kPathSize bytes) as it
  // will be written. A host may put another name there and answer Yes to write that file.
  virtual Answer AskOverwrite(Owner owner, char* /*path*/) {
    return AskYesNoCancel(owner, kAskOverwrite, kCaptionQuestion);
  }
  // File-open dialog for existing files. `path` (kPathSize bytes) holds the proposed name
  // and, on true, the chosen one.
  virtual bool OpenFileDialog(Owner owner, char* path) = 0;
  // Save dialog; `path` as above.
  virtual bool SaveFileDialog(Owner owner, char* path) = 0;
  // Destroys the main window; the program ends once the platform's loop sees that.
  virtual void CloseMainWindow(Owner owner) = 0;
  // A part left in the mail, and a part listed; a window says nothing of either.
  virtual void PartSkipped(const PartReport& /*part*/) {}
  virtual void PartListed(const PartReport& /*part*/) {}
  // An attachment's file was written (a window says nothing of it; a console may).
  virtual void FileWritten(const char* /*path*/, bool /*appended*/, unsigned long long /*bytes*/) {}
};

}  // namespace velko

#endif
