#include "attachments.h"

#include <cstring>

#include "codec/bytes.h"
#include "console.h"
#include "codec/jis.h"

namespace velko {
namespace {

// A line typed at the terminal, without its line end; false at the end of input.
bool ReadAnswer(std::string* answer) {
  char line[256];
  if (std::fgets(line, sizeof line, stdin) == nullptr) return false;
  *answer = line;
  while (!answer->empty() && (answer->back() == '\n' || answer->back() == '\r')) answer->pop_back();
  return true;
}

// A Shift_JIS name from the mail in the encoding of file names here.
std::string FileName(const char* sjis, FileOps& files) {
  char name[3 * kPathSize] = "";
  files.AppendName(name, sizeof name, sjis, std::strlen(sjis), false);
  return name;
}

const char* FormText(NameForm form) {
  switch (form) {
    case NameForm::kRfc2231: return Tr("filename*= (RFC 2231)");
    case NameForm::kEncoded: return Tr("an RFC 2047 encoded word");
    case NameForm::kUnquoted: return Tr("filename= without quotes");
    case NameForm::kContentType: return Tr("the Content-Type's name=");
    default: return "filename=\"...\"";
  }
}

// A name Windows takes for a device whatever its extension: "con.txt" is the console.
bool WindowsDevice(const std::string& name) {
  std::string stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (char& c : stem) c = UpperAscii(c);
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" ||
      stem == "CONOUT$") {
    return true;
  }
  return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
         stem[3] >= '1' && stem[3] <= '9';
}

}  // namespace

std::string SafeBaseName(const char* proposed, FileOps& files, bool decoded, std::size_t room,
                         std::string* why) {
  // '/' always splits: no Shift_JIS trail byte is 0x2F, so a lead byte before one must not
  // smuggle a folder in. '\' can be a trail byte (表 is 95 5C): Shift_JIS names are walked a
  // character at a time for it; a decoded name here is UTF-8, which no lead byte table splits.
  const bool win32 = IsWindows(files.Style());
  const bool sjis = !decoded || NamesInSjis(files.Style());
  std::size_t start = 0;
  for (std::size_t i = 0; proposed[i] != 0; ++i) {
    unsigned char c = static_cast<unsigned char>(proposed[i]);
    if (c == '/') {
      start = i + 1;
    } else if (sjis && IsSjisLeadByte(c) && proposed[i + 1] != 0 && proposed[i + 1] != '/') {
      ++i;
    } else if (c == '\\') {
      start = i + 1;
    }
  }
  std::string base = proposed + start;
  if (base.size() >= 2 && base[1] == ':' &&
      ((base[0] >= 'A' && base[0] <= 'Z') || (base[0] >= 'a' && base[0] <= 'z'))) {
    base.erase(0, 2);
  }
  if (!decoded) base = FileName(base.c_str(), files);
  *why = Say("no usable file name in \"%s\"",
             {decoded ? std::string(proposed) : FileName(proposed, files)});
  // Windows drops trailing dots and blanks: "..." and " " would name the folder itself.
  while (win32 && !base.empty() && (base.back() == '.' || base.back() == ' ')) base.pop_back();
  if (base.empty() || base == "." || base == "..") return "";
  const bool names_sjis = NamesInSjis(files.Style());
  for (const char* p = base.c_str(); *p != 0; p += CharacterLength(p, names_sjis)) {
    if (ControlLength(p, !names_sjis) > 0) return "";
  }
  if (win32 && WindowsDevice(base)) base = "_" + base;
  std::size_t ext;
  std::size_t keep = CutKeepingExtension(base.data(), base.size(), room, names_sjis, &ext);
  return base.substr(0, keep) + base.substr(ext);
}

bool AttachmentFiles::Choose(const Part& part, char* path) {
  sha_[part.slot].Restart();
  chosen_ = false;
  const std::string folder = dir_.empty() ? "." : dir_;
  const std::size_t used = folder.size() + 1;
  std::size_t room = files_.NameRoom(folder.c_str());
  if (used + room >= kPathSize) room = used < kPathSize - 1 ? kPathSize - 1 - used : 0;
  std::string base;
  if (part.name_kept && decoded_) {
    console_.Warn(console_.File(), At(part) + Say("an encoded word of its name does not decode, "
                                                  "and stands as it is: %s", {part.name}));
  }
  if (part.name_has_nul && decoded_) {
    why_ = Say("its name holds a NUL byte: \"%s\\x00...\"", {part.name});
  } else {
    base = SafeBaseName(path, files_, decoded_, room, &why_);
  }
  // A name that cannot be used gives way to the one made from the numbers, and says so.
  if (base.empty() && part.made_name[0] != 0 && std::strcmp(part.made_name, part.name) != 0) {
    std::string unused;
    base = SafeBaseName(part.made_name, files_, true, room, &unused);
    if (!base.empty()) {
      console_.Warn(console_.File(), At(part) + Say("%s; saved as %s", {why_, base}));
    }
  }
  if (base.empty()) return false;
  std::string chosen = dir_.empty() || dir_.back() == '/' ? dir_ + base : dir_ + "/" + base;
  std::memcpy(path, chosen.c_str(), chosen.size() + 1);
  // A mail this run reads, or the manifest, under that name: the next numbered one.
  if (Reserved(path)) {
    if (!Renumber(path)) {
      why_ = Say("%s names a mail of this run or the manifest, and no numbered name is free",
                 {chosen});
      return false;
    }
    console_.Warn(console_.File(), At(part) + Say("%s names a mail of this run or the manifest; "
                                                  "saved as %s", {chosen, path}));
  }
  return true;
}

