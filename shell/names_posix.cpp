#include <errno.h>
#include <iconv.h>

#include <cstring>

#include "names.h"

namespace velko {

std::string PlatformFileName(const char* sjis_name) {
  iconv_t cd = iconv_open("UTF-8", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return sjis_name;
  std::string out;
  char* in = const_cast<char*>(sjis_name);
  std::size_t in_left = std::strlen(sjis_name);
  bool ok = true;
  while (in_left > 0 && ok) {
    char chunk[256];
    char* o = chunk;
    std::size_t o_left = sizeof chunk;
    std::size_t r = iconv(cd, &in, &in_left, &o, &o_left);
    out.append(chunk, o - chunk);
    if (r == static_cast<std::size_t>(-1) && errno != E2BIG) ok = false;
  }
  iconv_close(cd);
  return ok ? out : std::string(sjis_name);
}

}  // namespace velko
