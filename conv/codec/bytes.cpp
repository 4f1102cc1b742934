#include "codec/bytes.h"

#include <cstring>

#include "codec/jis.h"

namespace velko {

bool StartsWithNoCase(const char* text, const char* word, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    if (text[i] == 0 || LowerAscii(text[i]) != LowerAscii(word[i])) return false;
  }
  return true;
}

bool StartsWithNoCase(const char* text, const char* word) {
  for (; *word != 0; ++text, ++word) {
    if (*text == 0 || LowerAscii(*text) != LowerAscii(*word)) return false;
  }
  return true;
}

bool EqualNoCase(const char* text, std::size_t n, const char* word) {
  for (std::size_t i = 0; i < n; ++i) {
    if (word[i] == 0 || LowerAscii(text[i]) != LowerAscii(word[i])) return false;
  }
  return word[n] == 0;
}

const char* FindNoCase(const char* text, const char* word) {
  if (*word == 0) return text;
  const char first = LowerAscii(*word);
  for (const char* p = text; *p != 0; ++p) {
    if (LowerAscii(*p) == first && StartsWithNoCase(p, word)) return p;
  }
  return nullptr;
}

std::size_t ControlLength(const char* text, bool utf8) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  if (p[0] < 0x20 || p[0] == 0x7F) return 1;
  if (!utf8 || p[0] < 0x80) return 0;
  // A NUL ends the text: never more than 4 bytes are looked at, and none past it.
  std::size_t n = 1;
  while (n < 4 && p[n] != 0) ++n;
  const Utf8Read r = ReadUtf8(p, n);
  const char32_t c = r.character;
  const bool control = r.kind == Utf8Kind::kCharacter &&
                       ((c >= 0x80 && c <= 0x9F) || c == 0x200E || c == 0x200F ||
                        (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069));
  return control ? r.length : 0;
}

void AppendUtf8(char* name, std::size_t size, const char* text, std::size_t length) {
  std::size_t n = std::strlen(name);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  for (std::size_t i = 0; i < length;) {
    const Utf8Read r = ReadUtf8(p + i, length - i);
    const bool whole = r.kind == Utf8Kind::kCharacter;
    const std::size_t made = whole ? r.length : 1;
    if (n + made >= size) break;
    std::memcpy(name + n, whole ? text + i : "_", made);
    n += made;
    i += r.length;
  }
  name[n] = 0;
}

namespace {

// Every piece of `text` through `call` into `out`, `replacement` for each bad sequence.
template <typename Call>
void Through(std::string* out, const char* text, std::size_t length, std::size_t room,
             char replacement, Call&& call) {
  const std::size_t start = out->size();
  out->resize(start + room);
  std::size_t made = start;
  for (std::size_t taken = 0;;) {
    const CodecResult r = call(text + taken, length - taken, &(*out)[made], room - (made - start));
    taken += r.read;
    made += r.written;
    if (r.status == CodecStatus::kInputEmpty) break;
    (*out)[made++] = replacement;  // room: a bad sequence is at least a byte, its output none
  }
  out->resize(made);
}

}  // namespace

void AppendRecoded(std::string* out, Charset from, Charset to, const char* text, std::size_t length,
                   char replacement) {
  std::string utf8;
  Decoder decoder(from);
  Through(&utf8, text, length, decoder.MaxUtf8Length(length) + 1, replacement,
          [&](const char* s, std::size_t n, char* d, std::size_t room) {
            return decoder.DecodeToUtf8(s, n, d, room, true);
          });
  Encoder encoder(to);
  Through(out, utf8.data(), utf8.size(), encoder.MaxLength(utf8.size()) + 1, replacement,
          [&](const char* s, std::size_t n, char* d, std::size_t room) {
            return encoder.EncodeFromUtf8(s, n, d, room, true);
          });
}

std::size_t CharacterLength(const char* text, bool sjis) {
  const unsigned char c = static_cast<unsigned char>(*text);
  if (sjis) return IsSjisLeadByte(c) && text[1] != 0 ? 2 : 1;
  const std::size_t n = Utf8Length(c);
  return n == 0 ? 1 : n;
}

std::size_t CutKeepingExtension(const char* name, std::size_t length, std::size_t limit, bool sjis,
                                std::size_t* ext) {
  *ext = length;
  if (length <= limit) return length;
  for (std::size_t i = length; i-- > 1;) {
    if (name[i] != '.') continue;
    if (length - i <= 32 && length - i < limit) *ext = i;  // and room for a stem
    break;
  }
  return FitCharacters(name, *ext, limit - (length - *ext), sjis);
}

std::size_t FitCharacters(const char* text, std::size_t length, std::size_t limit, bool sjis) {
  std::size_t keep = 0;
  for (std::size_t next; keep < length; keep = next) {
    next = keep + CharacterLength(text + keep, sjis);
    if (next > limit || next > length) break;
  }
  return keep;
}

}  // namespace velko
