// What the core asks of the window (or of whatever stands in for it).
#ifndef VELKO_CONV_HOST_H
#define VELKO_CONV_HOST_H

#include <cstddef>

namespace velko {

// The main window's handle, passed unchanged to every box and dialog it owns.
using Owner = void*;

// Size of every path buffer: at most 511 bytes and the NUL.
constexpr std::size_t kPathSize = 512;

enum class Answer { kYes, kNo, kCancel };

class Host {
 public:
  virtual ~Host() = default;
  // The file-name field's text, owned by the host until its next text operation;
  // null when no copy could be made.
  virtual const char* GetFieldText() = 0;
  virtual void SetFieldText(const char* text) = 0;
  // Modal boxes with one OK button: a command's completion notice, and a failure (its text
  // ends in a line feed that belongs to it).
  virtual void ShowMessage(Owner owner, const char* text) = 0;
  virtual void ShowError(Owner owner, const char* text) = 0;
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
