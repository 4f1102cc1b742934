// The platform's file operations for the core.
#ifndef VELKO_SHELL_FILEOPS_NATIVE_H
#define VELKO_SHELL_FILEOPS_NATIVE_H

#include "ports/fileops.h"

namespace velko {

// One instance serves the whole program; it keeps no state. The windows write through a link
// the user chose in a dialog; velko-cli never writes through a link in its folder.
FileOps& NativeFileOps(bool write_through_links = true);

// Standard input (0) or output (1) as a File in binary; closing it leaves the stream open.
std::unique_ptr<File> StandardStream(int fd);

}  // namespace velko

#endif
