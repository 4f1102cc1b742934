// The MIME reading of an arbitrary mail or mbox, listed: no fault under the sanitizers, and the
// same parts (numbers, names, types, encodings, sizes) whatever the reads give at a time.
// Input: [chunk] then the mail; an odd chunk maps the bytes onto a small alphabet of the
// text a mail is made of.
#include <cstdint>
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const char* const kWords[] = {
      "From x\n", "\n", "\r\n", "--b\n", "--b--\n", "--c\n", "Content-Type: multipart/mixed; boundary=b\n",
      "Content-Type: multipart/alternative; boundary=\"c\"\n", "Content-Type: application/pdf\n",
      "Content-Transfer-Encoding: base64\n", "Content-Transfer-Encoding: quoted-printable\n",
      "Content-Transfer-Encoding: x-uuencode\n", "Content-Disposition: attachment; filename=\"a\"\n",
      "Subject: =?utf-8?B?44GC?= =?iso-2022-jp?B?GyRCJCIbKEI=?=\n", "QUJD\n", "QUJ=\n",
      "a=41=\n", "=4\n", ">From y\n", "begin 644 f\n", "#86)C\n", "`\n", "end\n", " folded\n",
      "x: y\n", "text\n"};
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
  return 0;
}
