// Charsets by their MIME and IANA labels.
#include <cstring>

#include "codec/bytes.h"
#include "velko/codec.h"

namespace velko {
namespace {

struct Label {
  const char* label;
  Charset charset;
};
constexpr Label kLabels[] = {
    {"shift_jis", Charset::kShiftJis},
    {"shift-jis", Charset::kShiftJis},
    {"sjis", Charset::kShiftJis},
    {"x-sjis", Charset::kShiftJis},
    {"ms_kanji", Charset::kShiftJis},
    {"csshiftjis", Charset::kShiftJis},
    {"windows-31j", Charset::kShiftJis},
    {"cswindows31j", Charset::kShiftJis},
    {"cp932", Charset::kShiftJis},
    {"ms932", Charset::kShiftJis},
    {"x-ms-cp932", Charset::kShiftJis},
    {"iso-2022-jp", Charset::kJis},
    {"csiso2022jp", Charset::kJis},
    {"euc-jp", Charset::kEucJp},
    {"x-euc-jp", Charset::kEucJp},
    {"eucjp", Charset::kEucJp},
    {"ujis", Charset::kEucJp},
    {"cseucpkdfmtjapanese", Charset::kEucJp},
    {"utf-8", Charset::kUtf8},
    {"utf8", Charset::kUtf8},
    {"unicode-1-1-utf-8", Charset::kUtf8},
    {"x-unicode20utf8", Charset::kUtf8},
    {"us-ascii", Charset::kAscii},
    {"ascii", Charset::kAscii},
    {"csascii", Charset::kAscii},
    {"ansi_x3.4-1968", Charset::kAscii},
    {"iso646-us", Charset::kAscii},
    {"iso-8859-1", Charset::kLatin1},
    {"iso8859-1", Charset::kLatin1},
    {"iso_8859-1", Charset::kLatin1},
    {"latin1", Charset::kLatin1},
    {"l1", Charset::kLatin1},
    {"csisolatin1", Charset::kLatin1},
    {"iso-ir-100", Charset::kLatin1},
    {"cp819", Charset::kLatin1},
};

}  // namespace

Charset CharsetForLabel(const char* label, std::size_t length) {
  for (const Label& l : kLabels) {
    if (EqualNoCase(label, length, l.label)) return l.charset;
  }
  return Charset::kUnknown;
}

Charset CharsetForLabel(const char* label) { return CharsetForLabel(label, std::strlen(label)); }

const char* CharsetName(Charset charset) {
  switch (charset) {
    case Charset::kAscii: return "US-ASCII";
    case Charset::kUtf8: return "UTF-8";
    case Charset::kShiftJis: return "Shift_JIS";
    case Charset::kJis: return "ISO-2022-JP";
    case Charset::kEucJp: return "EUC-JP";
    case Charset::kLatin1: return "ISO-8859-1";
    case Charset::kUnknown: break;
  }
  return "unknown";
}

}  // namespace velko
