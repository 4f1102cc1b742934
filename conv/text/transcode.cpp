#include "text/transcode.h"

#include <cstring>
#include <new>

#include "codec/simd.h"
#include "velko/utf8.h"

namespace velko {
namespace {

constexpr std::size_t kBlock = 128 * 1024;
// Room for what the coder makes of a block and of the few bytes it kept from the one before,
// replacements included: at most four bytes a byte (into JIS), and three more to end in ASCII.
constexpr std::size_t kOut = 4 * (kBlock + 16) + 64;
constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

Transcoding::Transcoding(const TranscodeOptions& options)
    : options_(options),
      decoder_(options.from, DecoderOptions{options.jis_readings}),
      encoder_(options.to, EncoderOptions{options.pc98, options.kana}) {}

bool Transcoding::Prepare() {
  in_.reset(new (std::nothrow) unsigned char[kBlock + sizeof kUtf8Bom]);
  out_.reset(new (std::nothrow) unsigned char[kOut]);
  if (!in_ || !out_) return false;
  if (options_.crlf) {
    eol_.reset(new (std::nothrow) unsigned char[2 * kOut]);
    if (!eol_) return false;
  }
  return true;
}

bool Transcoding::Tracking() const {
  const bool jis_rows = options_.to == Charset::kJis || options_.to == Charset::kEucJp;
  return report_.unmapped < TranscodeReport::kShown || (jis_rows && report_.first_vendor_line == 0);
}

void Transcoding::CountLines(unsigned long long to) {
  if (to <= base_) return;  // counted with the blocks before
  const unsigned char* const end = block_ + (to - base_ < block_size_ ? to - base_ : block_size_);
  const unsigned char* p = counted_;
  if (p >= end) return;
  const unsigned char* const from = p;
  unsigned long long lines = 0;
#if VELKO_SIMD
  // A count a byte, summed every 255 blocks before one could overflow.
  while (end - p >= simd::kWidth) {
    simd::V counts = simd::Zero();
    for (int i = 0; i < 255 && end - p >= simd::kWidth; ++i, p += simd::kWidth) {
      counts = simd::Sub8(counts, simd::Eq(simd::Load(p), '\n'));
    }
    lines += simd::SumBytes(counts);
  }
#endif
  for (; p < end; ++p) lines += *p == '\n';
  if (lines > 0) {
    line_ += lines;
    // The last LFs, the latest last, for a place the coder tells after they were counted.
    const unsigned char* last[kLastLfs];
    unsigned found = 0;
    for (const unsigned char* q = end; q > from && found < kLastLfs;) {
      if (*--q == '\n') last[found++] = q;
    }
    const unsigned keep = last_lfs_ + found > kLastLfs ? kLastLfs - found : last_lfs_;
    std::memmove(lfs_, lfs_ + last_lfs_ - keep, keep * sizeof lfs_[0]);
    for (unsigned i = 0; i < found; ++i) lfs_[keep + i] = base_ + (last[found - 1 - i] - block_);
    last_lfs_ = keep + found;
    line_start_ = lfs_[last_lfs_ - 1] + 1;
  }
  counted_ = end;
}

void Transcoding::Place(unsigned long long at, unsigned long long* line,
                        unsigned long long* column) {
  CountLines(at);
  *line = line_;
  unsigned long long start = line_start_;
  // A sequence the coder kept from a block counted whole may lie before the last LFs counted
  // (a kana waiting for what follows it, and the line end after it): those come off again.
  if (last_lfs_ > 0 && lfs_[last_lfs_ - 1] >= at) {
    start = 0;
    for (unsigned i = last_lfs_; i-- > 0;) {
      if (lfs_[i] < at) {
        start = lfs_[i] + 1;
        break;
      }
      --*line;
    }
  }
  *column = at - start + 1;
}

void Transcoding::Lost(const CodecResult& r, unsigned char** d) {
  if (report_.unmapped < TranscodeReport::kShown) {
    Unmapped& u = report_.shown[report_.unmapped];
    Place(r.at + skipped_, &u.line, &u.column);
    std::memcpy(u.bytes, r.bytes, sizeof u.bytes);
    u.length = r.length;
    u.character = r.character;
  }
  ++report_.unmapped;
  report_.invalid += r.status == CodecStatus::kMalformed;
  // Into JIS the coder is back in ASCII already.
  if (options_.to == Charset::kUtf8) {
    *d += WriteUtf8(kReplacement, *d);
  } else {
    *(*d)++ = '?';
  }
}

bool Transcoding::Flush(File& out, unsigned char** d) {
  const unsigned char* text = out_.get();
  std::size_t size = static_cast<std::size_t>(*d - text);
  if (options_.crlf) {
    unsigned char* e = eol_.get();
    for (std::size_t i = 0; i < size; ++i) {
      if (text[i] == '\n' && !last_cr_) *e++ = '\r';
      last_cr_ = text[i] == '\r';
      *e++ = text[i];
    }
    text = eol_.get();
    size = static_cast<std::size_t>(e - text);
  }
  *d = out_.get();
  return size == 0 || out.Write(text, size);
}

LinesResult Transcoding::Run(File& in, File& out) {
  report_ = TranscodeReport();
  decoder_.Reset();
  encoder_.Reset();
  last_cr_ = false;
  skipped_ = 0;
  base_ = 0;
  line_ = 1;
  line_start_ = 0;
  last_lfs_ = 0;
  const bool from_utf8 = options_.from == Charset::kUtf8;
  bool bom_seen = !from_utf8;  // one at the start of UTF-8 is dropped
  unsigned char* d = out_.get();
  unsigned char* const out_end = out_.get() + kOut;
  if (options_.bom && options_.to == Charset::kUtf8) d += WriteUtf8(0xFEFF, d);
  LinesResult result = LinesResult::kDone;
  std::size_t carry = 0;  // the start of a text that may yet be a byte order mark
  for (bool last = false; !last && result == LinesResult::kDone;) {
    unsigned char* const s = in_.get();
    const long got = in.Read(s + carry, kBlock);
    if (got < 0) {
      result = LinesResult::kReadError;
      break;
    }
    last = got == 0;
    const std::size_t n = carry + static_cast<std::size_t>(got);
    std::size_t taken = 0;
    carry = 0;
    if (!bom_seen) {
      const std::size_t have = n < 3 ? n : 3;
      if (have < 3 && !last && std::memcmp(s, kUtf8Bom, have) == 0) {
        carry = n;
        continue;
      }
      bom_seen = true;
      if (have == 3 && std::memcmp(s, kUtf8Bom, 3) == 0) taken = skipped_ = 3;
    }
    block_ = counted_ = s;
    block_size_ = n;
    while (true) {
      const std::size_t room = static_cast<std::size_t>(out_end - d);
      const CodecResult r = from_utf8 ? encoder_.EncodeFromUtf8(s + taken, n - taken, d, room, last)
                                      : decoder_.DecodeToUtf8(s + taken, n - taken, d, room, last);
      taken += r.read;
      d += r.written;
      if (encoder_.VendorCodes() > 0 && report_.first_vendor_line == 0) {
        unsigned long long column;
        Place(encoder_.FirstVendorCode() + skipped_, &report_.first_vendor_line, &column);
      }
      if (r.status == CodecStatus::kInputEmpty) break;
      // Room for the replacement, or for what did not fit.
      if ((r.status == CodecStatus::kOutputFull || out_end - d < 4) && !Flush(out, &d)) {
        result = LinesResult::kWriteError;
        break;
      }
      if (r.status == CodecStatus::kOutputFull) continue;
      Lost(r, &d);
      if (options_.stop_at_unmapped) {
        result = LinesResult::kStopped;
        break;
      }
    }
    if (result != LinesResult::kDone) break;
    if (Tracking()) CountLines(base_ + n);
    if (!Flush(out, &d)) result = LinesResult::kWriteError;
    base_ += n;
  }
  report_.vendor = encoder_.VendorCodes();
  in.Close();
  const bool closed = out.Close();
  return result == LinesResult::kDone && !closed ? LinesResult::kWriteError : result;
}

}  // namespace velko
