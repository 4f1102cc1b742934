// A command's failure as a value: which step failed, the names it worked on, and the system's
// reason taken where it failed. The windows show each as their fixed text (texts.h); velko-cli
// says it in the user's language with the reason.
#ifndef VELKO_CONV_PORTS_FAILURE_H
#define VELKO_CONV_PORTS_FAILURE_H

#include <cstddef>
#include <cstring>

namespace velko {

// Size of every path buffer, the NUL included: 512 as the Windows program has always had it
// (its ANSI calls take less), the platform's PATH_MAX where the build says so.
#ifndef VELKO_PATH_SIZE
#define VELKO_PATH_SIZE 512
#endif
constexpr std::size_t kPathSize = VELKO_PATH_SIZE;

enum class Failure {
  kNone,
  kNoInput,      // no entry of that name
  kRemove,       // the old backup could not be removed
  kRename,       // `path` could not be renamed to `other`
  kInputOpen,
  kInputRead,
  kOutputOpen,
  kOutputWrite,
  kBackupName,   // the file is its own backup, or its backup name does not fit
  kBusy,         // another run holds the file
  kPermissions,  // the new file could not be given the old one's permissions or date
  kOwner,        // nor its owner and group
  kHardLinks,    // the file has other names, which a new file under one of them would leave
  kMemory,
};

// Where a file converted in place stands after its failure.
enum class Left {
  kUnsaid,            // not a conversion in place, or nothing to add
  kNothingChanged,    // the file as it was, its backup too
  kOriginalAsBackup,  // the original under the backup name (`kept`)
};

struct Fault {
  Failure what = Failure::kNone;
  int error = 0;  // the system's code (errno; GetLastError on Windows); 0: none to tell
  Left left = Left::kUnsaid;
  char path[kPathSize] = "";
  char other[kPathSize] = "";
  char kept[kPathSize] = "";  // with kOriginalAsBackup

  Fault() = default;
  Fault(Failure failure, const char* at, int code = 0, const char* to = "")
      : what(failure), error(code) {
    Copy(path, at);
    Copy(other, to);
  }
  explicit operator bool() const { return what != Failure::kNone; }
  static void Copy(char* field, const char* text) {
    std::size_t n = std::strlen(text);
    if (n >= kPathSize) n = kPathSize - 1;
    std::memcpy(field, text, n);
    field[n] = 0;
  }
};

}  // namespace velko

#endif
