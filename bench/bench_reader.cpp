// Reads one statement file with parse_statement several times and prints the best time, the rate and the
// peak memory beyond the input; then the best time of the same reading on one thread.
//
//   bench_reader STATEMENT [RUNS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "../core/src/read/single_pass.h"
#include "quorlane/decode.h"
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
    auto result = quorlane::parse_statement(input);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!result) {
      std::fprintf(stderr, "error: %s\n", quorlane::message(result.error()).c_str());
      return 1;
    }
    documents = result.value().documents.size();
    if (seconds < best) best = seconds;
  }
  const double extra = peak_rss_bytes() - baseline;

  // The same reading kept on this thread: what parse_statement does for a statement too small to be worth
  // a second thread, or when none can be started.
  double one_thread = 1e300;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    auto decoded = quorlane::decode_input(input);
    if (!decoded || !quorlane::check_first_line(decoded.value().text())) return 1;
    auto result = quorlane::detail::read_statement_checking(decoded.value());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!result) return 1;
    if (seconds < one_thread) one_thread = seconds;
  }
  const double mb = static_cast<double>(input.size()) / 1e6;
  std::printf(
      "bytes=%zu documents=%zu seconds=%.4f mb_per_s=%.1f peak_extra_mb=%.1f peak_extra_ratio=%.2f "
      "one_thread_seconds=%.4f\n",
      input.size(), documents, best, mb / best, extra / 1e6, extra / static_cast<double>(input.size()), one_thread);
  return 0;
}
