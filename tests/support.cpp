#include "support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace velko::test {

const char* ScriptedHost::GetFieldText() {
  if (fail_get_text) return nullptr;
  field_copy_ = field;
  return field_copy_.c_str();
}

void ScriptedHost::ShowMessage(Owner, const char* text, const char* caption) {
  boxes.push_back({caption, text, false});
}

Answer ScriptedHost::AskYesNoCancel(Owner, const char* text, const char* caption) {
  boxes.push_back({caption, text, true});
  if (answers.empty()) return Answer::kCancel;
  Answer a = answers.front();
  answers.pop_front();
  return a;
}

namespace {

bool Choose(std::deque<std::string>& choices, std::vector<std::string>& proposed, char* path) {
  proposed.push_back(path);
  if (choices.empty()) return false;
  std::string choice = choices.front();
  choices.pop_front();
  if (choice.empty() || choice.size() >= kPathSize) return false;
  std::memcpy(path, choice.c_str(), choice.size() + 1);
  return true;
}

class FaultyFile : public File {
 public:
  FaultyFile(std::unique_ptr<File> real, long read_budget, long write_budget, bool fail_close)
      : real_(std::move(real)),
        read_budget_(read_budget),
        write_budget_(write_budget),
        fail_close_(fail_close) {}

  long Read(void* buffer, std::size_t size) override {
    if (read_budget_ == 0) return -1;
    if (read_budget_ > 0 && size > static_cast<std::size_t>(read_budget_)) size = read_budget_;
    long n = real_->Read(buffer, size);
    if (read_budget_ > 0 && n > 0) read_budget_ -= n;
    return n;
  }
  bool Write(const void* data, std::size_t size) override {
    if (write_budget_ >= 0 && size > static_cast<std::size_t>(write_budget_)) {
      // A short write, as a full disk gives: part of the data lands.
      real_->Write(data, write_budget_);
      write_budget_ = 0;
      return false;
    }
    if (write_budget_ >= 0) write_budget_ -= static_cast<long>(size);
    return real_->Write(data, size);
  }
  bool Close() override { return real_->Close() && !fail_close_; }

 private:
  std::unique_ptr<File> real_;
  long read_budget_;
  long write_budget_;
  bool fail_close_;
};

}  // namespace

bool ScriptedHost::OpenFileDialog(Owner, char* path) {
  return Choose(open_choices, proposed_open, path);
}

bool ScriptedHost::SaveFileDialog(Owner, char* path) {
  return Choose(save_choices, proposed_save, path);
}

std::unique_ptr<File> FaultyFileOps::Open(const char* path, OpenMode mode) {
  bool writing = mode != OpenMode::kRead;
  if ((writing && fail_open_write) || (!writing && fail_open_read)) return nullptr;
  std::unique_ptr<File> real = real_.Open(path, mode);
  if (!real) return nullptr;
  ++opens;
  return std::make_unique<FaultyFile>(std::move(real), writing ? -1 : read_fail_after,
                                      writing ? write_fail_after : -1,
                                      writing && fail_close_write);
}

TempDir::TempDir() {
  std::string base = std::filesystem::temp_directory_path().string() + "/velko-test-XXXXXX";
  std::vector<char> name(base.begin(), base.end());
  name.push_back(0);
  if (mkdtemp(name.data()) == nullptr) std::abort();
  dir_ = name.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::string ReadFile(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return "<missing>";  // a FIFO would block
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing>";
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool PathExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace velko::test
