#include "tree.h"

#include <algorithm>
#include <cstring>

#include "console.h"

namespace velko {
namespace {

bool VersionControl(const std::string& name) {
  return name == ".git" || name == ".svn" || name == ".hg" || name == "CVS" || name == ".bzr";
}

void Walk(FileOps& files, const std::string& path, const std::string& relative, bool operand,
          bool recurse, const FileId& skip, std::vector<TreeEntry>* out) {
  const EntryKind kind = files.Kind(path.c_str(), false);
  auto passed = [&](const char* why) {
    out->push_back({TreeEntry::kPassedOver, path, relative, why, operand});
  };
  if (kind == EntryKind::kLink) return passed(N("a symbolic link, not followed"));
  if (kind == EntryKind::kOther) return passed(N("no file but a FIFO, a device or a socket"));
  if (kind != EntryKind::kDirectory) {
    out->push_back({TreeEntry::kFile, path, relative, nullptr, operand});
    return;
  }
  const std::size_t slash = relative.find_last_of('/');
  const std::string name = slash == std::string::npos ? relative : relative.substr(slash + 1);
  if (!recurse) return passed(N("a folder (-r converts what it holds)"));
  if (!operand && VersionControl(name)) return passed(N("a version-control folder"));
  if (!operand && name.size() > 1 && name[0] == '.') return passed(N("a hidden folder"));
  if (skip.known && files.Id(path.c_str()) == skip) return passed(N("the output folder"));
  out->push_back({TreeEntry::kFolder, path, relative, nullptr, operand});
  std::vector<std::string> names;
  if (!files.ListFolder(path.c_str(), [&](const char* each) { names.emplace_back(each); })) {
    out->back() = {
        TreeEntry::kPassedOver, path, relative, N("a folder that cannot be read"), operand, true};
    return;
  }
  std::sort(names.begin(), names.end());
  const std::string base = path.back() == '/' ? path : path + "/";
  for (const std::string& each : names) {
    Walk(files, base + each, relative + "/" + each, false, recurse, skip, out);
  }
}

}  // namespace

std::vector<TreeEntry> WalkTree(FileOps& files, const std::vector<std::string>& operands,
                                bool recurse, const FileId& skip) {
  std::vector<TreeEntry> entries;
  // Windows takes '\\' too, and its names reach here as UTF-8, where no byte of a character is one.
  const char* separators = IsWindows(files.Style()) ? "/\\" : "/";
  for (const std::string& operand : operands) {
    std::string trimmed = operand;
    while (trimmed.size() > 1 && std::strchr(separators, trimmed.back())) trimmed.pop_back();
    const std::size_t slash = trimmed.find_last_of(separators);
    std::string name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") name = ".";
    Walk(files, operand, name, true, recurse, skip, &entries);
  }
  return entries;
}

}  // namespace velko
