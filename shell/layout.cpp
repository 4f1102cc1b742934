#include "layout.h"

#include "version.h"

namespace velko {

const char* Caption() { return "VELKO " VELKO_VERSION; }

}  // namespace velko
