#include <unistd.h>

#include "catalog.h"

namespace velko {

std::string CatalogFolder(const char* from_program, const char* compiled) {
  char self[4096];
  // The kernel's link is the real path: a program started through a symbolic link still
  // finds the catalogue of its own prefix.
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self);
  if (n > 0) {
    std::string dir(self, static_cast<std::size_t>(n));
    dir.erase(dir.rfind('/') + 1);
    for (const std::string& folder : {dir + "locale", dir + from_program}) {
      if (::access((folder + "/ja/LC_MESSAGES/velko-cli.mo").c_str(), R_OK) == 0) return folder;
    }
  }
  return compiled;
}

}  // namespace velko
