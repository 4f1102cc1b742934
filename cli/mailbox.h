// velko-cli b64bin: each FILE a mail, an mbox, a Maildir or a folder of them; one line per FILE
// counting what became of its attachments; the manifest.
#ifndef VELKO_CLI_MAILBOX_H
#define VELKO_CLI_MAILBOX_H

#include <string>
#include <vector>

#include "attachments.h"
#include "console_host.h"
#include "text/frame.h"
#include "undo.h"

namespace velko {

struct MailRun {
  ConsoleHost& host;
  UndoOnStop& files;
  AttachmentFiles& attachments;
  const Services& services;
  std::string dir;            // where attachments go, never read as mail
  bool decoded = true;        // the MIME reading; false: the window's
  bool list = false;          // --list
  bool base64_only = false;   // --encodings=base64
  std::string manifest;       // --manifest, or empty
  const char* completion = "";
};

// The regular files a FILE stands for: itself; a Maildir's cur/ and new/; every file under a
// folder, in name order, but for hidden names and the attachments' folder below it.
std::vector<std::string> MailFiles(const std::string& file, MailRun& run);

// All FILEs; the exit status: 0 when every attachment was saved or left by the user's choice.
int ExtractMails(const std::vector<std::string>& files, MailRun& run);

}  // namespace velko

#endif
