// Throughput of making a statement's text and walking its lines, as the reader takes them: the text source
// (UTF-8 checked in place, or windows-1251 decoded a piece at a time) and the line cursor, without reading.
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

#include "quorlane/lines.h"
#include "quorlane/text_source.h"

namespace {

struct Outcome {
  bool ok = false;
  std::uint64_t lines = 0;
  std::uint64_t bytes = 0;  // key and value bytes seen, so that the walk cannot be left out
};

Outcome walk_lines(std::string_view input) {
  Outcome outcome;
  auto source = quorlane::TextSource::of_bytes(input, {});
  if (!source) return outcome;
  quorlane::LineCursor lines(source.value());
  quorlane::ClassifiedLine line;
  while (lines.next(line)) {
    ++outcome.lines;
    outcome.bytes += line.key.size() + line.value.size();
  }
  outcome.ok = lines.finish().ok();
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
  auto source = quorlane::TextSource::of_bytes(input, {});
  const char* encoding = source ? quorlane::encoding_name(source.value().encoding()).data() : "rejected";

  std::vector<double> seconds;
  Outcome outcome;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    outcome = walk_lines(input);
    const auto stop = std::chrono::steady_clock::now();
    seconds.push_back(std::chrono::duration<double>(stop - start).count());
  }
  if (!outcome.ok) {
    std::fprintf(stderr, "%s: not a readable statement\n", argv[1]);
    return 1;
  }
  std::sort(seconds.begin(), seconds.end());
  const double mb = static_cast<double>(input.size()) / 1e6;
  const double best = seconds.front(), median = seconds[seconds.size() / 2];
  std::printf("%s: %.1f MB, %s, %llu lines, %d runs\n", argv[1], mb, encoding,
              static_cast<unsigned long long>(outcome.lines), runs);
  std::printf("text + lines:\n");
  std::printf("best   %8.2f ms  %8.1f MB/s  %6.2f GB/s\n", best * 1e3, mb / best, mb / best / 1e3);
  std::printf("median %8.2f ms  %8.1f MB/s  %6.2f GB/s\n", median * 1e3, mb / median, mb / median / 1e3);
  return 0;
}
