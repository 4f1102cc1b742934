// What the core asks of the window (or of whatever stands in for it).
#ifndef VELKO_CONV_PORTS_HOST_H
#define VELKO_CONV_PORTS_HOST_H

#include <cstddef>

#include "ports/failure.h"

namespace velko {

// The main window's handle, passed unchanged to every box and dialog it owns.
using Owner = void*;

enum class Answer { kYes, kNo, kCancel };

// An error text with its paths, as a host shows it; `size` bytes at `out`.
void FormatError(char* out, std::size_t size, const char* format, const char* path,
                 const char* other);

class Host {
 public:
  virtual ~Host() = default;
  // The file-name field's text, owned by the host until its next text operation;
  // null when no copy could be made.
  virtual const char* GetFieldText() = 0;
  virtual void SetFieldText(const char* text) = 0;
  // Modal boxes with one OK button: a command's completion notice, and a failure: one of the
  // printf-style texts of texts.h (ending in a line feed that belongs to it) with its paths.
  virtual void ShowMessage(Owner owner, const char* text) = 0;
  virtual void ShowError(Owner owner, const char* format, const char* path, const char* other) = 0;
  // A failure: the windows show its text (texts.h) with its paths; a console adds the reason.
  virtual void ShowFailure(Owner owner, const Fault& fault);
  // Modal question with Yes, No and Cancel; anything else counts as Cancel.
  virtual Answer AskYesNoCancel(Owner owner, const char* text) = 0;
  // File-open dialog for existing files. `path` (kPathSize bytes) holds the proposed name
  // and, on true, the chosen one.
  virtual bool OpenFileDialog(Owner owner, char* path) = 0;
  // Save dialog; `path` as above.
  virtual bool SaveFileDialog(Owner owner, char* path) = 0;
  // Destroys the main window; the program ends once the platform's loop sees that.
  virtual void CloseMainWindow(Owner owner) = 0;
};

}  // namespace velko

#endif
