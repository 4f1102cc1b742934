// Extraction of the Base64 attachments of a mail file.
#ifndef VELKO_CONV_EXTRACT_H
#define VELKO_CONV_EXTRACT_H

#include <cstddef>

#include "fileops.h"
#include "frame.h"
#include "host.h"

namespace velko {

// Size of the decoded area: the bytes of one body line's piece and a NUL.
constexpr std::size_t kDecodedArea = 1024;

// What the scan keeps from line to line.
struct ExtractState {
  char PendingName[kPathSize];  // the quoted name last found; then the chosen path
  bool Base64Announced;         // a header line announced Base64 since the last extraction
};

// The place of `word` in `text`, ASCII letters compared without case, or null.
const char* FindNoCase(const char* text, const char* word);

// Examines one line as read (converted to Shift_JIS in `scan_area`, MAXCHRS bytes): a quoted
// FILENAME= value replaces `pending_name` (cut to 511 bytes at a character boundary); true
// when the line announces Base64 encoding. The line itself is not changed.
bool ScanHeaderLine(char* pending_name, const char* line, char* scan_area);

// Upper-cases the letters of a chosen path in place: on Win32 every one outside double-byte
// characters, on POSIX those of the final component only (folders keep their real names).
void UpperCaseChosenPath(char* path, PathStyle style);

// velko-cli's ways of taking a mail apart beside the window's.
struct ExtractMode {
  bool decode_names = false;  // each part named as a mail reader names it (mailnames.h)
  bool list = false;          // each Base64 part told to the host (PartListed); nothing written
};

// The same for a mail already open (standard input), named `target` in the messages.
void ExtractAttachmentsFrom(File& input, const char* target, Owner owner, const Services& sv,
                            ExtractMode mode = ExtractMode());

// The command: every Base64 attachment of the mail file `target` goes, decoded, to a file the
// user names in the save dialog. Shows exactly one final message box.
void ExtractAttachments(const char* target, Owner owner, const Services& sv,
                        ExtractMode mode = ExtractMode());

}  // namespace velko

#endif
