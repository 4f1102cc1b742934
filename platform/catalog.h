// Where the message catalogues of velko and velko-cli are, wherever the package put them.
#ifndef VELKO_PLATFORM_CATALOG_H
#define VELKO_PLATFORM_CATALOG_H

#include <string>

namespace velko {

// The folder that holds ja/LC_MESSAGES/velko-cli.mo for the running program: "locale" beside
// it (its build folder), else `from_program` taken from the folder of its real path (an
// install to any prefix), else `compiled` (the prefix it was built for).
std::string CatalogFolder(const char* from_program, const char* compiled);

}  // namespace velko

#endif
