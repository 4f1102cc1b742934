// The eight commands of the main window and their dispatch.
#ifndef VELKO_CONV_APP_COMMAND_H
#define VELKO_CONV_APP_COMMAND_H

#include <cstddef>

#include "text/frame.h"
#include "ports/host.h"
#include "codec/jis.h"

namespace velko {

constexpr int BTN_NECTOJIS = 1001;
constexpr int BTN_JISTONEC = 1002;
constexpr int BTN_SANSYOU = 1003;
constexpr int BTN_QUIT = 1004;
constexpr int BTN_SJTOJIS = 1005;
constexpr int BTN_JISTOSJ = 1006;
constexpr int BTN_B64TEXT = 1007;
constexpr int BTN_B64BIN = 1008;

struct CommandInfo {
  int id;
  const char* label;       // button label
  const char* completion;  // success text; null for the two that are no conversion
};
extern const CommandInfo kCommands[8];
const CommandInfo* FindCommand(int id);

// The file a command works on, copied from the file-name field before every command.
extern char TargetPath[kPathSize];
// The success text of the command now running; null until the first one starts.
extern const char* CompletionText;

// The line step of the five commands that convert a file line by line; null for the others.
const LineStep* LineStepFor(int id);
// The Shift_JIS to JIS step with half-width kana as `kana` says: the window's for k8bit.
const LineStep& SjisToJisKanaStep(Kana kana);

// 1 when `id` is one of the eight commands (whatever their outcome), else 0 and nothing done.
// Only the low 16 bits of `id` count.
int RunCommand(int id, Owner owner, const Services& sv);

// The file-open dialog proposing TargetPath; a chosen file goes to TargetPath and the field.
void BrowseForFile(Owner owner, const Services& sv);

}  // namespace velko

#endif
