#include "app/command.h"

#include <cstring>

#include "text/b64text.h"
#include "mail/extract.h"
#include "codec/jis.h"
#include "text/ruled.h"
#include "ports/texts.h"

namespace velko {

char TargetPath[kPathSize];
const char* CompletionText = nullptr;

const CommandInfo kCommands[8] = {
    {BTN_NECTOJIS, kLabelNecToJis, kDoneNecToJis},  {BTN_JISTONEC, kLabelJisToNec, kDoneJisToNec},
    {BTN_SANSYOU, kLabelSansyou, nullptr},          {BTN_QUIT, kLabelQuit, nullptr},
    {BTN_SJTOJIS, kLabelSjisToJis, kDoneSjisToJis}, {BTN_JISTOSJ, kLabelJisToSjis, kDoneJisToSjis},
    {BTN_B64TEXT, kLabelB64Text, kDoneB64Text},     {BTN_B64BIN, kLabelB64Bin, kDoneB64Bin},
};

const CommandInfo* FindCommand(int id) {
  for (const CommandInfo& c : kCommands) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

namespace {

LineText SjisToJisStep(const char* line, std::size_t length, char* work) {
  bool direct, kana;
  std::size_t n = SjisToJisLine(work, line, length, &direct, &kana);
  return {work, n, direct, kana};
}
template <Kana kana>
LineText SjisToJisKanaStep(const char* line, std::size_t length, char* work) {
  bool direct;
  std::size_t n = SjisToJisKanaLine(work, line, length, &direct, kana);
  return {work, n, direct};
}
LineText JisToSjisStep(const char* line, std::size_t length, char* work) {
  bool direct;
  std::size_t n = JisToSjisLine(work, line, length, &direct);
  return {work, n, direct};
}

// Room for what each step makes of the longest line: JIS is up to three times the Shift_JIS
// text and 3 bytes; a ruled-line step on a JIS line keeps its Shift_JIS form as well.
constexpr LineStep kNecToJis = {NecToJisStep, 4 * kReadLimit + 4, NecToJisBlock, 1};
constexpr LineStep kJisToNec = {JisToNecStep, 4 * kReadLimit + 4, JisToNecBlock, 1};
constexpr LineStep kSjisToJis = {SjisToJisStep, 3 * kReadLimit + 3, SjisToJisBlock, 3,
                                 SjisToJisLines};
constexpr LineStep kJisToSjis = {JisToSjisStep, kReadLimit, JisToSjisBlock, 1};
// An escape sequence and a JIS pair may stand for one byte of half-width kana.
template <Kana kana>
std::size_t SjisToJisKanaBlockOf(char* out, const char* in, std::size_t length, BlockMarks* marks) {
  return SjisToJisKanaBlock(out, in, length, marks, kana);
}
constexpr LineStep kSjisToJisEscI = {SjisToJisKanaStep<Kana::kEscI>, 8 * kReadLimit + 3,
                                     SjisToJisKanaBlockOf<Kana::kEscI>, 8};
constexpr LineStep kSjisToJisFull = {SjisToJisKanaStep<Kana::kFull>, 8 * kReadLimit + 3,
                                     SjisToJisKanaBlockOf<Kana::kFull>, 8};
constexpr LineStep kB64Text = {B64TextStep, 2 * kReadLimit + 2, B64TextBlock, 2};

// The field's text into TargetPath. A text too long for it (only a faulty host gives one) or no
// text at all leaves an empty name, which the command reports as a missing file.
void FetchTargetPath(const Services& sv) {
  const char* text = sv.host.GetFieldText();
  std::size_t n = text ? std::strlen(text) : 0;
  if (n >= kPathSize) n = 0;
  std::memcpy(TargetPath, text ? text : "", n);
  TargetPath[n] = 0;
}

}  // namespace

void BrowseForFile(Owner owner, const Services& sv) {
  char name[kPathSize];
  std::memcpy(name, TargetPath, kPathSize);
  if (!sv.host.OpenFileDialog(owner, name)) return;
  name[kPathSize - 1] = 0;
  std::memcpy(TargetPath, name, kPathSize);
  sv.host.SetFieldText(TargetPath);
}

const LineStep* LineStepFor(int id) {
  switch (id) {
    case BTN_NECTOJIS: return &kNecToJis;
    case BTN_JISTONEC: return &kJisToNec;
    case BTN_SJTOJIS: return &kSjisToJis;
    case BTN_JISTOSJ: return &kJisToSjis;
    case BTN_B64TEXT: return &kB64Text;
    default: return nullptr;
  }
}

const LineStep& SjisToJisKanaStep(Kana kana) {
  return kana == Kana::kEscI ? kSjisToJisEscI : kana == Kana::kFull ? kSjisToJisFull : kSjisToJis;
}

int RunCommand(int id, Owner owner, const Services& sv) {
  id &= 0xFFFF;
  const CommandInfo* command = FindCommand(id);
  if (!command) return 0;
  if (id == BTN_QUIT) {
    sv.host.CloseMainWindow(owner);
    return 1;
  }
  if (command->completion) CompletionText = command->completion;
  FetchTargetPath(sv);
  if (const LineStep* step = LineStepFor(id)) {
    ConvertInPlace(TargetPath, *step, CompletionText, owner, sv);
  } else if (id == BTN_B64BIN) {
    ExtractAttachments(TargetPath, CompletionText, owner, sv);
  } else {
    BrowseForFile(owner, sv);
  }
  return 1;
}

}  // namespace velko
