// The in-place conversion frame: backup, line loop, messages.
#ifndef VELKO_CONV_TEXT_FRAME_H
#define VELKO_CONV_TEXT_FRAME_H

#include <cstddef>
#include <memory>

#include "ports/fileops.h"
#include "ports/host.h"
#include "codec/jis.h"
#include "text/textio.h"

namespace velko {

constexpr std::size_t MAXCHRS = 100000;
// fgets limit: at most 9999 bytes of text and a NUL per read.
constexpr std::size_t kReadLimit = 10000;

// How text files are read and written.
enum class TextRules {
  kWindows,  // the Windows C library's text mode: CR LF read as LF, a 0x1A ends the text, LF
             // written as CR LF
  kBytes,    // a line runs to its LF; every byte is kept as it is and nothing is added
};

// What a front end gives the commands: its host, its file operations, and its platform's ways.
struct Services {
  Host& host;
  FileOps& files;
  TextRules rules = TextRules::kWindows;
  bool upper_case_names = true;  // an attachment's chosen name, as the Windows program has it
};

// What a line step gives to write: `length` bytes, NUL-terminated, cut at a NUL among them.
// `direct`: no NUL among them and no LF but maybe the last, so it is written where it was made.
// `marked`: the line holds what the step's caller wants to be told of.
struct LineText {
  const char* text;
  std::size_t length;
  bool direct;
  bool marked = false;
};

// One command's line step and the room it needs. `run` gets the line just read, its NUL at
// line[length] (a NUL read from the file may stand before it), leaves it as it is, and makes
// the text to write in `work`. `work` is the output buffer's free room, so a direct result is
// written where it was made; any other is made again in a work area of its own.
struct LineStep {
  LineText (*run)(const char* line, std::size_t length, char* work);
  std::size_t work_size;
  // Where the step has a form for whole lines at once (jis.h's blocks): it gets runs of lines
  // the text rules leave as they are, and room for block_ratio x length + 4 bytes.
  std::size_t (*block)(char* out, const char* in, std::size_t length, BlockMarks* marks) = nullptr;
  std::size_t block_ratio = 1;
  // The block form over lines as they were read, which finds the text rules' bytes itself
  // (jis.h's SjisToJisLines); the frame then looks for no line before it.
  std::size_t (*lines)(char* out, char* in, std::size_t length, bool windows, std::size_t limit,
                       BlockTaken* taken) = nullptr;
};

bool FileExists(FileOps& files, const char* path);

// Where the final component of `path` begins: after a drive and the last separator.
std::size_t FinalComponent(const char* path, PathStyle style);

// A new, empty file in the folder of `beside`, under a name no other file has (into `name`,
// kPathSize bytes), for a result that takes its real name only when whole; null, `name` empty,
// the system's code in `*error`, when the folder takes none.
std::unique_ptr<File> OpenTemporary(FileOps& files, const char* beside, char* name,
                                    int* error = nullptr);

// The file `path` leads to through symbolic links, into `out` (kPathSize bytes): `path` itself
// when it is no link. False when the chain is too long or its path does not fit.
bool FollowLinks(FileOps& files, const char* path, char* out);

// Builds into `out` (kPathSize bytes) the path with its extension replaced by `ext` ("." and
// `ext` appended; nothing when `ext` is empty). False, leaving `out` empty, when the directory
// or the stem exceeds 255 bytes or the result exceeds 511 bytes.
bool MakeBackupPath(char* out, const char* path, const char* ext, PathStyle style);

// kStopped: the conversion chose to stop (what it found is its caller's to tell).
enum class LinesResult { kDone, kReadError, kWriteError, kStopped };

// What the text rules left out of a conversion: places are byte offsets in the file
// read, kNowhere when there is none.
struct Losses {
  unsigned long long text_end = kNowhere;  // a 0x1A with text after it ended the text here
  unsigned long long ctrl_z = 0, first_ctrl_z = kNowhere;  // 0x1A bytes dropped inside lines
  unsigned long long nul_cuts = 0, first_nul = kNowhere;   // lines a NUL cut short
  unsigned long long marked = 0, first_marked_line = 0;     // lines the step marked
};

// The buffers a run of `step` needs, taken before anything on disk changes; null without memory.
std::unique_ptr<char[]> LineBuffers(const LineStep& step);

// The frame's loop: `in` read by `rules`, each line through `step`, written to `out` by the
// same rules. Closes both files; a failed close of `out` is a write error. What the rules left
// out goes to `losses` when one is given.
LinesResult ConvertLines(File& in, File& out, const LineStep& step, char* buffers, TextRules rules,
                         Losses* losses = nullptr);

// A command's way from a file's old content to its new one.
class Conversion {
 public:
  virtual ~Conversion() = default;
  // Takes what a run needs, before anything on disk changes; false without memory.
  virtual bool Prepare() = 0;
  // `in` to `out`, closing both; a failed close of `out` is a write error.
  virtual LinesResult Run(File& in, File& out) = 0;
};

// A line step under the given text rules, with what they left out.
class LineConversion : public Conversion {
 public:
  LineConversion(const LineStep& step, TextRules rules) : step_(step), rules_(rules) {}
  bool Prepare() override;
  LinesResult Run(File& in, File& out) override;
  const Losses& losses() const { return losses_; }

 private:
  const LineStep& step_;
  TextRules rules_;
  std::unique_ptr<char[]> buffers_;
  Losses losses_;
};

// What becomes of the old content of a file converted in place.
enum class BackupMode {
  kSimple,    // kept under the BAK name; an older backup there is removed (the window's rule)
  kNumbered,  // the same, an older backup first kept as BAK.~N~, N one above the highest there
  kNone,      // not kept: the new content takes the file's place in one step
};

struct InPlace {
  BackupMode backup = BackupMode::kSimple;
  bool keep_date = false;  // the result keeps the original's times of access and modification
};

// What a conversion in place did, for a caller that says more than the box.
struct InPlaceReport {
  bool unchanged = false;       // the result was the input byte for byte: nothing was touched
  char file[kPathSize] = "";    // the file converted: the target, or the one its link leads to
  char backup[kPathSize] = "";  // where its old content went; "" with kNone
  char kept[kPathSize] = "";    // where an older backup went (kNumbered); "" when none
  Fault fault;                  // the failure shown, if one was
};

// The name an older `backup` is kept under (into `out`, kPathSize bytes): BAK.~N~, N one above
// the highest in its folder. False when it does not fit.
bool NumberedBackupName(FileOps& files, const char* backup, char* out);

// Converts `target` in place. The new content is written under a temporary name beside the
// file (through a symbolic link: beside the file it leads to), with its owner, group and
// permissions; when it is whole and differs from the old, the old content goes to the BAK name
// as `how` says and the new takes the file's name. A result that is the input changes nothing.
// Nothing is removed or renamed before the new content is whole, and a file with other hard
// links, or whose owner cannot be kept, is refused before anything. Shows exactly one message
// box: `completion` when the conversion is done or changed nothing, and then returns true;
// else the failure. The file is read once, through the hold that keeps other runs off it; a
// conversion that stops (kStopped) leaves everything as it was, with no box.
bool ConvertInPlace(const char* target, Conversion& conversion, const char* completion,
                    Owner owner, const Services& sv, const InPlace& how = InPlace(),
                    InPlaceReport* report = nullptr);
// The same through `step` under the services' text rules.
bool ConvertInPlace(const char* target, const LineStep& step, const char* completion, Owner owner,
                    const Services& sv);

}  // namespace velko

#endif
