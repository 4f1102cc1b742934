// Where velko-cli puts attachments: a safe base name in --dir, and --exists for a file that is
// there; and what it says of each part.
#ifndef VELKO_CLI_ATTACHMENTS_H
#define VELKO_CLI_ATTACHMENTS_H

#include <map>
#include <string>
#include <vector>

#include "console.h"
#include "console_host.h"
#include "mail/extract.h"
#include "ports/fileops.h"
#include "manifest.h"
#include "sha256.h"

namespace velko {

// In --exists' order; kDefault: rename in a whole archive (an mbox, a folder), else ask.
enum class ExistsPolicy { kAsk, kOverwrite, kAppend, kSkip, kRename, kDefault };

// The proposed attachment name (Shift_JIS, or when `decoded` already in the encoding of file
// names here) reduced to a base name that cannot leave its folder nor name another file, in
// the encoding of file names: no folder parts, no drive, no "." or "..", no control character,
// no device of Windows (CON becomes _CON), at most `room` bytes. Empty, with `*why`, when
// nothing usable is left.
std::string SafeBaseName(const char* proposed, FileOps& files, bool decoded, std::size_t room,
                         std::string* why);

// What became of the parts of a run's mails.
struct PartCounts {
  unsigned long saved = 0, failed = 0, listed = 0;
  unsigned long chosen = 0;  // skipped by the user's choice: --exists skip, an answer, --encodings
  unsigned long left = 0;    // skipped for want of a usable name or of a terminal to ask
};

class AttachmentFiles : public PartSink {
 public:
  AttachmentFiles(ConsoleHost& console, FileOps& files, std::string dir, ExistsPolicy policy,
                  bool decoded)
      : console_(console),
        files_(files),
        dir_(std::move(dir)),
        policy_(policy),
        decoded_(decoded) {}

  bool Choose(const Part& part, char* path) override;
  Answer Exists(const Part& part, char* path) override;
  bool Taken(const Part& part, char* path) override;
  void Noted(const Part& where, MailNote note) override;
  void Skipped(const Part& part, SkipReason reason) override;
  void Listed(const Part& part, const Body& body) override;
  void Written(const Part& part, const char* path, bool appended, const Body& body) override;
  void Failed(const Part& part, const char* format, const char* path, const char* other) override;
  // The hash is the manifest's alone: a third of a run's time where there is none.
  void Bytes(unsigned slot, const unsigned char* bytes, std::size_t n) override {
    if (manifest_) sha_[slot].Update(bytes, n);
  }

  // The mail file whose parts come next, for the manifest's rows (`manifest` may be null);
  // `archive`: it stands in a folder of mails, or is one.
  void Mail(const std::string& mail, Manifest* manifest, bool archive) {
    mail_ = mail, manifest_ = manifest, archive_ = archive;
  }
  // Names no part may take: the mails of the run, the manifest's.
  void Reserve(std::vector<FileId> mails, const std::string& manifest) {
    mails_ = std::move(mails), manifest_path_ = manifest;
  }
  PartCounts& counts() { return counts_; }

 private:
  // "line N: ", naming the part by where its header began.
  static std::string At(const Part& part) { return Say("line %s: ", {std::to_string(part.line)}); }
  // The policy for this part: the default's is rename in an archive.
  ExistsPolicy PolicyFor(const Part& part) const;
  // The first numbered name after `path` (REPORT(1).PDF) that is free, into `path`.
  bool Renumber(char* path);
  bool Reserved(const char* path);
  // The question on the terminal: the policy answered (a capital letter keeps it for all the
  // rest), kAsk at the end of input.
  ExistsPolicy Ask(const char* path);
  ConsoleHost& console_;
  FileOps& files_;
  std::string dir_;
  ExistsPolicy policy_;
  bool decoded_;     // the names proposed are decoded (--decode-names)
  // A row of the manifest for `part`.
  void Row(const Part& part, const std::string& path, unsigned long long size,
           const std::string& sha256, const char* status, const std::string& why);
  std::string why_;  // why the last attachment was not taken
  bool chosen_ = false;  // and whether the user chose so
  std::map<std::string, unsigned long> next_number_;  // --exists rename: the next free (N)
  std::map<unsigned, Sha256> sha_;                    // of each part being written
  bool archive_ = false;
  std::vector<FileId> mails_;
  std::string manifest_path_;
  PartCounts counts_;
  std::string mail_;
  Manifest* manifest_ = nullptr;
};

}  // namespace velko

#endif
