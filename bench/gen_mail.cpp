// Benchmark input generator for the MIME commands: seeded mail data, CR LF line ends.
//
//   gen_mail headers SIZE_MB SEED OUTFILE [EXPECTED]
//   gen_mail mail    SIZE_MB SEED OUTFILE [MANIFEST]
//
// headers: header blocks whose Subject, From and To carry "=?ISO-2022-JP?B?...?=" or
//   "=?shift_jis?B?...?=" encoded words (prefix case varies), folded continuation lines with
//   further words, and plain Received/Date/Message-ID lines; one encoded word a line, every
//   line under 200 bytes, 8..60 decoded bytes a word. The file is exactly
//   round(SIZE_MB * 10^6) bytes. EXPECTED, if given, gets the same lines with every encoded
//   word replaced by its decoded bytes, so an expander's output can be checked with cmp.
// mail: one multipart/mixed message: a short ISO-2022-JP text part, then Base64 attachments
//   file0001.bin... of random bytes (100 KB..2 MB decoded, 76-character lines) until the file
//   is about SIZE_MB (the last attachment is sized to land within a line of it). MANIFEST,
//   if given, gets one "NAME DECODED_BYTES" line per attachment.
//
// mbox: about SIZE_MB of messages of 100 KB on average (10,000 for 1000 MB), LF line ends as
//   mail systems keep them: each a multipart/mixed with a short text and one to three
//   attachments of random bytes (Base64, 76-character lines), every eighth of them a
//   quoted-printable text instead; names mNNNNNN-K.bin unique in the file. MANIFEST, if given,
//   gets one "NAME DECODED_BYTES" line per attachment.
//
// Same PRNG and the same rule as gen_text: identical bytes for a seed on every machine.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "rng.h"

namespace {

using Buf = std::vector<char>;

void Put(Buf& b, const char* s) { b.insert(b.end(), s, s + std::strlen(s)); }
void Put(Buf& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }
void Put(Buf& b, const Buf& s) { b.insert(b.end(), s.begin(), s.end()); }
void Crlf(Buf& b) {
  b.push_back('\r');
  b.push_back('\n');
}

// Writes big blocks; per-line stdio calls would dominate the run time.
class Out {
 public:
  Out(const char* path, const char* what) : path_(path), f_(std::fopen(path, "wb")) {
    if (!f_) std::fprintf(stderr, "gen_mail: cannot open %s %s: %s\n", what, path, std::strerror(errno));
    buf.reserve(kFlushAt + (std::size_t{1} << 16));
  }
  ~Out() {
    if (f_) std::fclose(f_);
  }
  bool is_open() const { return f_ != nullptr; }
  void MaybeFlush() {
    if (buf.size() >= kFlushAt) Flush();
  }
  void Flush() {
    ok_ = ok_ && std::fwrite(buf.data(), 1, buf.size(), f_) == buf.size();
    buf.clear();
  }
  bool Close() {
    Flush();
    ok_ = (std::fclose(f_) == 0) && ok_;
    f_ = nullptr;
    if (!ok_) std::fprintf(stderr, "gen_mail: write to %s failed\n", path_);
    return ok_;
  }

  Buf buf;

