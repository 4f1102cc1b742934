// Attachment names as the mail gives them (Shift_JIS) turned into the platform's own encoding
// for file names.
#ifndef VELKO_SHELL_NAMES_H
#define VELKO_SHELL_NAMES_H

#include <string>

namespace velko {

// On POSIX, where file names are UTF-8: the name converted from code page 932; bytes that are
// not Shift_JIS keep the name as it is. On Win32 the name as it is.
std::string PlatformFileName(const char* sjis_name);

}  // namespace velko

#endif
