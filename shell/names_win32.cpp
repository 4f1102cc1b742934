#include "names.h"

namespace velko {

// Windows names its files in the ANSI code page, the mail's own Shift_JIS.
std::string PlatformFileName(const char* sjis_name) { return sjis_name; }

}  // namespace velko
