// The attachment extraction on an arbitrary mail held in memory: it must end with exactly
// one box whatever the mail holds, and write nowhere but the files it is given.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "command.h"
#include "extract.h"
#include "host.h"

namespace {

class MemoryInput : public velko::File {
 public:
  MemoryInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  long Read(void* buffer, std::size_t size) override {
    std::size_t n = size < size_ - pos_ ? size : size_ - pos_;
    std::memcpy(buffer, data_ + pos_, n);
    pos_ += n;
    return static_cast<long>(n);
  }
  bool Write(const void*, std::size_t) override { std::abort(); }
  bool Close() override { return true; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

class Sink : public velko::File {
 public:
  long Read(void*, std::size_t) override { std::abort(); }
  bool Write(const void*, std::size_t) override { return true; }
  bool Close() override { return true; }
};

// The mail is "MAIL"; attachments go to "OUT..." names, which exist every other time.
class MemoryFiles : public velko::FileOps {
 public:
  MemoryFiles(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  velko::PathStyle Style() const override { return velko::PathStyle::kWin32; }
  bool Exists(const char* path) override {
    return std::strcmp(path, "MAIL") == 0 || (std::strncmp(path, "OUT", 3) == 0 && ++n_ % 2);
  }
  bool Remove(const char*) override { std::abort(); }
  bool RenameNoReplace(const char*, const char*) override { std::abort(); }
  std::unique_ptr<velko::File> Open(const char* path, velko::OpenMode mode) override {
    if (mode == velko::OpenMode::kRead) {
      if (std::strcmp(path, "MAIL") != 0) std::abort();
      return std::make_unique<MemoryInput>(data_, size_);
    }
    if (std::strncmp(path, "OUT", 3) != 0) std::abort();
    return std::make_unique<Sink>();
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  unsigned n_ = 0;
};

class CountingHost : public velko::Host {
 public:
  int boxes = 0;
  const char* GetFieldText() override { return "MAIL"; }
  void SetFieldText(const char*) override {}
  void ShowMessage(velko::Owner, const char*, const char*) override { ++boxes; }
  velko::Answer AskYesNoCancel(velko::Owner, const char*, const char*) override {
    static const velko::Answer kAnswers[] = {velko::Answer::kYes, velko::Answer::kNo,
                                             velko::Answer::kCancel};
    return kAnswers[asked_++ % 3];
  }
  bool OpenFileDialog(velko::Owner, char*) override { return false; }
  bool SaveFileDialog(velko::Owner, char* path) override {
    if (std::strlen(path) >= velko::kPathSize) std::abort();  // the proposed name fits
    if (++saves_ % 4 == 0) return false;  // now and then the user cancels
    std::string name = "out" + std::to_string(saves_);
    std::memcpy(path, name.c_str(), name.size() + 1);
    return true;
  }
  void CloseMainWindow(velko::Owner) override {}

 private:
  unsigned asked_ = 0;
  unsigned saves_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemoryFiles files(data, size);
  CountingHost host;
  velko::Services sv{host, files};
  if (velko::RunCommand(velko::BTN_B64BIN, nullptr, sv) != 1 || host.boxes != 1) std::abort();
  return 0;
}
