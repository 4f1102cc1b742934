// The MIME reading of an arbitrary mail or mbox against the window's reading of it: no fault
// under the sanitizers; the same parts (numbers, names, types, encodings, sizes) whatever the
// reads give at a time; never fewer parts than the window's, exactly one of them for each of
// the window's, and those the window's scan found where the structure has none with the bytes
// the window's reading writes. Input: [chunk] then the mail; an odd chunk maps the bytes onto
// a small alphabet of the text a mail is made of.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "mail/mime.h"
#include "support.h"

namespace {

using namespace velko;

struct Listing : PartSink {
  std::string parts;
  bool Choose(const Part&, char*) override { std::abort(); }
  Answer Exists(const Part&, char*) override { std::abort(); }
  void Skipped(const Part&, SkipReason) override { std::abort(); }
  void Written(const Part&, const char*, bool, const Body&) override { std::abort(); }
  void Failed(const Part&, const char*, const char*, const char*) override { std::abort(); }
  void Listed(const Part& p, const Body& body) override {
    parts += std::to_string(p.message) + "/" + p.number + " " + p.type + " " + p.encoding + " " +
             p.name + " " + p.date + p.subject + p.from + " " + std::to_string(body.bytes) +
             (body.cut ? " cut" : "") + "\n";
  }
};

std::string List(const std::string& mail, std::size_t chunk, unsigned long* messages) {
  test::ScriptedHost host;
  Services sv{host, NativeFileOps()};
  Listing sink;
  test::MemoryFile in(mail, chunk);
  ExtractArchive(in, "m.mbox", sv, ArchiveMode{true, false}, sink, messages);
  return sink.parts;
}

// Every part taken, each under a name of its own.
struct Saved {
  long line;
  bool window;
  unsigned slot;
  std::string bytes;
};
struct Recorder : PartSink {
  std::string dir;
  int n = 0;
  std::vector<Saved> saved;
  bool Choose(const Part&, char* path) override {
    const std::string p = dir + "/p" + std::to_string(n++);
    std::memcpy(path, p.c_str(), p.size() + 1);
    return true;
  }
  Answer Exists(const Part&, char*) override { std::abort(); }
  void Skipped(const Part&, SkipReason) override {}
  void Listed(const Part&, const Body&) override { std::abort(); }
  void Written(const Part& p, const char* path, bool, const Body&) override {
    saved.push_back({p.line, p.window, p.slot, test::ReadFile(path)});
    std::remove(path);
  }
  void Failed(const Part&, const char*, const char*, const char*) override { std::abort(); }
};

std::vector<Saved> Save(const std::string& mail, bool window) {
  test::TempDir dir;
  test::ScriptedHost host;
  Services sv{host, NativeFileOps(), TextRules::kBytes, false};
  Recorder sink;
  sink.dir = dir.dir;
  test::MemoryFile in(mail, 0);
  unsigned long messages;
  if (window) {
    ExtractAttachmentsFrom(in, "m", "", nullptr, sv, ExtractMode(), &sink);
  } else {
    ExtractArchive(in, "m", sv, ArchiveMode(), sink, &messages);
  }
  return sink.saved;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const char* const kWords[] = {
      "From x\n", "\n", "\r\n", "--b\n", "--b--\n", "--c\n", "Content-Type: multipart/mixed; boundary=b\n",
      "Content-Type: multipart/alternative; boundary=\"c\"\n", "Content-Type: application/pdf\n",
      "Content-Transfer-Encoding: base64\n", "Content-Transfer-Encoding: quoted-printable\n",
      "Content-Transfer-Encoding: x-uuencode\n", "Content-Disposition: attachment; filename=\"a\"\n",
      "Subject: =?utf-8?B?44GC?= =?iso-2022-jp?B?GyRCJCIbKEI=?=\n", "QUJD\n", "QUJ=\n",
      "a=41=\n", "=4\n", ">From y\n", "begin 644 f\n", "#86)C\n", "`\n", "end\n", " folded\n",
      "x: y\n", "text\n", "Content-Type: message/rfc822\n", "Content-Type: multipart/digest; boundary=b\n",
      "QQ\r", "filename=\"w\"\r\n"};
  if (size < 1) return 0;
  std::string mail;
  if (data[0] & 1) {
    for (std::size_t i = 1; i < size; ++i) mail += kWords[data[i] % (sizeof kWords / sizeof *kWords)];
  } else {
    mail.assign(reinterpret_cast<const char*>(data) + 1, size - 1);
  }
  unsigned long whole_messages = 0, cut_messages = 0;
  const std::string whole = List(mail, 0, &whole_messages);
  if (List(mail, data[0] / 2 % 7 + 1, &cut_messages) != whole || cut_messages != whole_messages) {
    std::abort();
  }
  const std::vector<Saved> window = Save(mail, true), mime = Save(mail, false);
  std::size_t flagged = 0;
  for (const Saved& part : mime) {
    flagged += part.window;
    if (part.slot != kSlotWindow) continue;
    bool found = false;
    for (const Saved& w : window) found = found || (w.line == part.line && w.bytes == part.bytes);
    if (!found) std::abort();
  }
  if (mime.size() < window.size() || flagged != window.size()) std::abort();
  return 0;
}
