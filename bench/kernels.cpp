// In memory, no files written: the speed of every kernel on every instruction set this CPU
// runs, in MB/s of input (10^6 bytes), best of five passes; then the codec's Decoder and Encoder
// for every charset to and from UTF-8 (one build for every set: their ASCII runs go sixteen
// bytes at a time where SSE2 is), pieces of 128 KiB as a file is transcoded.
//   velko_kernel_bench NAME=FILE...   (Shift_JIS text; its JIS form and a Base64 form are made
//                                      from it first, untimed)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "codec/base64.h"
#include "codec/jis.h"
#include "codec/kernels.h"
#include "velko/codec.h"

namespace {

using velko::Kernels;

constexpr std::size_t kBlock = 64 * 1024;  // about what the frame hands over at once

// Calls `f(text, length)` for each line (or run of whole lines up to kBlock) of `s`, a NUL put
// after it for the call as the frame does.
template <typename F>
void Pieces(std::string& s, bool blocks, F&& f) {
  std::size_t at = 0;
  while (at < s.size()) {
    std::size_t stop = blocks ? s.rfind('\n', std::min(s.size(), at + kBlock) - 1)
                              : s.find('\n', at);
    stop = stop == std::string::npos || stop < at ? s.size() : stop + 1;
    char kept = s[stop];
    s[stop] = 0;
    f(s.data() + at, stop - at);
    s[stop] = kept;
    at = stop;
  }
}

template <typename F>
double Best(std::size_t bytes, F&& pass) {
  double best = 1e30;
  for (int run = 0; run < 5; ++run) {
    auto start = std::chrono::steady_clock::now();
    pass();
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  return bytes / best / 1e6;
}

std::string Base64Of(const std::string& s) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i + 2 < s.size(); i += 3) {
    unsigned v = static_cast<unsigned char>(s[i]) << 16 | static_cast<unsigned char>(s[i + 1]) << 8 |
                 static_cast<unsigned char>(s[i + 2]);
    for (int k = 18; k >= 0; k -= 6) out += kAlphabet[(v >> k) & 63];
    if (out.size() % 77 == 76) out += '\n';  // lines of 76, as mail has them
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: velko_kernel_bench NAME=FILE...\n");
    return 2;
  }
  std::printf("| corpus | kernel | %-8s |", "form");
  for (velko::Isa isa : velko::kIsas) {
    const Kernels* k = velko::KernelsFor(isa);
    std::printf(" %s MB/s |", k ? k->name : "(none)");
  }
  std::printf("\n|---|---|---|---:|---:|---:|\n");
  for (int a = 1; a < argc; ++a) {
    std::string arg = argv[a];
    std::size_t eq = arg.find('=');
    std::string name = arg.substr(0, eq), path = arg.substr(eq + 1);
    std::ifstream file(path, std::ios::binary);
    std::string sjis((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    sjis.erase(std::remove(sjis.begin(), sjis.end(), '\0'), sjis.end());
    sjis.reserve(sjis.size() + 1);
    std::vector<char> out(8 * kBlock + 8 * 10000 + 64);
    std::string jis;
    const Kernels& scalar = *velko::KernelsFor(velko::Isa::kScalar);
    Pieces(sjis, false, [&](const char* text, std::size_t n) {
      bool direct, kana;
      jis.append(out.data(), scalar.sjis_to_jis_line(out.data(), text, n, &direct, &kana));
    });
    std::string base64 = Base64Of(sjis);
    struct Row {
      const char* kernel;
      const char* form;
      std::string* text;
      velko::Kana kana = velko::Kana::k8bit;
    } rows[] = {{"sjis2jis", "line", &sjis},
                {"sjis2jis", "block", &sjis},
                {"sjis2jis, lines as read", "block", &sjis},
                {"line scan (PlainLines)", "block", &sjis},
                {"sjis2jis --kana=full", "block", &sjis, velko::Kana::kFull},
                {"sjis2jis --kana=esc-i", "block", &sjis, velko::Kana::kEscI},
                {"jis2sjis", "line", &jis},
                {"jis2sjis", "block", &jis},
                {"base64", "line", &base64}};
    for (const Row& row : rows) {
      std::printf("| %s | %s | %-8s |", name.c_str(), row.kernel, row.form);
      for (velko::Isa isa : velko::kIsas) {
        const Kernels* k = velko::KernelsFor(isa);
        if (!k) {
          std::printf(" - |");
          continue;
        }
        const bool blocks = std::string(row.form) == "block";
        const bool to_jis = row.text == &sjis;
        unsigned long long fallbacks = 0, pieces = 0;
        velko::UseKernels(isa);
        double speed = Best(row.text->size(), [&] {
          fallbacks = pieces = 0;
          Pieces(*row.text, blocks, [&](const char* text, std::size_t n) {
            bool direct, kana;
            velko::BlockMarks marks;
            std::size_t made;
            ++pieces;
            if (row.text == &base64) {  // the whole decoder, a line at a time, as mail has it
              made = velko::DecodeBase64(reinterpret_cast<unsigned char*>(out.data()), text,
                                         n - (n > 0 && text[n - 1] == '\n'));
            } else if (std::string(row.kernel) == "line scan (PlainLines)") {
              unsigned long long lines;
              made = k->plain_lines(text, n, false, 10000, &lines);
            } else if (std::string(row.kernel) == "sjis2jis, lines as read") {
              velko::BlockTaken taken;  // the text is the string's own: the NUL it puts goes back
              made = k->sjis_to_jis_lines(out.data(), const_cast<char*>(text), n, false, 10000, &taken);
            } else if (row.kana != velko::Kana::k8bit) {
              made = k->sjis_to_jis_kana_block(out.data(), text, n, &marks, row.kana);
            } else if (to_jis) {
              made = blocks ? k->sjis_to_jis_block(out.data(), text, n, &marks)
                            : k->sjis_to_jis_line(out.data(), text, n, &direct, &kana);
            } else {
              made = blocks ? k->jis_to_sjis_block(out.data(), text, n, &marks)
                            : k->jis_to_sjis_line(out.data(), text, n, &direct);
            }
            fallbacks += made == velko::kNoBlock;
          });
        });
        if (blocks && fallbacks > 0 && row.text != &base64) {
          std::printf(" %.1f (%llu of %llu back to lines) |", speed, fallbacks, pieces);
        } else {
          std::printf(" %.1f |", speed);
        }
      }
      std::printf("\n");
    }
  }
  // The codec, as transcoding a file feeds it: pieces of 128 KiB into room for the worst; every
  // pair of charsets (the coders' loops are compiled once, for the build's instruction set).
  std::printf("\n| corpus | coder | MB/s |\n|---|---|---:|\n");
  constexpr std::size_t kPiece = 128 * 1024;
  std::vector<unsigned char> room(4 * (kPiece + 16) + 64);
  // Runs `call` over `in` a piece at a time; returns the bytes it wrote.
  auto pieces = [&](const std::string& in, auto&& call, std::string* kept) {
    unsigned long long made = 0;
    for (std::size_t at = 0; at < in.size(); at += kPiece) {
      const std::size_t n = std::min(kPiece, in.size() - at);
      for (std::size_t taken = 0; taken < n;) {
        const velko::CodecResult r = call(reinterpret_cast<const unsigned char*>(in.data()) + at + taken,
                                          n - taken, at + n == in.size());
        if (kept) kept->append(reinterpret_cast<char*>(room.data()), r.written);
        made += r.written;
        taken += r.read;
      }
    }
    return made;
  };
  using velko::Charset;
  for (int a = 1; a < argc; ++a) {
    std::string arg = argv[a];
    std::size_t eq = arg.find('=');
    std::ifstream file(arg.substr(eq + 1), std::ios::binary);
    std::string text[3];  // Shift_JIS, JIS, EUC-JP
    text[0].assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    std::string utf8;
    velko::Decoder reader(Charset::kShiftJis);
    pieces(text[0], [&](const unsigned char* s, std::size_t n, bool last) {
      return reader.DecodeToUtf8(s, n, room.data(), room.size(), last);
    }, &utf8);
    const Charset kCharsets[] = {Charset::kShiftJis, Charset::kJis, Charset::kEucJp};
    const char* const kNames[] = {"Shift_JIS", "JIS", "EUC-JP"};
    for (int c = 1; c < 3; ++c) {
      velko::Encoder writer(kCharsets[c]);
      pieces(utf8, [&](const unsigned char* s, std::size_t n, bool last) {
        return writer.EncodeFromUtf8(s, n, room.data(), room.size(), last);
      }, &text[c]);
    }
    for (int c = 0; c < 6; ++c) {
      const bool decode = c < 3;
      const Charset charset = kCharsets[c % 3];
      velko::Decoder decoder(charset);
      velko::Encoder encoder(charset);
      const std::string& in = decode ? text[c] : utf8;
      const double speed = Best(in.size(), [&] {
        pieces(in, [&](const unsigned char* s, std::size_t n, bool last) {
          return decode ? decoder.DecodeToUtf8(s, n, room.data(), room.size(), last)
                        : encoder.EncodeFromUtf8(s, n, room.data(), room.size(), last);
        }, nullptr);
      });
      std::printf("| %s | %s %s to %s | %.1f |\n", arg.substr(0, eq).c_str(),
                  decode ? "Decoder" : "Encoder", decode ? kNames[c] : "UTF-8",
                  decode ? "UTF-8" : kNames[c % 3], speed);
      std::fflush(stdout);
    }
  }
  return 0;
}