 private:
  static constexpr std::size_t kFlushAt = std::size_t{8} << 20;
  const char* path_;
  std::FILE* f_;
  bool ok_ = true;
};

const char kB64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Appends the Base64 of [p, p + n), padded, no line breaks.
void Base64(Buf& out, const unsigned char* p, std::size_t n) {
  std::size_t i = 0;
  for (; i + 3 <= n; i += 3) {
    std::uint32_t v = std::uint32_t{p[i]} << 16 | std::uint32_t{p[i + 1]} << 8 | p[i + 2];
    out.push_back(kB64[v >> 18]);
    out.push_back(kB64[(v >> 12) & 63]);
    out.push_back(kB64[(v >> 6) & 63]);
    out.push_back(kB64[v & 63]);
  }
  if (n - i == 1) {
    std::uint32_t v = std::uint32_t{p[i]} << 16;
    out.push_back(kB64[v >> 18]);
    out.push_back(kB64[(v >> 12) & 63]);
    out.push_back('=');
    out.push_back('=');
  } else if (n - i == 2) {
    std::uint32_t v = std::uint32_t{p[i]} << 16 | std::uint32_t{p[i + 1]} << 8;
    out.push_back(kB64[v >> 18]);
    out.push_back(kB64[(v >> 12) & 63]);
    out.push_back(kB64[(v >> 6) & 63]);
    out.push_back('=');
  }
}

// ---------------------------------------------------------------- headers

const char* const kJisPrefix[] = {"=?ISO-2022-JP?B?", "=?ISO-2022-JP?B?", "=?ISO-2022-JP?B?",
                                  "=?iso-2022-jp?B?", "=?iso-2022-jp?b?", "=?Iso-2022-Jp?B?"};
const char* const kSjisPrefix[] = {"=?shift_jis?B?", "=?shift_jis?B?", "=?Shift_JIS?B?",
                                   "=?SHIFT_JIS?B?", "=?shift_jis?b?", "=?Shift_Jis?b?"};
const char* const kAsciiLead[] = {"Re: ", "Fw: ", "[123] ", "No.7 ", "RE: "};
const char* const kDays[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

class HeaderWriter {
 public:
  explicit HeaderWriter(std::uint64_t seed) : rng_{seed} {}

  // One header block and its decoded twin, each ending with an empty line.
  void Block(Buf& raw, Buf& dec) {
    raw.clear();
    dec.clear();
    int hops = static_cast<int>(rng_.Between(1, 3));
    for (int i = 0; i < hops; ++i) Received();
    Plain("Date: " + DateText());
    Word("From: ", " <" + User() + ">", rng_.Below(3) != 0);
    Word("To: ", " <" + User() + ">", rng_.Below(2) != 0);
    Word("Subject: ", "", rng_.Below(2) != 0);
    // Folded subject: continuation lines are one space and one more word, as mailers fold.
    for (int n = static_cast<int>(rng_.Below(3)); n > 0; --n) Word(" ", "", rng_.Below(4) != 0);
    Plain("Message-ID: <" + Digits(12) + "." + Digits(6) + "@mail.example.co.jp>");
    Plain("MIME-Version: 1.0");
    Plain("Content-Type: text/plain; charset=ISO-2022-JP");
    Plain("");
    Put(raw, raw_);
    Put(dec, dec_);
    raw_.clear();
    dec_.clear();
  }

  // Filler of exactly `n` bytes (n >= 9) in lines under 200 bytes, identical in both files.
  void Pad(Buf& raw, Buf& dec, std::size_t n) {
    std::size_t lines = (n + 189) / 190;
    for (std::size_t i = 0; i < lines; ++i) {
      std::size_t len = n / lines + (i < n % lines ? 1 : 0);  // >= 9: see the caller
      std::string s = "X-Pad: ";
      while (s.size() + 2 < len) s.push_back(static_cast<char>('a' + rng_.Below(26)));
      s += "\r\n";
      Put(raw, s);
      Put(dec, s);
    }
  }

 private:
  void Plain(const std::string& line) {
    Put(raw_, line);
    Crlf(raw_);
    Put(dec_, line);
    Crlf(dec_);
  }

  std::string Digits(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s.push_back(static_cast<char>('0' + rng_.Below(10)));
    return s;
  }

  std::string User() { return "user" + Digits(4) + "@example.com"; }

  std::string DateText() {
    char b[64];
    std::snprintf(b, sizeof b, "%s, %u %s 20%02u %02u:%02u:%02u +0900", kDays[rng_.Below(7)],
                  rng_.Between(1, 28), kMonths[rng_.Below(12)], rng_.Between(10, 25),
                  rng_.Below(24), rng_.Below(60), rng_.Below(60));
    return b;
  }

  void Received() {
    std::string host = "mail" + Digits(3) + ".example.net";
    char ip[32];
    std::snprintf(ip, sizeof ip, "10.%u.%u.%u", rng_.Below(256), rng_.Below(256), rng_.Below(256));
    Plain("Received: from " + host + " (" + host + " [" + ip + "])");
    Plain("\tby mx" + Digits(1) + ".example.co.jp with ESMTP id " + Digits(10) + ";");
    Plain("\t" + DateText());
  }

  // A JIS X 0208 cell that every converter knows: hiragana (row 0x24) or level-1 kanji
  // (rows 0x30..0x4F; row 0x4F ends at cell 0x53).
  void Cell(unsigned& j1, unsigned& j2) {
    if (rng_.Below(5) < 2) {
      j1 = 0x24;
      j2 = rng_.Between(0x21, 0x73);
    } else {
      j1 = rng_.Between(0x30, 0x4F);
      j2 = rng_.Between(0x21, j1 == 0x4F ? 0x53 : 0x7E);
    }
  }

  // Decoded text of an ISO-2022-JP word: optional ASCII lead, one ESC $ B ... ESC ( B run,
  // optional ASCII tail byte to hit the length exactly. len in 8..60.
  void JisText(std::string& t, std::size_t len) {
    t.clear();
    if (len >= 14 && rng_.Below(4) == 0) t = kAsciiLead[rng_.Below(5)];
    std::size_t body = len - t.size() - 6;  // 6: the two escape sequences
    t += "\x1b$B";
    for (std::size_t i = 0; i + 2 <= body; i += 2) {
      unsigned j1, j2;
      Cell(j1, j2);
      t.push_back(static_cast<char>(j1));
      t.push_back(static_cast<char>(j2));
    }
    t += "\x1b(B";
    if (body % 2) t.push_back(static_cast<char>('0' + rng_.Below(10)));
  }

  // Decoded text of a Shift_JIS word: the same cells in Shift_JIS, one ASCII byte if the
  // length is odd. len in 8..60.
  void SjisText(std::string& t, std::size_t len) {
    t.clear();
    if (len % 2) t.push_back(static_cast<char>('A' + rng_.Below(26)));
    while (t.size() < len) {
      unsigned j1, j2;
      Cell(j1, j2);
      unsigned s1 = ((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0);
      unsigned s2 = (j1 & 1) ? j2 + (j2 >= 0x60 ? 0x20 : 0x1F) : j2 + 0x7E;
      t.push_back(static_cast<char>(s1));
      t.push_back(static_cast<char>(s2));
    }
  }

  // lead + encoded word + tail; the decoded twin gets lead + decoded bytes + tail.
  void Word(const char* lead, const std::string& tail, bool jis) {
    std::size_t len = rng_.Between(8, 60);
    const char* prefix;
    if (jis) {
      JisText(text_, len);
      prefix = kJisPrefix[rng_.Below(6)];
    } else {
      SjisText(text_, len);
      prefix = kSjisPrefix[rng_.Below(6)];
    }
    Put(raw_, lead);
    Put(raw_, prefix);
    Base64(raw_, reinterpret_cast<const unsigned char*>(text_.data()), text_.size());
    Put(raw_, "?=");
    Put(raw_, tail);
    Crlf(raw_);
    Put(dec_, lead);
    Put(dec_, text_);
    Put(dec_, tail);
    Crlf(dec_);
  }

  Rng rng_;
  Buf raw_, dec_;
  std::string text_;
};

bool Headers(std::uint64_t total, std::uint64_t seed, const char* path, const char* expected_path) {
  Out out(path, "output");
  if (!out.is_open()) return false;
  std::unique_ptr<Out> dec;
  if (expected_path) {
    dec = std::make_unique<Out>(expected_path, "expected output");
    if (!dec->is_open()) return false;
  }

  HeaderWriter w(seed);
  Buf raw, decoded;
  std::uint64_t left = total;
  for (;;) {
    w.Block(raw, decoded);
    // Keep room for the padding; it then always has between 400 and a block + 400 bytes
    // (or the whole file if that is tiny), so no pad line gets shorter than 9 bytes.
    if (raw.size() + 400 > left) break;
    Put(out.buf, raw);
    out.MaybeFlush();
    if (dec) {
      Put(dec->buf, decoded);
      dec->MaybeFlush();
    }
    left -= raw.size();
  }
  raw.clear();
  decoded.clear();
  w.Pad(raw, decoded, static_cast<std::size_t>(left));
  Put(out.buf, raw);
  if (dec) Put(dec->buf, decoded);

  bool ok = out.Close();
  if (dec) ok = dec->Close() && ok;
  return ok;
}

// ---------------------------------------------------------------- mail

constexpr std::size_t kLineBytes = 57;  // 76 Base64 characters
constexpr char kBoundary[] = "b1";

// File bytes of `n` decoded bytes as 76-character lines, CR LF each.
std::uint64_t EncodedSize(std::uint64_t n) { return (n + 2) / 3 * 4 + (n + kLineBytes - 1) / kLineBytes * 2; }

std::string PartHeader(const std::string& name) {
  return std::string("--") + kBoundary + "\r\n" +
         "Content-Type: application/octet-stream; name=\"" + name + "\"\r\n" +
         "Content-Transfer-Encoding: base64\r\n" +
         "Content-Disposition: attachment; filename=\"" + name + "\"\r\n" +
         "\r\n";
}

bool Mail(std::uint64_t total, std::uint64_t seed, const char* path, const char* manifest_path) {
  Out out(path, "output");
  if (!out.is_open()) return false;
  std::FILE* manifest = nullptr;
  if (manifest_path) {
    manifest = std::fopen(manifest_path, "w");
    if (!manifest) {
      std::fprintf(stderr, "gen_mail: cannot open manifest %s: %s\n", manifest_path, std::strerror(errno));
      return false;
    }
  }

  Rng rng{seed};
  Buf& b = out.buf;
  // Subject "VELKO benchmark" with kanji, as ISO-2022-JP; the text part says the same.
  const char jis_subject[] = "VELKO \x1b$B%Y%s%A%^!<%/\x1b(B";
  Put(b, "From: sender@example.com\r\n");
  Put(b, "To: user@example.co.jp\r\n");
  Put(b, "Subject: =?ISO-2022-JP?B?");
  Base64(b, reinterpret_cast<const unsigned char*>(jis_subject), sizeof jis_subject - 1);
  Put(b, "?=\r\n");
  Put(b, "Date: Tue, 3 Mar 2020 12:00:00 +0900\r\n");
  Put(b, "Message-ID: <" + std::to_string(seed) + ".bench@example.com>\r\n");
  Put(b, "MIME-Version: 1.0\r\n");
  Put(b, std::string("Content-Type: multipart/mixed; boundary=\"") + kBoundary + "\"\r\n");
  Put(b, "\r\n");
  Put(b, "This is a multi-part message in MIME format.\r\n");
  Put(b, "\r\n");
  Put(b, std::string("--") + kBoundary + "\r\n");
  Put(b, "Content-Type: text/plain; charset=ISO-2022-JP\r\n");
  Put(b, "Content-Transfer-Encoding: 7bit\r\n");
  Put(b, "\r\n");
  Put(b, "\x1b$B%Y%s%A%^!<%/$NE:IU%U%!%$%k$G$9!#\x1b(B\r\n");
  Put(b, "Attachments follow.\r\n");
  Put(b, "\r\n");

  const std::string closing = std::string("--") + kBoundary + "--\r\n";
  // Header length of a part; the same for every name since the numbers are zero-padded
  // to one width, and + 2 is the blank line after the body.
  const std::uint64_t overhead = PartHeader("file0000.bin").size() + 2;
  const std::uint64_t min_part = EncodedSize(100000) + overhead;
  std::uint64_t written = b.size();
  std::vector<unsigned char> data;
  Buf line;
  unsigned count = 0;
  std::uint64_t decoded_total = 0;

  // Largest decoded size whose part fits in `room` file bytes (0 if none).
  auto fill = [&](std::uint64_t room) -> std::uint64_t {
    if (room <= overhead) return 0;
    std::uint64_t n = (room - overhead) / 78 * kLineBytes;
    while (EncodedSize(n + 1) + overhead <= room) ++n;
    return n;
  };

  while (count < 9999) {  // four digits of names
    std::uint64_t room = total > written + closing.size() ? total - written - closing.size() : 0;
    std::uint64_t n = rng.Between(100000, 2000000);
    // Too little left for this one plus another full-sized one: this one takes the rest.
    if (EncodedSize(n) + overhead + min_part > room) n = fill(room);
    if (n == 0 && count > 0) break;
    if (n == 0) n = 1;  // a tiny request still gets one attachment to extract

    char name[32];
    std::snprintf(name, sizeof name, "file%04u.bin", ++count);
    Put(b, PartHeader(name));
    data.resize(static_cast<std::size_t>(n) + 8);
    for (std::size_t i = 0; i < n; i += 8) {
      std::uint64_t v = rng.Next();
      std::memcpy(&data[i], &v, 8);
    }
    for (std::size_t i = 0; i < n; i += kLineBytes) {
      std::size_t k = n - i < kLineBytes ? static_cast<std::size_t>(n - i) : kLineBytes;
      Base64(b, &data[i], k);
      Crlf(b);
    }
    Crlf(b);
    written += EncodedSize(n) + overhead;
    decoded_total += n;
    if (manifest) std::fprintf(manifest, "%s %llu\n", name, static_cast<unsigned long long>(n));
    out.MaybeFlush();
  }
  Put(b, closing);

  bool ok = out.Close();
  if (manifest && std::fclose(manifest) != 0) {
    std::fprintf(stderr, "gen_mail: write to %s failed\n", manifest_path);
    ok = false;
  }
  return ok;
}

bool Mbox(std::uint64_t total, std::uint64_t seed, const char* path, const char* manifest_path) {
  Out out(path, "output");
  if (!out.is_open()) return false;
  std::FILE* manifest = manifest_path ? std::fopen(manifest_path, "w") : nullptr;
  if (manifest_path && !manifest) {
    std::fprintf(stderr, "gen_mail: cannot open manifest %s: %s\n", manifest_path, std::strerror(errno));
    return false;
  }
  Rng rng{seed};
  Buf& b = out.buf;
  std::vector<unsigned char> data;
  std::uint64_t written = 0;
  for (unsigned message = 1; written < total; ++message) {
    const std::size_t start = b.size();
    char line[160];
    std::snprintf(line, sizeof line, "From sender%u@example.com Tue Mar  3 12:%02u:00 2020\n",
                  message % 97, message % 60);
    Put(b, line);
    Put(b, "From: sender@example.com\nTo: user@example.co.jp\nSubject: =?ISO-2022-JP?B?");
    const char subject[] = "\x1b$B%Y%s%A%^!<%/\x1b(B";
    Base64(b, reinterpret_cast<const unsigned char*>(subject), sizeof subject - 1);
    Put(b, "?= " + std::to_string(message) + "\n");
    std::snprintf(line, sizeof line, "Date: Tue, 3 Mar 2020 12:%02u:00 +0900\n", message % 60);
    Put(b, line);
    Put(b, "MIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=\"=b=\"\n\n--=b=\n"
           "Content-Type: text/plain; charset=us-ascii\n\nAttachments follow.\n\n");
    const unsigned parts = rng.Between(1, 3);
    for (unsigned k = 1; k <= parts; ++k) {
      char name[32];
      std::snprintf(name, sizeof name, "m%06u-%u.bin", message, k);
      const std::size_t n = rng.Between(10000, 60000);
      data.resize(n);
      const bool text = rng.Below(8) == 0;
      for (auto& c : data) c = static_cast<unsigned char>(text ? 'a' + rng.Below(26) : rng.Below(256));
      Put(b, std::string("--=b=\nContent-Type: application/octet-stream\nContent-Transfer-Encoding: ") +
                 (text ? "quoted-printable" : "base64") +
                 "\nContent-Disposition: attachment; filename=\"" + name + "\"\n\n");
      if (text) {  // letters only: 76 a line, each a soft break
        for (std::size_t i = 0; i < n; i += 75) {
          b.insert(b.end(), data.begin() + i, data.begin() + std::min(n, i + 75));
          Put(b, i + 75 < n ? "=\n" : "\n");
        }
      } else {
        for (std::size_t i = 0; i < n; i += 57) {
          Base64(b, data.data() + i, std::min<std::size_t>(57, n - i));
          b.push_back('\n');
        }
      }
      if (manifest) std::fprintf(manifest, "%s %zu\n", name, n);
    }
    Put(b, "--=b=--\n\n");
    written += b.size() - start;
    out.MaybeFlush();
  }
  if (manifest) std::fclose(manifest);
  return out.Close();
}

int Usage() {
  std::fprintf(stderr,
               "usage: gen_mail headers SIZE_MB SEED OUTFILE [EXPECTED]\n"
               "       gen_mail mail SIZE_MB SEED OUTFILE [MANIFEST]\n"
               "       gen_mail mbox SIZE_MB SEED OUTFILE [MANIFEST]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5 && argc != 6) return Usage();
  const bool headers = std::strcmp(argv[1], "headers") == 0;
  const bool mbox = std::strcmp(argv[1], "mbox") == 0;
  if (!headers && !mbox && std::strcmp(argv[1], "mail") != 0) return Usage();
  char* end = nullptr;
  double mb = std::strtod(argv[2], &end);
  if (end == argv[2] || *end != '\0' || !(mb > 0) || mb > 1e6) return Usage();
  errno = 0;
  unsigned long long seed = std::strtoull(argv[3], &end, 0);
  if (end == argv[3] || *end != '\0' || errno != 0) return Usage();

  const std::uint64_t total = static_cast<std::uint64_t>(std::llround(mb * 1e6));
  if (total < 9) return Usage();  // the shortest pad line
  const char* side = argc == 6 ? argv[5] : nullptr;
  bool ok = headers ? Headers(total, seed, argv[4], side)
            : mbox  ? Mbox(total, seed, argv[4], side)
                    : Mail(total, seed, argv[4], side);
  return ok ? 0 : 1;
}
