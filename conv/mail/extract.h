// Extraction of the Base64 attachments of a mail file.
#ifndef VELKO_CONV_MAIL_EXTRACT_H
#define VELKO_CONV_MAIL_EXTRACT_H

#include <cstddef>

#include "ports/fileops.h"
#include "text/frame.h"
#include "ports/host.h"
#include "mail/mailnames.h"

namespace velko {

// What the scan keeps from line to line.
struct ExtractState {
  char PendingName[kPathSize];  // the quoted name last found; then the chosen path
  bool Base64Announced;         // a header line announced Base64 since the last extraction
};

// Examines one line as read (converted to Shift_JIS in `scan_area`, MAXCHRS bytes): a quoted
// FILENAME= value replaces `pending_name` (cut to 511 bytes at a character boundary); true
// when the line announces Base64 encoding. The line itself is not changed.
bool ScanHeaderLine(char* pending_name, const char* line, char* scan_area);

// Upper-cases the letters of a chosen path in place: on Win32 every one outside double-byte
// characters, on POSIX those of the final component only (folders keep their real names).
void UpperCaseChosenPath(char* path, PathStyle style);

// velko-cli's ways of taking a mail apart beside the window's.
struct ExtractMode {
  bool list = false;  // each Base64 part only told (PartSink::Listed); nothing written
};

// A part of a mail, as a sink hears of it.
struct Part {
  long line;          // where its header began
  NameForm form;      // where a mail reader takes its name from; kNone: nowhere
  const char* name;   // that name, in the platform's encoding for file names
  bool name_has_nul;  // a NUL stood in the decoded name (`name` stops there)
  bool window;        // the window's rules extract it
  // The MIME reading's (ExtractArchive); empty from the window's scan.
  unsigned long message = 0;   // its message in the file, from 1
  const char* number = "";     // its place in the message: "2", or "3.1", a file uuencoded in 3
  const char* type = "";       // its content type, lower-cased
  const char* encoding = "";   // its transfer encoding, lower-cased
  const char* made_name = "";  // a name made from the mail's name and the numbers
  const char* date = "";       // of its message, the words decoded, in UTF-8
  const char* subject = "";
  const char* from = "";
};
// Why a part stayed in the mail: no name; no file chosen; kept when its file exists; not of
// the transfer encodings asked for.
enum class SkipReason { kNoName, kNotTaken, kKept, kEncoding };
// A body as decoded: its bytes, whether the mail ended inside one of its lines, and how many
// lines ended in a character that completes no group (and is lost).
struct Body {
  unsigned long long bytes;
  bool cut;
  unsigned long long lone_characters;
};

// A front end that is no window: it names the files in the dialog's place, decides for a file
// that exists in the question's place, and hears of every part. A part's failure ends only
// that part. The windows have none.
class PartSink {
 public:
  virtual ~PartSink() = default;
  // `path` (kPathSize bytes) holds the name the mail gives; true, with the path to write in its
  // place, to take the part; false leaves it in the mail.
  virtual bool Choose(const Part& part, char* path) = 0;
  // The chosen file exists: kYes overwrites it, kNo appends, kCancel leaves the part. May first
  // put another, free name into `path` and answer kYes.
  virtual Answer Exists(const Part& part, char* path) = 0;
  virtual void Skipped(const Part& part, SkipReason reason) = 0;
  virtual void Listed(const Part& part, const Body& body) = 0;
  virtual void Written(const Part& part, const char* path, bool appended, const Body& body) = 0;
  // The bytes of the part being written, as they are written.
  virtual void Bytes(const unsigned char* bytes, std::size_t n) { (void)bytes, (void)n; }
  // The window's message for it: one of the printf-style texts of texts.h with its paths.
  virtual void Failed(const Part& part, const char* format, const char* path,
                      const char* other) = 0;
};

// The command: every Base64 attachment of the mail file `target` goes, decoded, to a file the
// user names in the save dialog (or `sink` chooses). Shows exactly one final box, `completion`
// when the end of the mail was reached, and then returns true.
bool ExtractAttachments(const char* target, const char* completion, Owner owner, const Services& sv,
                        const ExtractMode& mode = ExtractMode(), PartSink* sink = nullptr);

// The same for a mail already open (standard input), named `target` in the messages.
bool ExtractAttachmentsFrom(File& input, const char* target, const char* completion, Owner owner,
                            const Services& sv, const ExtractMode& mode = ExtractMode(),
                            PartSink* sink = nullptr);

}  // namespace velko

#endif
