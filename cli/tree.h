// The entries of the folders a command is given, walked in name order: regular files to work
// on, folders (for renaming), and what is passed over with the reason.
#ifndef VELKO_CLI_TREE_H
#define VELKO_CLI_TREE_H

#include <string>
#include <vector>

#include "ports/fileops.h"

namespace velko {

struct TreeEntry {
  enum What { kFile, kFolder, kPassedOver };
  What what;
  std::string path;      // as the command line gave it, and the names below it
  std::string relative;  // below the operand it was found in; the operand's last name for itself
  const char* why = nullptr;  // kPassedOver: English (N), what it is
  bool operand = false;       // named on the command line
  bool unread = false;        // a folder that could not be listed
};

// The operands in their order; a folder's entries in byte order of their names, each folder
// before what it holds. With `recurse` a folder is entered, else passed over; symbolic links
// are never followed, and hidden or version-control folders, and whatever is no file or
// folder, are passed over. `skip`: a folder not to enter (an output folder inside the tree).
// An operand that does not exist is a kFile, for its reader to tell.
std::vector<TreeEntry> WalkTree(FileOps& files, const std::vector<std::string>& operands,
                                bool recurse, const FileId& skip = FileId());

}  // namespace velko

#endif
