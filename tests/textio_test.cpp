// Line reading and writing: the text-mode rules, at every buffer size.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "textio.h"

namespace velko {
namespace {

// A file held in memory, read in pieces no larger than the caller asks for.
class MemoryFile : public File {
 public:
  explicit MemoryFile(std::string data, long fail_at = -1) : data_(std::move(data)), fail_at_(fail_at) {}
  long Read(void* buffer, std::size_t size) override {
    if (fail_at_ >= 0 && pos_ >= static_cast<std::size_t>(fail_at_)) return -1;
    std::size_t n = std::min(size, data_.size() - pos_);
    if (fail_at_ >= 0) n = std::min(n, static_cast<std::size_t>(fail_at_) - pos_);
    std::memcpy(buffer, data_.data() + pos_, n);
    pos_ += n;
    return static_cast<long>(n);
  }
  bool Write(const void* data, std::size_t size) override {
    if (written.size() + size > write_limit) return false;
    written.append(static_cast<const char*>(data), size);
    return true;
  }
  bool Close() override { return true; }
  std::string written;
  std::size_t write_limit = static_cast<std::size_t>(-1);

 private:
  std::string data_;
  std::size_t pos_ = 0;
  long fail_at_;
};

// Every read until the end, each as its stored bytes; "<error>" marks a failed read.
// `in_place` reads as a caller that only looks at its lines does, taking them where they lie.
std::vector<std::string> ReadAll(const std::string& data, bool text, std::size_t limit,
                                 std::size_t buffer_size, bool in_place, long fail_at = -1) {
  MemoryFile file(data, fail_at);
  std::vector<char> buffer(buffer_size);
  LineReader reader(file, text, buffer.data(), buffer.size());
  std::vector<std::string> reads;
  std::vector<char> copy(limit);
  for (;;) {
    std::size_t length = 0;
    char* line = copy.data();
    ReadResult r = in_place ? reader.ReadLineInPlace(copy.data(), limit, &line, &length)
                            : reader.ReadLine(copy.data(), limit, &length);
    if (r == ReadResult::kEnd) break;
    EXPECT_LT(length, limit);
    EXPECT_EQ(line[length], '\0');
    if (r == ReadResult::kError) {
      reads.push_back("<error>");
      break;
    }
    reads.emplace_back(line, length);
  }
  return reads;
}

struct ReadCase {
  std::string input;
  bool text;
  std::size_t limit;
  std::vector<std::string> reads;
  const char* shows;
};

TEST(LineReader, FollowsTextAndBinaryRulesAtEveryBufferSize) {
  const std::vector<ReadCase> cases = {
      {"a\r\nb\n", true, 10000, {"a\n", "b\n"}, "CR LF and LF both read as LF"},
      {"a\rb\r\n", true, 10000, {"a\rb\n"}, "a lone CR is kept"},
      {"a\r", true, 10000, {"a\r"}, "a CR at the end of the file is kept"},
      {"a\r\r\n", true, 10000, {"a\r\n"}, "only the CR before LF goes"},
      {"ab\x1A" "cd\n", true, 10000, {"ab", "cd\n"}, "0x1A inside a line ends the read, reading goes on"},
      {"ab\n\x1A" "cd\n", true, 10000, {"ab\n"}, "0x1A at the start of a read is the end"},
      {"\x1A", true, 10000, {}, "0x1A alone: nothing"},
      {"ab\x1A\x1A" "cd", true, 10000, {"ab"}, "two 0x1A: the second starts a read"},
      {"a\r\x1A" "b", true, 10000, {"a\r", "b"}, "CR before 0x1A is kept"},
      {"abcdef\n", true, 4, {"abc", "def", "\n"}, "the read limit cuts a long line"},
      {"abc\r\nx", true, 4, {"abc", "\n", "x"}, "a CR LF cut by the limit still reads as LF"},
      {"ab\r\nx", true, 4, {"ab\n", "x"}, "a CR LF ending exactly at the limit"},
      {std::string("a\0b\n", 4), true, 10000, {std::string("a\0b\n", 4)}, "a NUL is stored and counted"},
      {"", true, 10000, {}, "an empty file"},
      {"ab\nc\n\nd", true, 10000, {"ab\n", "c\n", "\n", "d"},
       "LF lines one after another: each line's first byte survives the NUL before it"},
      {"a\r\nb\rc\n", true, 10000, {"a\n", "b\rc\n"}, "a lone CR anywhere in the area"},
      {"abc\r\nd\n", true, 5, {"abc\n", "d\n"}, "a line that just fits the limit"},
      {"abcd\r\ne\n", true, 5, {"abcd", "\n", "e\n"}, "one byte over the limit"},
      {"a\r\nb\x1A", false, 10000, {"a\r\n", "b\x1A"}, "binary: every byte as it is"},
      {"abcdef", false, 4, {"abc", "def"}, "binary: the read limit"},
  };
  for (const ReadCase& c : cases) {
    for (std::size_t buffer_size : {2u, 3u, 4u, 8u, 65537u}) {
      for (bool in_place : {false, true}) {
        SCOPED_TRACE(std::string(c.shows) + ", buffer " + std::to_string(buffer_size) +
                     (in_place ? ", in place" : ""));
        EXPECT_EQ(ReadAll(c.input, c.text, c.limit, buffer_size, in_place), c.reads);
      }
    }
  }
}

TEST(LineReader, ReportsAReadFailureAfterGoodLines) {
  for (bool text : {true, false}) {
    for (bool in_place : {false, true}) {
      EXPECT_EQ(ReadAll("ab\ncd\nef\n", text, 10000, 4, in_place, 4),
                (std::vector<std::string>{"ab\n", "<error>"}));
      EXPECT_EQ(ReadAll("ab\n", text, 10000, 64, in_place, 0),
                (std::vector<std::string>{"<error>"}));
    }
  }
}

TEST(OutStream, WritesLfAsCrLfAtEveryBufferSize) {
  const std::string text = "a\nbc\n\n\rd\xFF\n";
  for (std::size_t size : {2u, 3u, 5u, 4096u}) {
    MemoryFile file("");
    std::vector<char> buffer(size);
    OutStream out(file, true, buffer.data(), buffer.size());
    ASSERT_TRUE(out.PutText(text.c_str()));
    ASSERT_TRUE(out.PutText("x"));
    ASSERT_TRUE(out.Flush());
    EXPECT_EQ(file.written, "a\r\nbc\r\n\r\n\rd\xFF\r\nx") << "buffer " << size;
  }
}

TEST(OutStream, BinaryModeAndFailures) {
  MemoryFile file("");
  file.write_limit = 5;
  std::vector<char> buffer(4);
  OutStream out(file, false, buffer.data(), buffer.size());
  EXPECT_TRUE(out.Write("a\nb", 3));
  EXPECT_TRUE(out.Write("\0c", 2));
  EXPECT_EQ(file.written, std::string("a\nb\0", 4));
  EXPECT_FALSE(out.Write("defg", 4));  // the buffered bytes no longer fit the file
  EXPECT_FALSE(out.Flush());
  EXPECT_FALSE(out.PutText("more"));
}

}  // namespace
}  // namespace velko
