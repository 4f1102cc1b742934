#include "mail/mailnames.h"

#include <cstdio>
#include <cstring>

#include "codec/base64.h"
#include "codec/bytes.h"
#include "text/frame.h"
#include "codec/cp932.h"
#include "codec/jis.h"
#include "mail/headers.h"
#include "velko/utf8.h"

namespace velko {

Charset CharsetOf(const char* name, std::size_t n) { return CharsetForLabel(name, n); }

namespace {

int Hex(char c) {
  c = LowerAscii(c);
  return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

}  // namespace

bool FindEncodedWord(const char* s, std::size_t n, std::size_t from, std::size_t* at,
                     std::size_t* length, EncodedWord* word) {
  for (std::size_t i = from; i + 1 < n; ++i) {
    if (s[i] != '=' || s[i + 1] != '?') continue;
    const char* charset = s + i + 2;
    const char* q1 = static_cast<const char*>(std::memchr(charset, '?', n - (i + 2)));
    if (q1 == nullptr || q1 + 2 >= s + n || q1[2] != '?') continue;
    const char encoding = LowerAscii(q1[1]);
    const char* text = q1 + 3;
    const char* end = text;
    while (end + 1 < s + n && !(end[0] == '?' && end[1] == '=')) ++end;
    if (end + 1 >= s + n || (encoding != 'b' && encoding != 'q')) continue;
    const char* star = static_cast<const char*>(std::memchr(charset, '*', q1 - charset));
    *word = {charset, static_cast<std::size_t>((star ? star : q1) - charset), encoding, text,
             static_cast<std::size_t>(end - text)};
    *at = i;
    *length = static_cast<std::size_t>(end + 2 - (s + i));
    return true;
  }
  return false;
}

std::size_t WordBytes(const EncodedWord& word, char* out, std::size_t room) {
  const char* text = word.text;
  const std::size_t n = word.text_length;
  if (word.encoding == 'b') {
    const std::size_t fit = n / 4 * 3 < room ? n : room / 3 * 4;
    return DecodeBase64(reinterpret_cast<unsigned char*>(out), text, fit);
  }
  std::size_t length = 0;
  for (std::size_t k = 0; k < n && length < room; ++k) {
    const int high = text[k] == '=' && k + 2 < n ? Hex(text[k + 1]) : -1;
    const int low = high >= 0 ? Hex(text[k + 2]) : -1;
    if (low >= 0) {
      out[length++] = static_cast<char>(high * 16 + low), k += 2;
    } else {
      out[length++] = text[k] == '_' ? ' ' : text[k];
    }
  }
  return length;
}

namespace {

// The name, built piece by piece in the platform's encoding for file names.
struct Name {
  FileOps& files;
  char* text;         // kLongName bytes, NUL-terminated
  char* work;         // 3 x kLongName bytes
  bool nul = false;   // a NUL came in: the name stops there, and says so
  bool kept = false;  // an encoded word stands as it is

