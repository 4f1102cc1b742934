#include "mail/partfile.h"

#include <cstring>

#include "ports/texts.h"

namespace velko {

PartFile::Choice PartFile::Choose(const Part& part, char* path) {
  path_ = path;
  part_ = part;
  mode_ = OpenMode::kWrite;
  if (!sink_->Choose(part, path)) return Choice::kNotTaken;
  path[kPathSize - 1] = 0;
  if (sv_.upper_case_names) UpperCaseChosenPath(path, sv_.files.Style());
  if (FileExists(sv_.files, path)) {
    const Answer answer = sink_->Exists(part, path);
    path[kPathSize - 1] = 0;
    if (answer == Answer::kCancel) return Choice::kKept;
    mode_ = answer == Answer::kYes ? OpenMode::kWrite : OpenMode::kAppend;
  }
  return Choice::kTaken;
}

const char* PartFile::Open() {
  const char* path = path_;
  // The mail itself, under any name or link, or read from standard input, is never written.
  if (sv_.files.Id(path) == mail_ || sv_.files.SameFile(path, target_)) return kErrOutputOpen;
  const EntryKind kind = sv_.files.Kind(path, false);
  existed_ = kind != EntryKind::kNone;
  if (kind == EntryKind::kLink) {  // a window writes through it, velko-cli never
    file_ = sv_.files.Open(path, mode_);
  } else if (kind == EntryKind::kNone || kind == EntryKind::kRegular) {
    file_ = OpenTemporary(sv_.files, path, temp_);
  }
  if (!file_) return kErrOutputOpen;
  out_ = std::make_unique<OutStream>(*file_, buffer_, size_);
  if (!existed_ || temp_[0] == 0) return nullptr;
  if (!sv_.files.CopyPermissions(path, temp_)) return kErrPermissions;
  if (mode_ != OpenMode::kAppend) return nullptr;
  // What the file holds comes first; the output area is free until the body is written.
  std::unique_ptr<File> old = sv_.files.Open(path, OpenMode::kRead);
  if (!old) return kErrOutputOpen;
  long n;
  while ((n = old->Read(buffer_, size_)) > 0) {
    if (!file_->Write(buffer_, static_cast<std::size_t>(n))) break;
  }
  const bool copied = old->Close() && n == 0;
  return copied ? nullptr : kErrOutputWrite;
}

bool PartFile::Write(const void* bytes, std::size_t n) {
  sink_->Bytes(part_.slot, static_cast<const unsigned char*>(bytes), n);
  return out_->Write(bytes, n);
}

bool PartFile::Made(std::size_t m) {
  sink_->Bytes(part_.slot, room_, m);
  return out_->CommitBytes(m);
}

bool TakeBase64Lines(LineReader& reader, PartFile* file, unsigned char* scratch,
                     std::size_t scratch_size, std::size_t max_line, bool whole_groups,
                     Base64Lines* run, const char** where, std::size_t* bytes) {
  const char* text;
  std::size_t n = reader.Ahead(&text);
  const std::size_t room = file ? file->room() : scratch_size;  // no line's bytes outnumber its text's
  if (n > room) n = room;
  *run = Base64Lines();
  if (where) *where = text;
  const std::size_t taken =
      DecodeBase64Lines(file ? file->Room(n) : scratch, text, n, max_line, whole_groups, run);
  if (bytes) *bytes = taken;
  if (taken == 0) return true;
  reader.Skip(taken);
  return !file || file->Made(run->written);
}

const char* PartFile::Finish(const char** path, const char** other) {
  *path = path_, *other = "";
  bool ok = out_->Flush();
  out_.reset();
  // A full disk may show only when the file is closed: that is a failed write too.
  ok = file_->Close() && ok;
  file_.reset();
  if (!ok) {
    Drop();
    return kErrOutputWrite;
  }
  bool named = temp_[0] == 0 || (mode_ == OpenMode::kWrite && !existed_
                                     ? sv_.files.RenameNoReplace(temp_, path_)
                                     : sv_.files.Replace(temp_, path_));
  // Another writer took the name meanwhile: the sink may give the next one.
  for (int tries = 0; !named && tries < 100 && mode_ == OpenMode::kWrite && !existed_ &&
                      sv_.files.Exists(path_) && sink_->Taken(part_, path_);
       ++tries) {
    named = static_cast<bool>(sv_.files.RenameNoReplace(temp_, path_));
  }
  if (!named) {
    // Whole, and kept under the name the message gives.
    std::memcpy(kept_, temp_, kPathSize);
    temp_[0] = 0;
    *path = kept_, *other = path_;
    return kErrRename;
  }
  temp_[0] = 0;
  return nullptr;
}

void PartFile::Drop() {
  if (file_) {
    // Through a link the window keeps what it wrote, as it always did.
    if (temp_[0] == 0 && out_) out_->Flush();
    out_.reset();
    file_->Close();
    file_.reset();
  }
  if (temp_[0] != 0) sv_.files.Remove(temp_);
  temp_[0] = 0;
}

}  // namespace velko
