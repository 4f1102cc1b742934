// The families of velko-cli's commands, one file of cli/ each.
#ifndef VELKO_CLI_FAMILIES_H
#define VELKO_CLI_FAMILIES_H

#include "options.h"

namespace velko {

// velko-cli's own commands, beside the window's buttons.
constexpr int kSjisToUtf8 = 2001;
constexpr int kUtf8ToSjis = 2002;
constexpr int kJisToUtf8 = 2003;
constexpr int kUtf8ToJis = 2004;
constexpr int kCheck = 2005;
constexpr int kEucJpToUtf8 = 2006;
constexpr int kUtf8ToEucJp = 2007;
constexpr int kToUtf8 = 2008;
constexpr bool IsTranscoding(int id) {
  return id != kCheck && id >= kSjisToUtf8 && id <= kUtf8ToEucJp;
}

extern const Family kConvertFamily;    // convert.cpp: the window's four line commands
extern const Family kTranscodeFamily;  // transcode.cpp: to and from UTF-8
extern const Family kCheckFamily;      // check.cpp
extern const Family kToUtf8Family;     // toutf8.cpp: a tree into UTF-8
extern const Family kB64TextFamily;    // b64text.cpp
extern const Family kB64BinFamily;     // b64bin.cpp

}  // namespace velko

#endif
