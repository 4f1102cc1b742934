// Where one attachment goes: the file the save dialog or a sink chooses, written beside its
// name under a temporary one that takes the chosen name only when whole.
#ifndef VELKO_CONV_MAIL_PARTFILE_H
#define VELKO_CONV_MAIL_PARTFILE_H

#include <cstddef>
#include <memory>

#include "codec/base64.h"
#include "mail/extract.h"
#include "text/textio.h"

namespace velko {

class PartFile {
 public:
  // `mail` (named `target` in messages) is never written; `buffer` (`size` bytes) is the
  // output area; `sink` names the file and decides for one that exists.
  PartFile(const Services& sv, PartSink* sink, const char* target, FileId mail, char* buffer,
           std::size_t size)
      : sv_(sv), sink_(sink), target_(target), mail_(mail), buffer_(buffer), size_(size) {}
  ~PartFile() { Drop(); }

  enum class Choice { kTaken, kNotTaken, kKept };
  // `path` (kPathSize bytes) holds the name the mail gives: the sink chooses the file and
  // decides for one that exists. kTaken: `path` is the file. `part` is kept until Finish.
  Choice Choose(const Part& part, char* path);
  // Opens the file chosen; the failure's text (texts.h), or null.
  const char* Open();
  // Buffered; false once a write failed. The sink hears of the bytes.
  bool Write(const void* bytes, std::size_t n);
  // Room for `n` bytes made in place (`n` below the output area's size); Made then takes the
  // first `m` of them as Write would.
  unsigned char* Room(std::size_t n) {
    return room_ = reinterpret_cast<unsigned char*>(out_->Room(n));
  }
  bool Made(std::size_t m);
  std::size_t room() const { return size_ - 1; }  // the most Room gives
  // Writes out, closes and names the file; the failure's text with its two paths, or null.
  const char* Finish(const char** path, const char** other);
  // Closes and removes what was written, if anything.
  void Drop();
  bool appended() const { return mode_ == OpenMode::kAppend; }
  const char* path() const { return path_; }

 private:
  const Services& sv_;
  PartSink* sink_;
  Part part_{};
  const char* target_;
  FileId mail_;
  char* buffer_;
  std::size_t size_;
  char* path_ = nullptr;  // the chosen file, held by the caller
  OpenMode mode_ = OpenMode::kWrite;
  bool existed_ = false;
  char temp_[kPathSize] = "";
  char kept_[kPathSize] = "";  // a whole file its name could not be given
  std::unique_ptr<File> file_;
  std::unique_ptr<OutStream> out_;
  unsigned char* room_ = nullptr;  // what Room gave last
};

// After a body line that left no group waiting: the lines already read ahead that hold Base64
// alone (each at most `max_line` bytes with its end; with `whole_groups`, of whole groups), as
// the body loops would take them one by one, decoded where they lie straight into `file`'s
// output area, or, with no file to write, into `scratch` (`scratch_size` bytes), only counted.
// `*run` tells what was taken; `*text` and `*bytes` (when asked) where the lines lay, valid
// until the next read, and their bytes. False when a write failed.
bool TakeBase64Lines(LineReader& reader, PartFile* file, unsigned char* scratch,
                     std::size_t scratch_size, std::size_t max_line, bool whole_groups,
                     Base64Lines* run, const char** text = nullptr, std::size_t* bytes = nullptr);

}  // namespace velko

#endif
