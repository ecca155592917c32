// Classifying a statement's lines on a second thread while the reader takes them on the calling one. For a
// large statement read without hooks, the two halves of the work (finding and classifying lines, with the
// windows-1251 decoding; then converting and filing the records) cost about the same, so running them side
// by side nearly halves the time. The lines pass through a small ring of batches that stays in the cache.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <thread>

#include "quorlane/decode.h"
#include "quorlane/errors.h"
#include "quorlane/lines.h"

namespace quorlane::detail {

class LinePipeline {
 public:
  // The input bytes decoded at a time when the text is decoded while it is read (cut at a line end).
  static constexpr std::size_t kDefaultPieceBytes = std::size_t{256} << 10;

  // Starts the classifying thread over the ready text of `decoded`, which it decodes to its end as it goes.
  // `decoded` must outlive this object, and the caller must not decode it meanwhile.
  // Throws std::system_error when no thread can be started (nothing has happened then).
  explicit LinePipeline(DecodedInput& decoded, std::size_t piece_bytes = kDefaultPieceBytes);
  LinePipeline(const LinePipeline&) = delete;
  LinePipeline& operator=(const LinePipeline&) = delete;
  // Stops the thread early if it is still running.
  ~LinePipeline();

  // The next non-blank line; false at the end of the text, or at its first unrecognised line.
  bool next(ClassifiedLine& line) noexcept;
  // The first unrecognised line of the whole text, after looking through the lines not taken yet.
  std::optional<StatementError> unrecognized();

 private:
  static constexpr std::size_t kBatchLines = 512;
  static constexpr std::uint32_t kSlots = 16;
  struct Batch {
    std::array<ClassifiedLine, kBatchLines> lines;
    std::uint32_t count = 0;
    bool last = false;  // no batch follows
  };

  void produce() noexcept;
  // Publishes the batch being filled; false when the pipeline is being stopped.
  bool publish(bool last) noexcept;
  // Gives the current batch back and waits for the next one.
  void take_next_batch() noexcept;

  DecodedInput& decoded_;
  const std::size_t piece_bytes_;
  std::unique_ptr<Batch[]> ring_;
  std::atomic<std::uint32_t> produced_{0};  // batches published, counting on (wrapping is harmless)
  std::atomic<std::uint32_t> consumed_{0};  // batches given back
  std::atomic<bool> stopping_{false};
  // Written by the thread before it publishes its last batch.
  std::string_view unrecognized_;
  std::uint64_t unrecognized_lineno_ = 0;
  // The consumer's side.
  const Batch* current_ = nullptr;
  std::size_t index_ = 0;
  bool ended_ = false;
  std::thread thread_;  // last: it starts once everything above is in place
};

}  // namespace quorlane::detail
