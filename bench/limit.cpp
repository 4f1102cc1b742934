// What any converter that reads, copies and writes must spend: read() 64 KiB, memcpy it to a
// second buffer, write() that, to the end of FILE, onto standard output.
//   limit FILE > OUT
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: limit FILE > OUT\n");
    return 2;
  }
  const int in = ::open(argv[1], O_RDONLY);
  if (in < 0) {
    std::perror(argv[1]);
    return 1;
  }
  constexpr std::size_t kPiece = 64 * 1024;
  std::vector<char> from(kPiece), to(kPiece);
  for (;;) {
    const ssize_t n = ::read(in, from.data(), kPiece);
    if (n < 0) {
      std::perror("read");
      return 1;
    }
    if (n == 0) break;
    std::memcpy(to.data(), from.data(), static_cast<std::size_t>(n));
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::write(1, to.data() + done, static_cast<std::size_t>(n - done));
      if (w < 0) {
        std::perror("write");
        return 1;
      }
      done += w;
    }
  }
  return ::close(in) == 0 ? 0 : 1;
}
