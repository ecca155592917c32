// Reads one statement file with parse_statement several times and prints the best time, the rate and the
// peak memory beyond the input.
//
//   bench_reader STATEMENT [RUNS [PIECE_SIZE]]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "quorlane/parse.h"

namespace {

// The high-water mark of this process's resident memory. Read from /proc rather than getrusage(): a child
// process's ru_maxrss starts at its parent's, which hides everything below it when a script runs this.
double peak_rss_bytes() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return 0;
  char line[256];
  double kilobytes = 0;
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::sscanf(line, "VmHWM: %lf kB", &kilobytes) == 1) break;
  }
  std::fclose(status);
  return kilobytes * 1024.0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s STATEMENT [RUNS]\n", argv[0]);
    return 2;
  }
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  quorlane::ReadOptions options;
  if (argc > 3) options.piece_size = static_cast<std::size_t>(std::atoll(argv[3]));
  // Read at the final size in one piece, so that the baseline peak is the input and nothing more.
  std::ifstream in(argv[1], std::ios::binary | std::ios::ate);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 2;
  }
  std::string input(static_cast<std::size_t>(in.tellg()), '\0');
  in.seekg(0);
  in.read(input.data(), static_cast<std::streamsize>(input.size()));
  const double baseline = peak_rss_bytes();

  double best = 1e300;
  std::size_t documents = 0;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    auto result = quorlane::parse_statement(input, {}, options);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!result) {
      std::fprintf(stderr, "error: %s\n", quorlane::message(result.error()).c_str());
      return 1;
    }
    documents = result.value().documents.size();
    if (seconds < best) best = seconds;
  }
  const double extra = peak_rss_bytes() - baseline;

  const double mb = static_cast<double>(input.size()) / 1e6;
  std::printf(
      "bytes=%zu documents=%zu seconds=%.4f mb_per_s=%.1f peak_extra_mb=%.1f peak_extra_ratio=%.2f\n",
      input.size(), documents, best, mb / best, extra / 1e6, extra / static_cast<double>(input.size()));
  return 0;
}