  // `bytes` in `charset`, as UTF-8 into the name; what is no character there becomes '_', as
  // the bytes of a charset not known here past ASCII do.
  void Add(const char* bytes, std::size_t n, Charset charset) {
    if (n >= kLongName) n = kLongName - 1;
    nul |= std::memchr(bytes, 0, n) != nullptr;
    char* out = work;  // 2 x kLongName bytes: the bytes come from past them
    std::size_t m = 0;
    Decoder decoder(charset == Charset::kUnknown ? Charset::kAscii : charset);
    for (std::size_t at = 0; at < n;) {
      const CodecResult r =
          decoder.DecodeToUtf8(bytes + at, n - at, out + m, 2 * kLongName - 1 - m, true);
      m += r.written, at += r.read;
      if (r.status != CodecStatus::kMalformed) break;
      out[m++] = '_';
    }
    files.AppendName(text, kLongName, out, m, true);
  }
};

// How a name's bytes that no charset labels are read: with JIS escapes as JIS, as UTF-8 when
// they are UTF-8, else as Shift_JIS.
Charset RawCharset(const char* bytes, std::size_t n) {
  for (std::size_t i = 0; i + 2 < n; ++i) {  // ESC $ B, ESC ( B, ...: a JIS shift
    if (bytes[i] == 0x1B && (bytes[i + 1] == '$' || bytes[i + 1] == '(')) return Charset::kJis;
  }
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
  for (std::size_t i = 0; i < n;) {
    const Utf8Read r = ReadUtf8(p + i, n - i);
    if (r.kind != Utf8Kind::kCharacter) return Charset::kShiftJis;
    i += r.length;
  }
  return Charset::kUtf8;
}

struct NameWords : WordSink {
  explicit NameWords(Name& n) : name(n) {}
  void Literal(const char* text, std::size_t n) override {
    if (n > 0) name.Add(text, n, RawCharset(text, n));
  }
  void Utf8(const char* text, std::size_t n) override { name.Add(text, n, Charset::kUtf8); }
  void Malformed() override { name.Add("_", 1, Charset::kUtf8); }
  Name& name;
};

// A field of the header ("content-disposition"), found at a line's start: its value, or null.
const char* Field(const PartHeader& header, const char* field) {
  const std::size_t n = std::strlen(field);
  for (const char* line = header.text; *line != 0;) {
    std::size_t i = 0;
    while (i < n && LowerAscii(line[i]) == field[i]) ++i;
    if (i == n && line[n] == ':') return line + n + 1;
    const char* lf = std::strchr(line, '\n');
    if (lf == nullptr) break;
    line = lf + 1;
  }
  return nullptr;
}

struct Param {
  const char* attribute = nullptr;
  std::size_t attribute_length = 0;
  const char* value = nullptr;  // quoted: between the quotes, backslashes still in
  std::size_t value_length = 0;
  bool quoted = false;
  bool sjis = false;  // a quoted Shift_JIS string, whose 0x5C may be a second byte
};

// The end of a quoted string from `s` on (after its opening quote): its closing quote, or the
// line's end. A backslash escapes the next byte, but never the line's end; in a string of
// Shift_JIS (one that is no UTF-8), a 0x5C after a lead byte is that character's second byte.
const char* QuotedEnd(const char* s, bool* sjis) {
  for (int pass = 0; pass < 2; ++pass) {
    const char* end = s;
    while (*end != 0 && *end != '\n' && *end != '"') {
      const unsigned char c = static_cast<unsigned char>(*end);
      const unsigned char d = static_cast<unsigned char>(end[1]);
      end += (pass == 1 && IsSjisLeadByte(c) && IsSjisTrailByte(d)) ||
                     (c == '\\' && d != 0 && d != '\n')
                 ? 2
                 : 1;
    }
    *sjis = pass == 1;
    if (pass == 1 || RawCharset(s, static_cast<std::size_t>(end - s)) != Charset::kShiftJis) {
      return end;
    }
  }
  return s;
}

// The next parameter of a field's value from `*p` on (the first one: after the first ';').
bool NextParam(const char** p, Param* param) {
  const char* s = *p;
  while (*s != 0 && *s != '\n' && *s != ';') {
    bool sjis;
    s = *s == '"' ? QuotedEnd(s + 1, &sjis) : s;
    if (*s != 0 && *s != '\n') ++s;
  }
  if (*s != ';') return false;
  ++s;
  while (*s == ' ' || *s == '\t') ++s;
  param->attribute = s;
  while (*s != 0 && *s != '\n' && *s != '=' && *s != ';') ++s;
  param->attribute_length = static_cast<std::size_t>(s - param->attribute);
  while (param->attribute_length > 0 && (s[-1] == ' ' || s[-1] == '\t'))
    --s, --param->attribute_length;
  s = param->attribute + param->attribute_length;
  while (*s == ' ' || *s == '\t') ++s;
  param->value = s;
  param->value_length = 0;
  param->quoted = false;
  if (*s == '=') {
    ++s;
    while (*s == ' ' || *s == '\t') ++s;
    param->quoted = *s == '"';
    param->value = s + param->quoted;
    const char* end = param->value;
    if (param->quoted) {
      end = QuotedEnd(param->value, &param->sjis);
    } else {
      while (*end != 0 && *end != '\n' && *end != ';' && *end != ' ' && *end != '\t') ++end;
    }
    param->value_length = static_cast<std::size_t>(end - param->value);
    s = end + (param->quoted && *end == '"');
  }
  *p = s;
  return true;
}

// The value of the parameter `attribute` of `field`, or false.
bool FindParam(const PartHeader& header, const char* field, const char* attribute, Param* out) {
  const char* p = Field(header, field);
  Param param;
  while (p != nullptr && NextParam(&p, &param)) {
    if (EqualNoCase(param.attribute, param.attribute_length, attribute)) return *out = param, true;
  }
  return false;
}

// A quoted value without its backslashes, or a token as it is, into `out`; its length.
std::size_t Unquote(const Param& param, char* out, std::size_t size) {
  std::size_t n = 0;
  const std::size_t length = param.value_length;
  for (std::size_t i = 0; i < length && n + 2 < size; ++i) {
    const unsigned char c = static_cast<unsigned char>(param.value[i]);
    if (param.sjis && IsSjisLeadByte(c) && i + 1 < length) {
      out[n++] = param.value[i++];  // and its second byte, whatever it is
    } else if (param.quoted && c == '\\' && i + 1 < length) {
      ++i;
    }
    out[n++] = param.value[i];
  }
  out[n] = 0;
  return n;
}

// RFC 2231: "charset'language'%XX..." (its first part) or more of the same, percent-decoded,
// appended to `raw`.
void AddPercent(const char* s, std::size_t n, char* raw, std::size_t* length) {
  for (std::size_t i = 0; i < n && *length + 1 < kLongName; ++i) {
    int high = s[i] == '%' && i + 2 < n ? Hex(s[i + 1]) : -1;
    int low = high >= 0 ? Hex(s[i + 2]) : -1;
    if (low >= 0) {
      raw[(*length)++] = static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      raw[(*length)++] = s[i];
    }
  }
}

// filename*= or filename*0*=, filename*1*=, ...: false when there is none.
bool DecodeRfc2231(const PartHeader& header, const char* field, const char* base, Name& name) {
  char attribute[32];
  char* value = name.work + 3 * kLongName;  // kHeaderSize bytes
  char* raw = name.work + 2 * kLongName;    // the bytes before the charset
  std::size_t length = 0;
  Charset charset = Charset::kAscii;
  bool found = false;
  for (int part = -1; part < 100; ++part) {
    Param param;
    bool encoded = true;
    if (part < 0) {
      std::strcpy(attribute, base), std::strcat(attribute, "*");
      if (!FindParam(header, field, attribute, &param)) continue;
    } else {
      std::snprintf(attribute, sizeof attribute, "%s*%d*", base, part);
      if (!FindParam(header, field, attribute, &param)) {
        std::snprintf(attribute, sizeof attribute, "%s*%d", base, part);
        if (!FindParam(header, field, attribute, &param)) break;
        encoded = false;
      }
    }
    std::size_t n = Unquote(param, value, kHeaderSize);
    const char* text = value;
    if (encoded && (part <= 0)) {  // the first part names the charset and the language
      const char* quote1 = std::strchr(value, '\'');
      const char* quote2 = quote1 ? std::strchr(quote1 + 1, '\'') : nullptr;
      if (quote2 != nullptr) {
        charset = CharsetOf(value, static_cast<std::size_t>(quote1 - value));
        text = quote2 + 1;
      }
    }
    if (encoded) {
      AddPercent(text, n - static_cast<std::size_t>(text - value), raw, &length);
    } else {
      for (std::size_t i = 0; i < n && length + 1 < kLongName; ++i) raw[length++] = value[i];
    }
    found = true;
    if (part < 0) break;  // a single filename*= has no continuations
  }
  if (found) name.Add(raw, length, charset);
  return found && length > 0;
}

// A value with RFC 2047 words in it, decoded; the text between them read as RawCharset says.
// True when it held a word.
bool DecodeRfc2047(const char* value, std::size_t n, Name& name) {
  HeaderCounts counts;
  NameWords words(name);
  const bool any = DecodeWords(value, n, words, &counts);
  name.kept = name.kept || counts.kept > 0;
  return any;
}

}  // namespace

void AddHeaderLine(PartHeader& header, const char* line) {
  AddHeaderLine(header, line, std::strlen(line));
}

void AddHeaderLine(PartHeader& header, const char* line, std::size_t n) {
  while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) --n;
  const bool continued = (line[0] == ' ' || line[0] == '\t') && header.length > 0;
  if (continued) --header.length;  // over the LF of the line it continues
  if (header.length + n + 1 >= kHeaderSize) return;
  std::memcpy(header.text + header.length, line, n);
  header.length += n;
  header.text[header.length++] = '\n';
  header.text[header.length] = 0;
}

const char* HeaderField(const PartHeader& header, const char* field) { return Field(header, field); }

void FieldToken(const PartHeader& header, const char* field, char* out, std::size_t room) {
  const char* value = Field(header, field);
  std::size_t n = 0;
  if (value != nullptr) {
    while (*value == ' ' || *value == '\t') ++value;
    while (n + 1 < room && value[n] != 0 && std::strchr("\n\r\t ;", value[n]) == nullptr) {
      out[n] = LowerAscii(value[n]);
      ++n;
    }
  }
  out[n] = 0;
}

bool FieldParameter(const PartHeader& header, const char* field, const char* attribute, char* out,
                    std::size_t room) {
  Param param;
  if (!FindParam(header, field, attribute, &param)) return false;
  Unquote(param, out, room);
  return true;
}

bool AnnouncesBase64(const PartHeader& header) {
  const char* value = Field(header, "content-transfer-encoding");
  if (value == nullptr) return false;
  while (*value == ' ' || *value == '\t') ++value;
  std::size_t n = 0;
  while (value[n] != 0 && std::strchr("\n\r\t ;", value[n]) == nullptr) ++n;
  return EqualNoCase(value, n, "base64");
}

namespace {

// The whole name into `name`, cut to kPathSize - 1 bytes, whole characters, the extension kept.
void CutName(const char* whole, FileOps& files, char* name) {
  const std::size_t length = std::strlen(whole);
  std::size_t ext;
  const std::size_t keep =
      CutKeepingExtension(whole, length, kPathSize - 1, NamesInSjis(files.Style()), &ext);
  std::memcpy(name, whole, keep);
  std::memcpy(name + keep, whole + ext, length - ext);
  name[keep + length - ext] = 0;
}

}  // namespace

void PlainName(const char* bytes, std::size_t n, FileOps& files, char* name, char* work) {
  work[0] = 0;
  Name out{files, work, work + kLongName};
  out.Add(bytes, n, RawCharset(bytes, n));
  CutName(work, files, name);
}

NameForm DecodePartName(const PartHeader& header, FileOps& files, char* name, char* work,
                        bool* nul, bool* kept) {
  char* whole = work;  // the name as decoded, possibly long
  whole[0] = 0;
  Name out{files, whole, work + kLongName};
  NameForm form = NameForm::kNone;
  Param param;
  char* value = work + 4 * kLongName;
  if (DecodeRfc2231(header, "content-disposition", "filename", out)) {
    form = NameForm::kRfc2231;
  } else if (whole[0] = 0, FindParam(header, "content-disposition", "filename", &param)) {
    form = param.quoted ? NameForm::kQuoted : NameForm::kUnquoted;
  } else if (DecodeRfc2231(header, "content-type", "name", out)) {
    form = NameForm::kRfc2231;
  } else if (whole[0] = 0, FindParam(header, "content-type", "name", &param)) {
    form = NameForm::kContentType;
  }
  if (form != NameForm::kNone && form != NameForm::kRfc2231) {
    std::size_t n = Unquote(param, value, kHeaderSize);
    if (DecodeRfc2047(value, n, out) && form != NameForm::kContentType) form = NameForm::kEncoded;
  }
  CutName(whole, files, name);
  *nul = out.nul;
  if (kept) *kept = out.kept;
  return name[0] != 0 ? form : NameForm::kNone;
}

}  // namespace velko
