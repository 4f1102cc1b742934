#include "mailbox.h"

#include <algorithm>
#include <memory>

#include "console.h"
#include "mail/extract.h"
#include "fileops_native.h"
#include "manifest.h"
#include "mail/mime.h"
#include "ports/texts.h"

namespace velko {
namespace {

constexpr int kDeepest = 64;  // folders in folders

std::string Join(const std::string& folder, const std::string& name) {
  const char last = folder.empty() ? '/' : folder.back();
  return last == '/' || last == '\\' ? folder + name : folder + "/" + name;
}

// The regular files of `folder`, in name order, and with `deep` those of its folders (not
// through links, nor into `skip`).
void Collect(const std::string& folder, MailRun& run, const FileId& skip, bool deep, int depth,
             std::vector<std::string>* out) {
  std::vector<std::string> names;
  run.files.ListFolder(folder.c_str(), [&names](const char* name) {
    if (name[0] != '.') names.push_back(name);
  });
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    const std::string path = Join(folder, name);
    EntryKind kind = run.files.Kind(path.c_str(), false);
    if (kind == EntryKind::kLink && run.files.Kind(path.c_str(), true) == EntryKind::kRegular) {
      kind = EntryKind::kRegular;
    }
    if (kind == EntryKind::kRegular) {
      out->push_back(path);
    } else if (kind == EntryKind::kDirectory && deep && depth < kDeepest &&
               !(run.files.Id(path.c_str()) == skip)) {
      Collect(path, run, skip, deep, depth + 1, out);
    }
  }
}

}  // namespace

std::vector<std::string> MailFiles(const std::string& file, MailRun& run) {
  if (file == "-" || run.files.Kind(file.c_str(), true) != EntryKind::kDirectory) return {file};
  const FileId skip = run.files.Id(run.dir.empty() ? "." : run.dir.c_str());
  std::vector<std::string> out;  // listed before a file is written, so none is read
  const std::string cur = Join(file, "cur"), fresh = Join(file, "new");
  if (run.files.Kind(cur.c_str(), true) == EntryKind::kDirectory ||
      run.files.Kind(fresh.c_str(), true) == EntryKind::kDirectory) {
    for (const std::string& sub : {cur, fresh}) {  // a Maildir
      if (run.files.Kind(sub.c_str(), true) == EntryKind::kDirectory) {
        Collect(sub, run, skip, false, 0, &out);
      }
    }
    return out;
  }
  Collect(file, run, skip, true, 0, &out);
  return out;
}

int ExtractMails(const std::vector<std::string>& files, MailRun& run) {
  ConsoleHost& host = run.host;
  // Every mail of the run, listed before a file is written: none is ever written over.
  std::vector<std::vector<std::string>> mails;
  std::vector<FileId> ids;
  for (const std::string& file : files) {
    mails.push_back(file.size() < kPathSize ? MailFiles(file, run) : std::vector<std::string>());
    for (const std::string& mail : mails.back()) {
      if (mail != "-") ids.push_back(run.files.Id(mail.c_str()));
    }
  }
  Manifest manifest(run.files);
  if (!run.manifest.empty()) {
    const char* name = run.manifest.c_str();
    const EntryKind kind = run.files.Kind(name, true);
    bool input = false;
    for (const FileId& id : ids) input = input || id == run.files.Id(name);
    host.Begin(run.manifest, false);
    if (kind != EntryKind::kNone && kind != EntryKind::kRegular) {
      host.Error(Tr("the manifest's name leads to what is not a regular file: not replaced"));
      return 1;
    }
    if (input) {
      host.Error(Tr("the manifest's name is a mail this run reads: not replaced"));
      return 1;
    }
    if (!manifest.Open(run.manifest)) {
      host.Error(Tr("the manifest cannot be made beside its name") + host.Reason());
      return 1;
    }
  }
  run.attachments.Reserve(ids, run.manifest);
  int status = 0;
  for (std::size_t f = 0; f < files.size(); ++f) {
    const std::string& file = files[f];
    const bool folder = file != "-" && run.files.Kind(file.c_str(), true) == EntryKind::kDirectory;
    host.Begin(file, true);
    if (file.size() >= kPathSize) {
      host.Error(
          Say("file name longer than %s bytes: not converted", {std::to_string(kPathSize - 1)}));
      status = 1;
      continue;
    }
    PartCounts& counts = run.attachments.counts();
    counts = PartCounts();
    unsigned long messages = 0;
    bool error = false;
    for (const std::string& mail : mails[f]) {
      host.Begin(mail, true);
      run.attachments.Mail(mail, manifest.open() ? &manifest : nullptr, folder);
      if (mail.size() >= kPathSize) {
        host.Error(
            Say("file name longer than %s bytes: not converted", {std::to_string(kPathSize - 1)}));
      } else if (run.decoded) {
        std::unique_ptr<File> in = mail == "-" ? StandardStream(0)
                                               : run.files.Open(mail.c_str(), OpenMode::kRead);
        if (!in) {
          const bool exists = run.files.Exists(mail.c_str());
          host.Error(WindowText(exists ? kErrInputOpen : kErrNoInput, mail) + host.Reason());
        } else {
          unsigned long n = 0;
          ExtractArchive(*in, mail.c_str(), run.services, ArchiveMode{run.list, run.base64_only},
                         run.attachments, &n);
          messages += n;
        }
      } else if (mail == "-") {
        std::unique_ptr<File> in = StandardStream(0);
        ExtractAttachmentsFrom(*in, "-", "", nullptr, run.services, ExtractMode{run.list},
                               &run.attachments);
      } else {
        ExtractAttachments(mail.c_str(), "", nullptr, run.services, ExtractMode{run.list},
                           &run.attachments);
      }
      error = error || host.ErrorShown();
      run.files.Settle();
    }
    host.Begin(file, true);
    const std::string skipped = std::to_string(counts.chosen + counts.left);
    if (run.list) {
      const std::string listed = std::to_string(counts.listed);
      host.Notice(file, run.decoded
                            ? SayN("%s attachment (messages: %s)", "%s attachments (messages: %s)",
                                   counts.listed, {listed, std::to_string(messages)})
                            : SayN("%s Base64 part", "%s Base64 parts", counts.listed, {listed}));
    } else if (run.decoded) {
      host.Notice(file, Say("%s saved, %s skipped, %s failed (messages: %s)",
                            {std::to_string(counts.saved), skipped, std::to_string(counts.failed),
                             std::to_string(messages)}));
    } else {
      host.Notice(file, Say("%s saved, %s skipped, %s failed (%s)",
                            {std::to_string(counts.saved), skipped, std::to_string(counts.failed),
                             run.completion}));
    }
    if (error || counts.failed > 0 || counts.left > 0) status = 1;
  }
  if (manifest.open() && !manifest.Close()) {
    host.Begin(run.manifest, false);
    host.Error(WindowText(kErrOutputWrite, run.manifest) + host.Reason());
    status = 1;
  }
  return status;
}

}  // namespace velko
