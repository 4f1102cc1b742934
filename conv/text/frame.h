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
// when the folder takes none.
std::unique_ptr<File> OpenTemporary(FileOps& files, const char* beside, char* name);

// Builds into `out` (kPathSize bytes) the path with its extension replaced by `ext` ("." and
// `ext` appended; nothing when `ext` is empty). False, leaving `out` empty, when the directory
// or the stem exceeds 255 bytes or the result exceeds 511 bytes.
bool MakeBackupPath(char* out, const char* path, const char* ext, PathStyle style);

enum class LinesResult { kDone, kReadError, kWriteError };

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

// Converts `target` in place, keeping the old content under the BAK name. The new content is
// written under a temporary name and takes the target's name only when whole. Shows exactly
// one message box: `completion` when every line was converted, and then returns true; else
// the failure.
bool ConvertInPlace(const char* target, Conversion& conversion, const char* completion,
                    Owner owner, const Services& sv);
// The same through `step` under the services' text rules.
bool ConvertInPlace(const char* target, const LineStep& step, const char* completion, Owner owner,
                    const Services& sv);

}  // namespace velko

#endif
