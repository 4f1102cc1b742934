// What a text is and what the commands would make of it, from one reading in pieces of any
// size: its charset by fixed byte rules, what it holds that matters to them, and what each
// would lose or change, every coder fed the same pieces.
#ifndef VELKO_CONV_TEXT_SURVEY_H
#define VELKO_CONV_TEXT_SURVEY_H

#include <cstddef>
#include <memory>

#include "codec/detect.h"
#include "velko/codec.h"

namespace velko {

struct Findings {
  static constexpr long long kNone = -1;  // a count that does not apply
  // One bit: the charset, named; several: ambiguous among them; kBinary: no text.
  Charsets fits = kBinary;
  bool doubt = false;         // named from bytes that fit no charset whole
  Census census;              // of the text as the Shift_JIS it is, reads as or becomes
  long long invalid = kNone;  // sequences that are no character of its charset
  long long to_utf8_lost = kNone, to_sjis_lost = kNone, to_jis_lost = kNone, jis_vendor = kNone,
            sjis2jis_8bit = kNone, nec2jis = kNone, jis2nec = kNone, to_euc_lost = kNone;
};

class TextSurvey {
 public:
  TextSurvey();
  ~TextSurvey();
  // Takes the room the coders write into; false without memory.
  bool Prepare();
  // The text's whole length, where it is known before it is read: a coder whose charset can
  // no longer be named, by the byte rules or by the trials' one in a hundred, then stops. The
  // findings stay what they would be, for a text of that length.
  void Expect(unsigned long long length) { expected_ = length; }
  void Add(const unsigned char* bytes, std::size_t n);
  // What the bytes added are; once, after the last.
  Findings Finish();

 private:
  struct Coders;
  std::unique_ptr<Coders> coders_;
  ByteSurvey survey_;
  CensusTaker ends_{false}, as_sjis_{true};
  unsigned long long size_ = 0;
  unsigned long long expected_ = ~0ull;
  bool nul_ = false;
};

}  // namespace velko

#endif
