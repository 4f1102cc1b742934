// --manifest: one row per attachment part, tab-separated, written whole at the end of the run
// (or when it is stopped) under its name; until then beside it under a temporary one.
#ifndef VELKO_CLI_MANIFEST_H
#define VELKO_CLI_MANIFEST_H

#include <memory>
#include <string>
#include <vector>

#include "ports/fileops.h"
#include "undo.h"

namespace velko {

class Manifest {
 public:
  explicit Manifest(UndoOnStop& files) : files_(files) {}
  ~Manifest();
  // Starts the file with its header row; false when it cannot be made beside `path`.
  bool Open(const std::string& path);
  // One row; tabs, line ends and backslashes in a field are written \t, \n, \r and \\.
  void Row(const std::vector<std::string>& fields);
  // Gives the file its name; false when a write failed or it could not be named.
  bool Close();
  bool open() const { return file_ != nullptr; }
  const std::string& path() const { return path_; }

 private:
  UndoOnStop& files_;
  std::string path_;
  char temp_[4096] = "";
  std::unique_ptr<File> file_;
  bool ok_ = true;
};

}  // namespace velko

#endif
