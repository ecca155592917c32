// Throughput of decoding and classifying a statement as the reader uses it: decode_input, the first-line
// check, the whole-text classification pass and one full iteration over the classified lines.
//
//   bench_decode PATH [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "quorlane/decode.h"
#include "quorlane/lines.h"

namespace {

struct Outcome {
  bool ok = false;
  std::uint64_t lines = 0;
  std::uint64_t bytes = 0;  // key and value bytes seen, so that the iteration cannot be left out
};

Outcome decode_and_classify(std::string_view input) {
  Outcome outcome;
  auto decoded = quorlane::decode_input(input);
  if (!decoded) return outcome;
  const std::string_view text = decoded.value().text();
  if (!quorlane::check_first_line(text)) return outcome;
  auto lines = quorlane::classify_lines(text);
  if (!lines) return outcome;
  auto cursor = lines.value().cursor();
  quorlane::ClassifiedLine line;
  while (cursor.next(line)) {
    ++outcome.lines;
    outcome.bytes += line.key.size() + line.value.size();
  }
  outcome.ok = true;
  return outcome;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PATH [RUNS]\n", argv[0]);
    return 2;
  }
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
  std::ifstream file(argv[1], std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 2;
  }
  const std::string input((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());

  auto decoded = quorlane::decode_input(input);
  const char* encoding = decoded ? quorlane::encoding_name(decoded.value().encoding()).data() : "rejected";
  std::vector<double> decode_seconds;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    auto again = quorlane::decode_input(input);
    const auto stop = std::chrono::steady_clock::now();
    if (!again) return 1;
    decode_seconds.push_back(std::chrono::duration<double>(stop - start).count());
  }
  std::vector<double> seconds;
  Outcome outcome;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    outcome = decode_and_classify(input);
    const auto stop = std::chrono::steady_clock::now();
    seconds.push_back(std::chrono::duration<double>(stop - start).count());
  }
  if (!outcome.ok) {
    std::fprintf(stderr, "%s: not a readable statement\n", argv[1]);
    return 1;
  }
  std::sort(seconds.begin(), seconds.end());
  std::sort(decode_seconds.begin(), decode_seconds.end());
  const double mb = static_cast<double>(input.size()) / 1e6;
  const double best = seconds.front(), median = seconds[seconds.size() / 2];
  std::printf("%s: %.1f MB, %s, %llu lines, %d runs\n", argv[1], mb, encoding,
              static_cast<unsigned long long>(outcome.lines), runs);
  std::printf("decode + classify + iterate:\n");
  std::printf("best   %8.2f ms  %8.1f MB/s  %6.2f GB/s\n", best * 1e3, mb / best, mb / best / 1e3);
  std::printf("median %8.2f ms  %8.1f MB/s  %6.2f GB/s\n", median * 1e3, mb / median, mb / median / 1e3);
  const double decode_best = decode_seconds.front(), decode_median = decode_seconds[decode_seconds.size() / 2];
  std::printf("decode_input alone: best %.2f ms (%.2f GB/s), median %.2f ms (%.2f GB/s)\n", decode_best * 1e3,
              mb / decode_best / 1e3, decode_median * 1e3, mb / decode_median / 1e3);
  return 0;
}
