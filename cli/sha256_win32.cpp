#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>


#include "sha256.h"

namespace velko {

struct Sha256::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
};

Sha256::Sha256() : state_(new State) {
  BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
  Restart();
}

Sha256::~Sha256() {
  if (state_->hash) BCryptDestroyHash(state_->hash);
  if (state_->algorithm) BCryptCloseAlgorithmProvider(state_->algorithm, 0);
}

void Sha256::Restart() {
  if (state_->hash) BCryptDestroyHash(state_->hash);
  state_->hash = nullptr;
  if (state_->algorithm) {
    BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0);
  }
}

void Sha256::Update(const unsigned char* bytes, std::size_t n) {
  // ULONG counts: a large buffer goes in pieces.
  while (state_->hash && n > 0) {
    const ULONG piece = n > 0x40000000 ? 0x40000000 : static_cast<ULONG>(n);
    BCryptHashData(state_->hash, const_cast<PUCHAR>(bytes), piece, 0);
    bytes += piece, n -= piece;
  }
}

std::string Sha256::Hex() {
  unsigned char digest[32] = {};
  if (state_->hash) BCryptFinishHash(state_->hash, digest, sizeof digest, 0);
  Restart();
  return HexOf(digest, sizeof digest);
}

}  // namespace velko
