// SHA-256 of an attachment's bytes, by the platform's library (nettle; Windows' CNG).
#ifndef VELKO_CLI_SHA256_H
#define VELKO_CLI_SHA256_H

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

namespace velko {

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  void Restart();
  void Update(const unsigned char* bytes, std::size_t n);
  // The digest of what came since the last Restart, in lower-case hexadecimal.
  std::string Hex();

 private:
  static std::string HexOf(const unsigned char* digest, std::size_t n) {
    std::string hex;
    for (std::size_t i = 0; i < n; ++i) {
      char two[3];
      std::snprintf(two, sizeof two, "%02x", digest[i]);
      hex += two;
    }
    return hex;
  }
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace velko

#endif
