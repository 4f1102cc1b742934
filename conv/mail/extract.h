// Extraction of the Base64 attachments of a mail file.
#ifndef VELKO_CONV_MAIL_EXTRACT_H
#define VELKO_CONV_MAIL_EXTRACT_H

#include <cstddef>
#include <memory>

#include "ports/fileops.h"
#include "text/frame.h"
#include "ports/host.h"
#include "mail/mailnames.h"
#include "codec/base64.h"

namespace velko {

// What the scan keeps from line to line.
struct ExtractState {
  char PendingName[kPathSize];  // the quoted name last found; then the chosen path
  bool Base64Announced;         // a header line announced Base64 since the last extraction
};

// Examines one line as read (converted to Shift_JIS in `scan_area`, MAXCHRS bytes): a quoted
// FILENAME= value replaces `pending_name` (cut to 511 bytes at a character boundary); true
// when the line announces Base64 encoding. The line itself is not changed; it ends at its
// first NUL, or after `length` bytes.
bool ScanHeaderLine(char* pending_name, const char* line, char* scan_area);
bool ScanHeaderLine(char* pending_name, const char* line, std::size_t length, char* scan_area);

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
  const char* number = "";     // its place in the message: "2", "3.1" (a file uuencoded in 3,
                               // or the second part of a mail forwarded as part 3)
  const char* type = "";       // its content type, lower-cased
  const char* encoding = "";   // its transfer encoding, lower-cased
  const char* made_name = "";  // a name made from the mail's name and the numbers
  const char* date = "";       // of its message, the words decoded, in UTF-8
  const char* subject = "";
  const char* from = "";
  unsigned slot = 0;           // parts written at the same time (a forwarded mail and its own
                               // parts) have slots of their own
  bool archive = false;        // its file holds several messages (an mbox)
  bool name_kept = false;      // an encoded word of its name did not decode and stands as it is
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
  unsigned long long skipped = 0;  // bytes outside its encoding, passed over
  bool as_it_stands = false;       // uuencode without a "begin" line: kept undecoded
};
// The slots of parts written at the same time: the reading's part, the window's that the
// reading has no part for, and the forwarded mails around them.
constexpr unsigned kSlotPart = 0, kSlotWindow = 1, kSlotForwarded = 2;
// What a reading met beside the parts.
enum class MailNote { kTooDeep };

// Where the parts go: it names the files, decides for a file that exists, and hears of every
// part. The window's is its dialogs and boxes (DialogSink), where a failure ends the command;
// for velko-cli a part's failure ends only that part.
class PartSink {
 public:
  virtual ~PartSink() = default;
  // `path` (kPathSize bytes) holds the name the mail gives: true, with the path to write in its
  // place, to take the part; false leaves it in the mail.
  virtual bool Choose(const Part& part, char* path) = 0;
  // The chosen file exists: kYes overwrites it, kNo appends, kCancel leaves the part. May first
  // put another, free name into `path` and answer kYes.
  virtual Answer Exists(const Part& part, char* path) = 0;
  // Another writer took the chosen name while the part was written: true with another free
  // name in `path`; false leaves the part under its temporary name, failed.
  virtual bool Taken(const Part& part, char* path) { return (void)part, (void)path, false; }
  virtual void Skipped(const Part& part, SkipReason reason) = 0;
  virtual void Listed(const Part& part, const Body& body) = 0;
  virtual void Written(const Part& part, const char* path, bool appended, const Body& body) = 0;
  // The bytes of the part in `slot` being written, as they are written.
  virtual void Bytes(unsigned slot, const unsigned char* bytes, std::size_t n) {
    (void)slot, (void)bytes, (void)n;
  }
  // The window's message for it: one of the printf-style texts of texts.h with its paths.
  virtual void Failed(const Part& part, const char* format, const char* path,
                      const char* other) = 0;
  // A failure ends the command: the input is closed before it is told.
  virtual bool Stops() const { return false; }
  virtual void Noted(const Part& where, MailNote note) { (void)where, (void)note; }
};

