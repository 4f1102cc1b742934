// The platform's file operations for the core.
#ifndef VELKO_SHELL_FILEOPS_NATIVE_H
#define VELKO_SHELL_FILEOPS_NATIVE_H

#include "fileops.h"

namespace velko {

// One instance serves the whole program; it keeps no state.
FileOps& NativeFileOps();

}  // namespace velko

#endif
