#include "undo.h"

#include <cstring>

#include "console.h"
#include "ports/host.h"

namespace velko {
namespace {

// Fixed buffers: a signal handler reads them, and may neither allocate nor lock.
struct Pending {
  FileOps* files = nullptr;
  char temp[kPathSize] = "";    // being written; removed on a stop
  char target[kPathSize] = "";  // moved to `backup` and not yet back; moved back on a stop
  char backup[kPathSize] = "";
  char keep[kPathSize] = "";  // a file given its name on a stop too
  char keep_as[kPathSize] = "";
};
Pending pending;

void Set(char* field, const char* value) {
  std::size_t n = std::strlen(value);
  if (n >= kPathSize) n = 0;  // too long to name here: nothing to undo by that name
  std::memcpy(field, value, n);
  field[n] = 0;
}

void Undo() {
  FileOps& files = *pending.files;
  if (pending.keep[0] != 0) files.Replace(pending.keep, pending.keep_as);
  if (pending.temp[0] != 0) files.Remove(pending.temp);
  if (pending.target[0] != 0 && !files.Exists(pending.target)) {
    files.RenameNoReplace(pending.backup, pending.target);
  }
}

// The operation and the record of it, with stops held back: a handler never sees a file moved
// and not recorded, nor the record half written.
template <typename F>
auto Record(F change) {
  BlockStops(true);
  auto done = change();
  BlockStops(false);
  return done;
}

}  // namespace

UndoOnStop::UndoOnStop(FileOps& real) : real_(real) {
  pending.files = &real;
  OnStop(Undo);
}

FileStatus UndoOnStop::Noted(FileStatus done) {
  if (!done) failure_ = done.code();
  return done;
}

std::string UndoOnStop::TakeReason() {
  const int code = failure_;
  failure_ = 0;
  return code != 0 ? SystemReason(code) : "";
}

void UndoOnStop::KeepOnStop(const char* temp, const char* final) {
  Record([&] { return Set(pending.keep, temp), Set(pending.keep_as, final), true; });
}

void UndoOnStop::Settle() {
  failure_ = 0;
  Record([] { return pending.temp[0] = 0, pending.target[0] = 0; });
}

std::unique_ptr<File> UndoOnStop::Open(const char* path, OpenMode mode, int* error) {
  if (mode != OpenMode::kCreate) {
    std::unique_ptr<File> file = real_.Open(path, mode, error);
    if (!file) failure_ = *error;
    return file;
  }
  // Every new file the core makes is a temporary that takes its name when whole (or a spool
  // that goes). A name that is taken is no failure: another is tried.
  return Record([&] {
    std::unique_ptr<File> file = real_.Open(path, mode, error);
    if (file) Set(pending.temp, path);
    if (!file && !real_.Exists(path)) failure_ = *error;
    return file;
  });
}

FileStatus UndoOnStop::Remove(const char* path) {
  return Record([&] {
    const FileStatus done = Noted(real_.Remove(path));
    if (done && std::strcmp(path, pending.temp) == 0) pending.temp[0] = 0;
    return done;
  });
}

FileStatus UndoOnStop::RenameNoReplace(const char* from, const char* to) {
  return Record([&] {
    const FileStatus done = Noted(real_.RenameNoReplace(from, to));
    if (done && std::strcmp(from, pending.temp) == 0) {
      pending.temp[0] = 0, pending.target[0] = 0;  // the new content has the file's name
    } else if (done) {
      Set(pending.target, from), Set(pending.backup, to);
    }
    return done;
  });
}

FileStatus UndoOnStop::Replace(const char* from, const char* to) {
  return Record([&] {
    const FileStatus done = Noted(real_.Replace(from, to));
    if (done && std::strcmp(from, pending.temp) == 0) pending.temp[0] = 0;
    return done;
  });
}

}  // namespace velko
