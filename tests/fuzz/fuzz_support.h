// Files in memory and a host that answers by rote, for the fuzz targets: short reads of any
// size, and a read, write or close failure at a chosen point.
#ifndef VELKO_TESTS_FUZZ_SUPPORT_H
#define VELKO_TESTS_FUZZ_SUPPORT_H

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fileops.h"
#include "host.h"

namespace velko::fuzz {

inline void Require(bool ok) {
  if (!ok) std::abort();
}

constexpr std::size_t kNever = static_cast<std::size_t>(-1);

class MemoryFiles : public FileOps {
 public:
  std::map<std::string, std::string> files;
  std::uint32_t seed = 1;            // drives the sizes of short reads
  std::size_t read_fails_at = kNever;   // bytes all reads may give before one fails
  std::size_t write_fails_at = kNever;  // bytes all writes may take before one fails (short)
  bool close_fails = false;          // closing a file written to fails
  bool failed = false;               // one of those failures happened

  PathStyle Style() const override { return PathStyle::kWin32; }
  bool Exists(const char* path) override { return files.count(path) != 0; }
  EntryKind Kind(const char* path, bool) override {
    return Exists(path) ? EntryKind::kRegular : EntryKind::kNone;
  }
  bool SameFile(const char* a, const char* b) override {
    return Exists(a) && std::strcmp(a, b) == 0;
  }
  bool Remove(const char* path) override { return files.erase(path) == 1; }
  bool RenameNoReplace(const char* from, const char* to) override {
    if (!Exists(from) || Exists(to)) return false;
    files[to] = files[from];
    files.erase(from);
    return true;
  }
  std::unique_ptr<File> Open(const char* path, OpenMode mode) override {
    if (mode == OpenMode::kRead && !Exists(path)) return nullptr;
    if (mode == OpenMode::kWrite) files[path].clear();
    return std::make_unique<MemoryFile>(*this, files[path]);
  }
  void CopyPermissions(const char*, const char*) override {}

 private:
  class MemoryFile : public File {
   public:
    MemoryFile(MemoryFiles& fs, std::string& data) : fs_(fs), data_(data) {}
    long Read(void* buffer, std::size_t size) override {
      fs_.seed = fs_.seed * 1103515245u + 12345u;
      std::size_t n = std::min<std::size_t>({size, data_.size() - pos_, 1 + (fs_.seed >> 16)});
      if (fs_.read_fails_at != kNever && fs_.read_ + n > fs_.read_fails_at) {
        if (fs_.read_ >= fs_.read_fails_at) return Fail(-1);
        n = fs_.read_fails_at - fs_.read_;
      }
      std::memcpy(buffer, data_.data() + pos_, n);
      pos_ += n;
      fs_.read_ += n;
      return static_cast<long>(n);
    }
    bool Write(const void* data, std::size_t size) override {
      written_ = true;
      std::size_t n = size;
      if (fs_.write_fails_at != kNever && fs_.written_ + n > fs_.write_fails_at) {
        n = fs_.write_fails_at > fs_.written_ ? fs_.write_fails_at - fs_.written_ : 0;
      }
      data_.append(static_cast<const char*>(data), n);
      fs_.written_ += n;
      return n == size || Fail(0);
    }
    bool Close() override { return !(written_ && fs_.close_fails) || Fail(0); }

   private:
    long Fail(long result) {
      fs_.failed = true;
      return result;
    }
    MemoryFiles& fs_;
    std::string& data_;
    std::size_t pos_ = 0;
    bool written_ = false;
  };
  std::size_t read_ = 0;
  std::size_t written_ = 0;
};

// Records the boxes; the save dialog offers `names` in turn (an empty one cancels), and the
// question is answered Yes, No, Cancel in turn.
class RoteHost : public Host {
 public:
  explicit RoteHost(const char* field, std::initializer_list<const char*> names = {})
      : field_(field), names_(names) {}
  int boxes = 0;
  std::string caption;  // of the last box
  std::string text;

  const char* GetFieldText() override { return field_; }
  void SetFieldText(const char*) override {}
  void ShowMessage(Owner, const char* t, const char* c) override {
    ++boxes;
    text = t;
    caption = c;
  }
  Answer AskYesNoCancel(Owner, const char*, const char*) override {
    static const Answer kAnswers[] = {Answer::kYes, Answer::kNo, Answer::kCancel};
    return kAnswers[asked_++ % 3];
  }
  bool OpenFileDialog(Owner, char*) override { return false; }
  bool SaveFileDialog(Owner, char* path) override {
    Require(std::strlen(path) < kPathSize);  // the proposed name fits
    if (names_.empty()) return false;
    const char* name = names_[saves_++ % names_.size()];
    std::memcpy(path, name, std::strlen(name) + 1);
    return name[0] != 0;
  }
  void CloseMainWindow(Owner) override {}

 private:
  const char* field_;
  std::vector<const char*> names_;
  unsigned asked_ = 0;
  unsigned saves_ = 0;
};

}  // namespace velko::fuzz

#endif
