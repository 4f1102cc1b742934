// SHA-256 of an attachment's bytes, by the platform's library (nettle; Windows' CNG).
#ifndef VELKO_CLI_SHA256_H
#define VELKO_CLI_SHA256_H

#include <cstddef>
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
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace velko

#endif
