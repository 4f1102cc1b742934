#include "manifest.h"

#include "text/frame.h"

namespace velko {

Manifest::~Manifest() { Close(); }

bool Manifest::Open(const std::string& path) {
  path_ = path;
  // A temporary of its own, not the one the undo record removes on a stop.
  file_ = OpenTemporary(files_, path.c_str(), temp_);
  if (!file_) return false;
  files_.KeepOnStop(temp_, path.c_str());
  files_.Settle();
  Row({"mail", "message", "date", "subject", "from", "part", "type", "encoding", "name", "path",
       "size", "sha256", "status", "why"});
  return true;
}

void Manifest::Row(const std::vector<std::string>& fields) {
  if (!file_) return;
  std::string row;
  for (const std::string& field : fields) {
    if (!row.empty()) row += '\t';
    for (char c : field) {
      row += c == '\t' ? "\\t" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : c == '\\' ? "\\\\" : std::string(1, c);
    }
  }
  row += '\n';
  ok_ = file_->Write(row.data(), row.size()) && ok_;
}

bool Manifest::Close() {
  if (!file_) return true;
  ok_ = file_->Close() && ok_;
  file_.reset();
  files_.KeepOnStop("", "");
  const bool named = ok_ && files_.Replace(temp_, path_.c_str());
  if (!named) files_.Remove(temp_);
  return named;
}

}  // namespace velko
