// Where velko-cli puts attachments: a safe base name in --dir, and --exists for a file that is
// there; and what it says of each part.
#ifndef VELKO_CLI_ATTACHMENTS_H
#define VELKO_CLI_ATTACHMENTS_H

#include <string>

#include "console_host.h"
#include "extract.h"
#include "fileops.h"

namespace velko {

enum class ExistsPolicy { kAsk, kOverwrite, kAppend, kSkip, kRename };

// The proposed attachment name (Shift_JIS, or when `decoded` already in the encoding of file
// names here) reduced to a base name that cannot leave its folder, in the encoding of file
// names: no folder parts, no drive, no "." or "..", no control bytes, at most 255 bytes.
// Empty when nothing usable is left.
std::string SafeBaseName(const char* proposed, FileOps& files, bool decoded);

class AttachmentFiles : public PartSink {
 public:
  AttachmentFiles(ConsoleHost& console, FileOps& files, std::string dir, ExistsPolicy policy,
                  bool decoded)
      : console_(console),
        files_(files),
        dir_(std::move(dir)),
        policy_(policy),
        decoded_(decoded) {}

  bool Choose(char* path) override;
  Answer Exists(char* path) override;
  void Skipped(const PartReport& part) override;
  void Listed(const PartReport& part) override;
  void Written(const char* path, bool appended, unsigned long long bytes) override;

 private:
  ConsoleHost& console_;
  FileOps& files_;
  std::string dir_;
  ExistsPolicy policy_;
  bool decoded_;     // the names proposed are decoded (--decode-names)
  std::string why_;  // why the last attachment was not taken
};

}  // namespace velko

#endif
