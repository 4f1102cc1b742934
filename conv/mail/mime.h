// velko-cli's reading of mails beside the window's: the MIME structure of each message of a
// mail or an mbox, and every attachment's body decoded by its transfer encoding.
#ifndef VELKO_CONV_MAIL_MIME_H
#define VELKO_CONV_MAIL_MIME_H

#include "mail/extract.h"

namespace velko {

struct ArchiveMode {
  bool list = false;         // each attachment only told (PartSink::Listed); nothing written
  bool base64_only = false;  // as the window chooses: the others left (SkipReason::kEncoding)
};

// The usual extension of a content type ("application/pdf" ".pdf"), ".bin" when none is known.
const char* ExtensionOf(const char* type);

// Every attachment of the mail or mbox `input`, named `target` in messages and in the names
// made for parts that have none, through `sink`. A message begins at each line "From " when
// the first one does (an mbox; ">From " lines are unquoted), else the file is one message.
// False when a read failed (said through the host); `*messages` counts those read.
bool ExtractArchive(File& input, const char* target, const Services& sv, const ArchiveMode& mode,
                    PartSink& sink, unsigned long* messages);

}  // namespace velko

#endif
