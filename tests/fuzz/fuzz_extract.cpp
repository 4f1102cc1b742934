// The extraction of an arbitrary mail read in short pieces, against a model of the window's
// command that takes the same pieces of 9,999 bytes and decodes each body line whole with the
// reference decoder: the same files with the same bytes, the same boxes, the mail unchanged, even
// when its own name is chosen for an attachment.
#include <cstdint>
#include <map>

#include "codec/bytes.h"
#include "app/command.h"
#include "mail/extract.h"
#include "support.h"

namespace {

using namespace velko;
using Files = std::map<std::string, std::string>;

// The dialog's answers, in turn: a fresh name, one of three that repeat, the mail, or cancel.
std::string Choice(int i) {
  return i % 5 == 4   ? ""
         : i % 7 == 6 ? "MAIL"
         : i % 2      ? "o" + std::to_string(i % 3)
                      : "n" + std::to_string(i);
}

// What the window's command leaves: the files and its boxes (the last one an error or not).
struct Model {
  Files files;
  int questions = 0;
  bool error = false;

  void Run(const std::string& mail) {
    const std::vector<std::string> pieces = reference::Reads(mail, false);
    char pending[kPathSize] = "", scan[MAXCHRS];
    bool announced = false;
    int dialogs = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      std::string line = pieces[i];
      if (line[0] != '\n' && line[0] != '\r') {
        announced |= ScanHeaderLine(pending, line.c_str(), scan);
        continue;
      }
      if (!announced || pending[0] == 0) continue;
      announced = false;
      std::string name = Choice(dialogs++);
      for (char& c : name) c = UpperAscii(c);
      const bool exists = files.count(name) || name == "MAIL";
      const Answer answer = exists ? Answer(questions++ % 3) : Answer::kYes;
      if (name.empty() || answer == Answer::kCancel) {
        pending[0] = 0;
        continue;
      }
      if (name == "MAIL") return void(error = true);
      std::string& file = files[name];
      if (answer == Answer::kYes) file.clear();
      std::string text;  // the Base64 text of the body line now read, from its pieces
      auto flush = [&] {
        std::vector<unsigned char> bytes(text.size() + 4);
        file.append(reinterpret_cast<char*>(bytes.data()),
                    reference::DecodeBase64(bytes.data(), text.c_str()));
        text.clear();
      };
      for (bool continued = false; ++i < pieces.size();) {
        line = pieces[i];
        if (!continued && (line[0] == 0 || line[1] == 0)) break;
        const bool whole = line.back() == '\n';
        if (whole) line.pop_back();
        if (!line.empty() && line.back() == '\r') line.pop_back();
        line.resize(std::strlen(line.c_str()));  // a NUL ends the text
        if (reference::Base64Span(line.c_str()) < line.size()) break;
        if (line.empty() && !continued) break;
        text += line;
        if (!(continued = !whole)) flush();
      }
      flush();
      pending[0] = 0;
      if (i < pieces.size()) announced |= ScanHeaderLine(pending, line.c_str(), scan);
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  test::TempDir dir;
  const std::string mail(reinterpret_cast<const char*>(data), size);
  test::WriteFile(dir.Path("MAIL"), mail);
  test::FaultyFileOps files;
  files.short_reads = static_cast<std::uint32_t>(size) | 1;
  test::ScriptedHost host;
  host.field = dir.Path("MAIL");
  for (int i = 0; i < 64; ++i) {
    host.choices.push_back(Choice(i).empty() ? "" : dir.Path(Choice(i)));
    host.answers.push_back(Answer(i % 3));
  }
  Services sv{host, files};
  RunCommand(BTN_B64BIN, nullptr, sv);
  const bool scripted = !host.choices.empty();  // past 64 dialogs the host has no more script
  Model model;
  if (scripted) model.Run(mail);
  Files written;
  for (const auto& e : std::filesystem::directory_iterator(dir.dir)) {
    written[e.path().filename()] = test::ReadFile(e.path());
  }
  if (written["MAIL"] != mail || host.boxes.empty()) std::abort();
  written.erase("MAIL");
  int questions = 0;
  for (const test::Box& box : host.boxes) {
    if ((box.kind == test::BoxKind::kQuestion) == (&box == &host.boxes.back())) std::abort();
    questions += box.kind == test::BoxKind::kQuestion;
  }
  const bool error = host.boxes.back().kind == test::BoxKind::kError;
  if (scripted &&
      (written != model.files || questions != model.questions || error != model.error)) {
    std::abort();
  }
  return 0;
}