// The window's: its save dialog, its question and its error boxes.
class DialogSink : public PartSink {
 public:
  DialogSink(Host& host, Owner owner) : host_(host), owner_(owner) {}
  bool Choose(const Part&, char* path) override { return host_.SaveFileDialog(owner_, path); }
  Answer Exists(const Part&, char*) override;
  void Skipped(const Part&, SkipReason) override {}
  void Listed(const Part&, const Body&) override {}
  void Written(const Part&, const char*, bool, const Body&) override {}
  void Failed(const Part&, const char* format, const char* path, const char* other) override {
    host_.ShowError(owner_, format, path, other);
  }
  bool Stops() const override { return true; }

 private:
  Host& host_;
  Owner owner_;
};

class PartFile;
class LineReader;

// The window's reading of a mail: its line scan and its bodies, a piece at a time as its reads
// give them (at most kReadLimit - 1 bytes, a line or what the read limit cut of one). The
// window's command is this over the whole mail; the MIME reading follows it over the same
// pieces, and saves what it finds that the MIME structure does not.
class WindowScan {
 public:
  static constexpr std::size_t kOutput = 256 * 1024;
  struct Areas {
    char scan[MAXCHRS];
    char output[kOutput];
    PartHeader header;  // the part's header lines, as a mail reader takes them
    char name[kPathSize];
    char made[kPathSize];
    char type[128];
    char work[kNameWork];
  };
  // `follow`: the MIME reading's; a part begins at the piece after its blank line, unless the
  // reading takes it as its own first (Follow). `input` is closed before a failure that stops.
  WindowScan(const Services& sv, PartSink& sink, const char* target, FileId mail, Areas& areas,
             const ExtractMode& mode, File* input, bool follow);
  ~WindowScan();

  enum class Step { kGoOn, kStopped };
  // One piece (`length` bytes, a NUL after them) and the line it is on; not changed.
  Step Piece(const char* piece, std::size_t length, long line);
  // The mail ended: a body being read ends with it (`cut`: inside a line).
  Step End();
  // The input failed: a body being written is dropped.
  void Abort();
  // Whole lines of Base64 alone change nothing here but what a body of its own writes.
  bool Transparent() const { return body_ != BodyOf::kOwn && !starting_; }
  // In a body of its own, between lines with nothing carried: whole lines may come at once.
  bool Idle() const;
  // Those lines, taken from `reader` as its reads would give them; their count.
  Step TakeLines(LineReader& reader, unsigned long long* lines);
  // The reading takes the part beginning here as its own: this only follows its body.
  void Follow() { starting_ = false, body_ = BodyOf::kFollowed, continued_ = false; }
  bool starting() const { return starting_; }
  // What the reading's parts of its own carry beside the name (message, number of the part
  // they stand in, ...); `made_stem` begins the names made for them, `files` counts them
  // with the files uuencoded in the same part.
  Part context{0, NameForm::kNone, "", false, true};
  const char* made_stem = "";
  unsigned* files = nullptr;

 private:
  enum class BodyOf { kNone, kOwn, kFollowed };
  void Scan(const char* line, std::size_t length);
  Step BlankLine();
  Step Start();
  Step BodyPiece(const char* piece, std::size_t length);
  Step EndBody(const char* line, std::size_t length);
  Step Fail(const Part& part, const char* format, const char* path, const char* other = "");
  Part ThisPart(bool window) const;

  const Services& sv_;
  PartSink& sink_;
  FileId mail_;
  Areas& a_;
  const ExtractMode& mode_;
  File* input_;
  bool follow_;
  ExtractState state_{};
  Base64Pieces base64_;
  std::unique_ptr<PartFile> file_;
  BodyOf body_ = BodyOf::kNone;
  bool starting_ = false;   // a part begins at the next piece
  bool window_ = false;     // the part now read is the window's (not only Base64 to --list)
  bool writing_ = false, ok_ = true, continued_ = false;
  const char* failure_ = nullptr;
  long line_ = 0, part_line_ = 0;
  bool in_header_ = false, announced_ = false;
  NameForm form_ = NameForm::kNone;
  bool name_nul_ = false;
  unsigned parts_ = 0;  // of its own, for their numbers
  char number_[32] = "";
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
