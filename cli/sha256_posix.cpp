#include <nettle/sha2.h>


#include "sha256.h"

namespace velko {

struct Sha256::State {
  sha256_ctx context;
};

Sha256::Sha256() : state_(new State) { Restart(); }
Sha256::~Sha256() = default;

void Sha256::Restart() { sha256_init(&state_->context); }

void Sha256::Update(const unsigned char* bytes, std::size_t n) {
  sha256_update(&state_->context, n, bytes);
}

std::string Sha256::Hex() {
  unsigned char digest[SHA256_DIGEST_SIZE];
  sha256_digest(&state_->context, sizeof digest, digest);  // and starts afresh
  return HexOf(digest, sizeof digest);
}

}  // namespace velko
