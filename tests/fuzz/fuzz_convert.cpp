// Every line step and the decoder on arbitrary bytes, from exact-size buffers: the sanitizers
// see any read past a NUL or write past a documented bound.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>

#include "b64text.h"
#include "base64.h"
#include "jis.h"
#include "ruled.h"

namespace {

std::unique_ptr<char[]> Copy(const char* text, std::size_t size) {
  std::unique_ptr<char[]> copy(new char[size]);
  std::memcpy(copy.get(), text, std::strlen(text) + 1);
  return copy;
}

void Require(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 9999) size = 9999;  // no line is longer than one read
  std::unique_ptr<char[]> line(new char[size + 1]);
  std::memcpy(line.get(), data, size);
  line[size] = 0;
  const std::size_t len = std::strlen(line.get());
  std::unique_ptr<char[]> in = Copy(line.get(), len + 1);

  std::unique_ptr<char[]> jis(new char[3 * len + 3]);
  velko::SjisToJisLine(jis.get(), in.get());
  Require(std::strlen(jis.get()) <= 3 * len + 2);
  std::unique_ptr<char[]> sjis(new char[len + 1]);
  velko::JisToSjisLine(sjis.get(), in.get());
  Require(std::strlen(sjis.get()) <= len);

  for (velko::RuledLineSubstitution substitution :
       {velko::NecToJisRuledLines, velko::JisToNecRuledLines}) {
    std::unique_ptr<char[]> ruled = Copy(in.get(), 3 * len + 3);
    std::unique_ptr<char[]> work(new char[len + 1]);
    velko::RuledLineStep(ruled.get(), work.get(), substitution);
  }

  std::unique_ptr<char[]> text = Copy(in.get(), len + 1);
  std::unique_ptr<char[]> work(new char[len + 1]);
  velko::B64TextStep(text.get(), work.get());
  Require(std::strlen(text.get()) <= len);

  std::unique_ptr<unsigned char[]> decoded(new unsigned char[3 * ((len + 3) / 4) + 1]);
  std::size_t n = velko::DecodeBase64(decoded.get(), in.get());
  Require(n <= 3 * ((len + 3) / 4) && decoded[n] == 0);
  velko::IsBase64Text(in.get());
  return 0;
}
