// Attachment names as today's mailers write them: RFC 2231 parameters (charset, percent-encoding,
// continuations), RFC 2047 encoded words (B and Q) in any parameter, unquoted values, and the
// Content-Type's name as the last resort. Used by velko-cli's --decode-names and --list.
#ifndef VELKO_CONV_MAIL_MAILNAMES_H
#define VELKO_CONV_MAIL_MAILNAMES_H

#include <cstddef>

#include "ports/fileops.h"
#include "ports/host.h"
#include "velko/codec.h"

namespace velko {

// The charset of a header word's label; kUnknown's bytes past ASCII are unknown.
Charset CharsetOf(const char* name, std::size_t n);

// An RFC 2047 encoded word, =?charset?B?text?= or =?charset?Q?text?=.
struct EncodedWord {
  const char* charset;  // its name, without an RFC 2231 language
  std::size_t charset_length;
  char encoding;  // 'b' or 'q'
  const char* text;
  std::size_t text_length;
};
// The first encoded word in s[from, n): where it starts and its length; false when none.
bool FindEncodedWord(const char* s, std::size_t n, std::size_t from, std::size_t* at,
                     std::size_t* length, EncodedWord* word);
// The bytes a word stands for, into `out` (at most `room` bytes); their count.
std::size_t WordBytes(const EncodedWord& word, char* out, std::size_t room);

// Where a part's name came from.
enum class NameForm {
  kNone,
  kQuoted,      // filename="..." as it stands: the window takes this one
  kRfc2231,     // filename*= (or name*= of the Content-Type), continuations included
  kEncoded,     // filename="=?charset?B?...?=": RFC 2047 words
  kUnquoted,    // filename=report.pdf
  kContentType,  // name= of the Content-Type only
  kUuencode      // the name on a uuencoded file's "begin" line
};

// The header lines of one part, each ended by a LF, folded lines joined, at most
// kHeaderSize - 1 bytes and a NUL. Lines beyond that are dropped.
constexpr std::size_t kHeaderSize = 16384;
struct PartHeader {
  char text[kHeaderSize];
  std::size_t length;
};

// Adds one line as read (CR LF or LF at its end) to `header`; a line beginning with a blank or
// a tab continues the one before it.
void AddHeaderLine(PartHeader& header, const char* line);
void AddHeaderLine(PartHeader& header, const char* line, std::size_t length);

// True when the part says Content-Transfer-Encoding: base64.
bool AnnouncesBase64(const PartHeader& header);

// The value of a field of the header ("content-type"), from after its colon to its line's
// end, or null.
const char* HeaderField(const PartHeader& header, const char* field);
// The first token of a field's value, lower-cased, into `out` (`room` bytes): "multipart/mixed",
// "base64", "attachment"; empty when there is none.
void FieldToken(const PartHeader& header, const char* field, char* out, std::size_t room);
// A parameter's value (`attribute` of `field`), unquoted, into `out` (`room` bytes); false when
// the field has none.
bool FieldParameter(const PartHeader& header, const char* field, const char* attribute, char* out,
                    std::size_t room);

// The part's name, the way a mail reader takes it, into `name` (kPathSize bytes) in the
// platform's encoding for file names (`files.AppendName`), cut to kPathSize - 1 bytes keeping
// its extension; kNone, with `name` empty, when the part gives none. `*nul` tells whether the
// decoded name held a NUL byte, where `name` then ends.
constexpr std::size_t kLongName = 2 * kPathSize;  // a name as decoded, before it is cut to fit
constexpr std::size_t kNameWork = kHeaderSize + 4 * kLongName;  // the work area's size
NameForm DecodePartName(const PartHeader& header, FileOps& files, char* name, char* work,
                        bool* nul, bool* kept = nullptr);
// A name as it stands in a mail (Shift_JIS or JIS, as the window reads names), the same way.
void PlainName(const char* bytes, std::size_t n, FileOps& files, char* name, char* work);

}  // namespace velko

#endif
