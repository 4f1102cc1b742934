// The in-place conversion frame: backup, line loop, messages.
#ifndef VELKO_CONV_FRAME_H
#define VELKO_CONV_FRAME_H

#include <cstddef>
#include <memory>

#include "fileops.h"
#include "host.h"

namespace velko {

constexpr std::size_t MAXCHRS = 100000;
// fgets limit: at most 9999 bytes of text and a NUL per read.
constexpr std::size_t kReadLimit = 10000;

struct Services {
  Host& host;
  FileOps& files;
};

// What a line step gives to write: `length` bytes, NUL-terminated, cut at a NUL among them.
// `direct`: no NUL among them and no LF but maybe the last, so it is written where it was made.
struct LineText {
  const char* text;
  std::size_t length;
  bool direct;
};

// One command's line step and the room it needs. `run` gets the line just read, its NUL at
// line[length] (a NUL read from the file may stand before it), leaves it as it is, and makes
// the text to write in `work`. `work` is the output buffer's free room, so a direct result is
// written where it was made; any other is made again in a work area of its own.
struct LineStep {
  LineText (*run)(const char* line, std::size_t length, char* work);
  std::size_t work_size;
};

// One error box: the printf-style text with its arguments (paths).
void ShowError(const Services& sv, Owner owner, const char* format, ...);

bool FileExists(FileOps& files, const char* path);

// Builds into `out` (kPathSize bytes) the path with its extension replaced by `ext` ("." and
// `ext` appended; nothing when `ext` is empty). False, leaving `out` empty, when the directory
// or the stem exceeds 255 bytes or the result exceeds 511 bytes.
bool MakeBackupPath(char* out, const char* path, const char* ext, PathStyle style);

enum class LinesResult { kDone, kReadError, kWriteError };

// The buffers a run of `step` needs, taken before anything on disk changes; null without memory.
std::unique_ptr<char[]> LineBuffers(const LineStep& step);

// The frame's loop: `in` read by the text-mode rules, each line through `step`, written to `out`
// with every LF as CR LF. Closes both files; a failed close of `out` is a write error.
LinesResult ConvertLines(File& in, File& out, const LineStep& step, char* buffers);

// Converts `target` in place through `step`, keeping the old content under the BAK name.
// Shows exactly one message box: `completion` when every line was converted, and then
// returns true; else the failure.
bool ConvertInPlace(const char* target, const LineStep& step, const char* completion, Owner owner,
                    const Services& sv);

}  // namespace velko

#endif
