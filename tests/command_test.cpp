// Dispatch: which identifiers act, what reaches the command, the open dialog and QUIT.
#include <gtest/gtest.h>

#include <string>

#include "command.h"
#include "fileops_native.h"
#include "support.h"
#include "texts.h"

namespace velko {
namespace {

using test::ScriptedHost;

TEST(RunCommand, OnlyTheEightIdentifiersAct) {
  for (int id : {0, 1, 1000, 1009, 2001, -1, 0x10000}) {
    ScriptedHost host;
    Services sv{host, NativeFileOps()};
    CompletionText = nullptr;
    EXPECT_EQ(RunCommand(id, nullptr, sv), 0) << id;
    EXPECT_TRUE(host.boxes.empty()) << id;
    EXPECT_EQ(host.closes, 0) << id;
    EXPECT_EQ(CompletionText, nullptr) << id;
  }
}

TEST(RunCommand, ConversionsSetTheirTextAndReportTheFieldUnchanged) {
  struct {
    int id;
    const char* completion;
  } const conversions[] = {
      {BTN_NECTOJIS, kDoneNecToJis},
      {BTN_JISTONEC, kDoneJisToNec},
      {BTN_SJTOJIS, kDoneSjisToJis},
      {BTN_JISTOSJ, kDoneJisToSjis},
      // A notification code in the high 16 bits does not matter.
      {0x03000000 | BTN_SJTOJIS, kDoneSjisToJis},
  };
  for (const auto& c : conversions) {
    for (const std::string field : {"", " no such file.txt ", "a.txt\r\n"}) {
      SCOPED_TRACE(std::to_string(c.id) + " [" + field + "]");
      ScriptedHost host;
      host.field = field;
      Services sv{host, NativeFileOps()};
      EXPECT_EQ(RunCommand(c.id, nullptr, sv), 1);
      EXPECT_STREQ(CompletionText, c.completion);
      EXPECT_EQ(std::string(TargetPath), field);
      ASSERT_EQ(host.boxes.size(), 1u);
      EXPECT_EQ(host.boxes[0].caption, kCaptionError);
      EXPECT_EQ(host.boxes[0].text, "C'ant find input file. [" + field + "]\n");
    }
  }
}

TEST(RunCommand, AFieldWithoutTextCountsAsEmpty) {
  ScriptedHost host;
  host.field = "x";
  host.fail_get_text = true;
  Services sv{host, NativeFileOps()};
  EXPECT_EQ(RunCommand(BTN_SJTOJIS, nullptr, sv), 1);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].text, "C'ant find input file. []\n");
}

TEST(RunCommand, BrowseProposesTheFieldAndTakesOnlyAChosenFile) {
  ScriptedHost host;
  Services sv{host, NativeFileOps()};
  CompletionText = kDoneJisToNec;
  host.field = "C:\\mail\\old.txt";
  host.open_choices = {"", "C:\\mail\\new.txt"};
  EXPECT_EQ(RunCommand(BTN_SANSYOU, nullptr, sv), 1);  // cancelled
  EXPECT_EQ(host.field, "C:\\mail\\old.txt");
  EXPECT_STREQ(TargetPath, "C:\\mail\\old.txt");
  EXPECT_EQ(RunCommand(BTN_SANSYOU, nullptr, sv), 1);  // chosen
  EXPECT_EQ(host.field, "C:\\mail\\new.txt");
  EXPECT_STREQ(TargetPath, "C:\\mail\\new.txt");
  EXPECT_EQ(host.proposed_open,
            (std::vector<std::string>{"C:\\mail\\old.txt", "C:\\mail\\old.txt"}));
  EXPECT_STREQ(CompletionText, kDoneJisToNec);
  EXPECT_TRUE(host.boxes.empty());
  // A chosen name of 511 bytes goes into the field whole.
  const std::string long_name(511, 'n');
  host.open_choices = {long_name};
  RunCommand(BTN_SANSYOU, nullptr, sv);
  EXPECT_EQ(host.field, long_name);
}

TEST(RunCommand, QuitClosesTheWindowAndNothingElse) {
  ScriptedHost host;
  Services sv{host, NativeFileOps()};
  CompletionText = kDoneB64Bin;
  EXPECT_EQ(RunCommand(BTN_QUIT, nullptr, sv), 1);
  EXPECT_EQ(host.closes, 1);
  EXPECT_TRUE(host.boxes.empty());
  EXPECT_STREQ(CompletionText, kDoneB64Bin);
}

TEST(CommandTable, LabelsAndIdentifiersOfTheButtons) {
  ASSERT_EQ(sizeof kCommands / sizeof kCommands[0], 8u);
  for (int id = 1001; id <= 1008; ++id) {
    const CommandInfo* c = FindCommand(id);
    ASSERT_NE(c, nullptr) << id;
    EXPECT_EQ(c->id, id);
    EXPECT_NE(c->label[0], '\0');
    EXPECT_EQ(c->completion == nullptr, id == BTN_SANSYOU || id == BTN_QUIT) << id;
  }
  EXPECT_STREQ(FindCommand(BTN_B64TEXT)->label, "*行中B64展開");
  EXPECT_STREQ(FindCommand(BTN_SJTOJIS)->completion,
               "ＳｈｉｆｔＪＩＳからＪＩＳへの変換完了しました");
}

}  // namespace
}  // namespace velko