bool AttachmentFiles::Reserved(const char* path) {
  const FileId id = files_.Id(path);
  for (const FileId& mail : mails_) {
    if (mail == id) return true;
  }
  if (manifest_path_.empty()) return false;
  // The manifest takes its name only at the end: the same name in the same folder.
  const char* manifest = manifest_path_.c_str();
  const std::size_t a = FinalComponent(path, files_.Style());
  const std::size_t b = FinalComponent(manifest, files_.Style());
  const std::size_t n = std::strlen(path + a);
  const bool same = IsWindows(files_.Style()) ? EqualNoCase(path + a, n, manifest + b)
                                              : std::strcmp(path + a, manifest + b) == 0;
  return same && files_.Id(a == 0 ? "." : std::string(path, a).c_str()) ==
                     files_.Id(b == 0 ? "." : std::string(manifest, b).c_str());
}

bool AttachmentFiles::Renumber(char* path) {
  // REPORT(1).PDF, REPORT(2).PDF, ...: the first name that is free, its stem cut so that it
  // fits; the next part of the same name goes on from there.
  const std::string p = path;
  const std::size_t name = FinalComponent(path, files_.Style());
  std::size_t dot = p.rfind('.');
  if (dot == std::string::npos || dot <= name) dot = p.size();
  const std::string folder = name == 0 ? "." : p.substr(0, name);
  const std::size_t room = files_.NameRoom(folder.c_str());
  const bool sjis = NamesInSjis(files_.Style());
  const std::size_t ext = p.size() - dot;
  unsigned long& n = next_number_[p];
  for (n = n == 0 ? 1 : n; n < 100000; ++n) {
    const std::string number = "(" + std::to_string(n) + ")";
    if (number.size() + ext >= room) break;
    const std::size_t fit =
        FitCharacters(p.data() + name, dot - name, room - number.size() - ext, sjis);
    const std::string numbered = p.substr(0, name + fit) + number + p.substr(dot);
    if (fit == 0 || numbered.size() >= kPathSize) break;
    if (!files_.Exists(numbered.c_str()) && !Reserved(numbered.c_str())) {
      std::memcpy(path, numbered.c_str(), numbered.size() + 1);
      ++n;
      return true;
    }
  }
  return false;
}

ExistsPolicy AttachmentFiles::PolicyFor(const Part& part) const {
  if (policy_ != ExistsPolicy::kDefault) return policy_;
  return part.archive || archive_ ? ExistsPolicy::kRename : ExistsPolicy::kAsk;
}

bool AttachmentFiles::Taken(const Part& part, char* path) {
  return PolicyFor(part) == ExistsPolicy::kRename && Renumber(path);
}

void AttachmentFiles::Noted(const Part& where, MailNote note) {
  if (note == MailNote::kTooDeep) {
    console_.Error(At(where) + Tr("multiparts and forwarded mails nested over 100 deep: this "
                                  "one is read as one part"));
  }
}

ExistsPolicy AttachmentFiles::Ask(const char* path) {
  static const char* const kWords[] = {"overwrite", "append", "skip", "rename"};
  for (;;) {
    console_.Prompt(Say("%s exists: [o]verwrite, [a]ppend, [s]kip, [r]ename (O, A, S, R: the "
                        "same for all the rest)? ", {path}));
    std::string answer;
    if (!ReadAnswer(&answer)) return ExistsPolicy::kAsk;  // the end of input
    std::string lowered = answer;
    for (char& c : lowered) c = LowerAscii(c);
    for (std::size_t i = 0; i < 4; ++i) {
      const bool letter = answer.size() == 1 && lowered[0] == kWords[i][0];
      if (!letter && lowered != kWords[i]) continue;
      const auto chosen = static_cast<ExistsPolicy>(i + 1);  // in --exists' order
      if (letter && answer[0] != kWords[i][0]) policy_ = chosen;  // a capital: all the rest
      if (chosen == ExistsPolicy::kSkip) why_ = Say("%s exists, and you said skip", {path});
      return chosen;
    }
  }
}

