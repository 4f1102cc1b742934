// Where velko-cli puts attachments: a safe base name in --dir, and --exists for a file that is
// there; and what it says of each part.
#ifndef VELKO_CLI_ATTACHMENTS_H
#define VELKO_CLI_ATTACHMENTS_H

#include <map>
#include <string>

#include "console.h"
#include "console_host.h"
#include "extract.h"
#include "fileops.h"

namespace velko {

enum class ExistsPolicy { kAsk, kOverwrite, kAppend, kSkip, kRename };

// The proposed attachment name (Shift_JIS, or when `decoded` already in the encoding of file
// names here) reduced to a base name that cannot leave its folder nor name another file, in
// the encoding of file names: no folder parts, no drive, no "." or "..", no control character,
// no device of Windows (CON becomes _CON), at most `room` bytes. Empty, with `*why`, when
// nothing usable is left.
std::string SafeBaseName(const char* proposed, FileOps& files, bool decoded, std::size_t room,
                         std::string* why);

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
  void Skipped(const Part& part, SkipReason reason) override;
  void Listed(const Part& part, const Body& body) override;
  void Written(const Part& part, const char* path, bool appended, const Body& body) override;
  void Failed(const Part& part, const char* format, const char* path, const char* other) override;

 private:
  // "line N: ", naming the part by where its header began.
  static std::string At(const Part& part) { return Say("line %s: ", {std::to_string(part.line)}); }
  ConsoleHost& console_;
  FileOps& files_;
  std::string dir_;
  ExistsPolicy policy_;
  bool decoded_;     // the names proposed are decoded (--decode-names)
  std::string why_;  // why the last attachment was not taken
  std::map<std::string, unsigned long> next_number_;  // --exists rename: the next free (N)
};

}  // namespace velko

#endif