Answer AttachmentFiles::Exists(const Part& part, char* path) {
  ExistsPolicy policy = PolicyFor(part);
  why_.clear();
  if (policy == ExistsPolicy::kAsk) {
    if (!IsTerminal(0)) {
      why_ = Say("%s exists, and no terminal to ask (see --exists)", {path});
      return Answer::kCancel;
    }
    policy = Ask(path);
    if (policy == ExistsPolicy::kAsk) {  // no answer: skipped
      why_ = Say("%s exists, and you said skip", {path});
      return Answer::kCancel;
    }
  }
  // A name that is only the short (8.3) alias of a file of another name is that file: it is
  // never written over nor added to, and the part takes a numbered name instead.
  char stored[kPathSize];
  if ((policy == ExistsPolicy::kOverwrite || policy == ExistsPolicy::kAppend) &&
      files_.AliasOf(path, stored, sizeof stored)) {
    console_.Warn(console_.File(),
                  Say("%s is the short name of %s, which is not written over", {path, stored}));
    policy = ExistsPolicy::kRename;
  }
  switch (policy) {
    case ExistsPolicy::kOverwrite: return Answer::kYes;
    case ExistsPolicy::kAppend: return Answer::kNo;
    case ExistsPolicy::kSkip:
      if (why_.empty()) why_ = Say("%s exists (--exists skip)", {path});
      chosen_ = true;
      return Answer::kCancel;
    default:
      if (Renumber(path)) return Answer::kYes;
      why_ = Say("%s exists, and no numbered name is free", {path});
      return Answer::kCancel;
  }
}

void AttachmentFiles::Row(const Part& part, const std::string& path, unsigned long long size,
                          const std::string& sha256, const char* status, const std::string& why) {
  if (!manifest_) return;
  manifest_->Row({mail_, part.message ? std::to_string(part.message) : "", part.date,
                  part.subject, part.from, part.number, part.type, part.encoding, part.name, path,
                  std::to_string(size), sha256, status, why});
}

void AttachmentFiles::Written(const Part& part, const char* path, bool appended, const Body& body) {
  ++counts_.saved;
  Row(part, path, body.bytes, sha_[part.slot].Hex(), appended ? "appended" : "saved",
      body.cut ? Tr("the mail ends inside it") : "");
  const std::string bytes = ByteCount(body.bytes);
  if (body.cut) {
    console_.Error(At(part) + Say("%s: the mail ends inside this attachment: saved as far as "
                                  "it decodes (%s)",
                                  {path, bytes}));
  } else if (body.lone_characters > 0 && decoded_) {
    console_.Error(At(part) + Say("%s: its Base64 text ends in a character that completes no "
                                  "group, which is dropped: saved (%s)",
                                  {path, bytes}));
  } else if (body.lone_characters > 0) {
    console_.Error(At(part) + SayN("%s: %s line ends in a character that completes no group, "
                                   "which is dropped: saved (%s)",
                                   "%s: %s lines end in a character that completes no group, "
                                   "which is dropped: saved (%s)",
                                   body.lone_characters,
                                   {path, std::to_string(body.lone_characters), bytes}));
  } else if (body.skipped > 0) {
    console_.Error(At(part) + Say("%s: %s that are not Base64 text passed over: saved (%s)",
                                  {path, ByteCount(body.skipped), bytes}));
  } else if (body.as_it_stands) {
    console_.Error(At(part) + Say("%s: no \"begin\" line, so not uudecoded: saved as it stands "
                                  "(%s)",
                                  {path, bytes}));
  } else {
    console_.Notice(path, Say(appended ? N("appended (%s)") : N("saved (%s)"), {bytes}));
  }
}

void AttachmentFiles::Failed(const Part& part, const char* format, const char* path,
                             const char* other) {
  ++counts_.failed;
  const std::string why = WindowText(format, path, other) + console_.Reason();
  Row(part, path, 0, "", "failed", why);
  console_.Error(At(part) + why);
}

void AttachmentFiles::Skipped(const Part& part, SkipReason reason) {
  std::string why = why_;
  const bool chosen = reason == SkipReason::kEncoding || (reason == SkipReason::kKept && chosen_);
  ++(chosen ? counts_.chosen : counts_.left);
  if (reason == SkipReason::kEncoding) {
    why = Say("its transfer encoding is %s (--encodings=base64)", {part.encoding});
  }
  if (reason == SkipReason::kNoName) {
    why = part.form == NameForm::kNone || decoded_
              ? Tr("no file name")
              : Say("its name is in %s, which --names=decoded reads: %s",
                    {FormText(part.form), part.name});
  }
  Row(part, "", 0, "", "skipped", why);
  console_.Warn(console_.File(), At(part) + Say("attachment not extracted: %s", {why}));
}

void AttachmentFiles::Listed(const Part& part, const Body& body) {
  ++counts_.listed;
  Row(part, "", body.bytes, "", "listed", "");
  std::string name = part.form == NameForm::kNone ? Tr("(no name)") : part.name;
  if (part.name_has_nul) name += "\\x00...";
  console_.Print(
      console_.File() + ": " + At(part) +
      Say(part.window ? N("%s (%s), also with --names=raw") : N("%s (%s), not with --names=raw"),
          {name, ByteCount(body.bytes)}));
}

}  // namespace velko
