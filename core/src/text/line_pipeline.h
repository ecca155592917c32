// Classifying a statement's lines on a second thread while the reader takes them on the calling one. For a
// large statement read without hooks, the two halves of the work (finding and classifying lines, with the
// windows-1251 decoding; then converting and filing the records) cost about the same, so running them side
// by side nearly halves the time. The lines pass through a small ring of batches that stays in the cache.
//
// A windows-1251 text is decoded piece by piece into a few buffers that are used again once the reader has
// left the sections they hold, so that its text never exists whole: writing fresh memory for all of it
// would cost more than the decoding does. An input taken as UTF-8 is checked piece by piece as well, here
// rather than before the reading starts; should a piece not be UTF-8, the reading is to be done anew.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "quorlane/decode.h"
#include "quorlane/errors.h"
#include "quorlane/lines.h"

namespace quorlane::detail {

class LinePipeline {
 public:
  // The input bytes decoded at a time when the text is decoded while it is read (cut at a line end).
  static constexpr std::size_t kDefaultPieceBytes = std::size_t{64} << 10;

  // Starts the classifying thread over the text of `decoded`, taking its undecoded() part as it goes.
  // `decoded` must outlive this object. Throws std::system_error when no thread can be started.
  explicit LinePipeline(const DecodedInput& decoded, std::size_t piece_bytes = kDefaultPieceBytes);
  LinePipeline(const LinePipeline&) = delete;
  LinePipeline& operator=(const LinePipeline&) = delete;
  // Stops the thread early if it is still running.
  ~LinePipeline();

  // The next non-blank line; false at the end of the text, or at its first unrecognised line.
  bool next(ClassifiedLine& line) noexcept;
  // Tells that no line before `position` (the start of a line taken) will be looked at again, so that the
  // buffers holding them may be used again.
  void release_before(const char* position) noexcept { release_mark_.store(position, std::memory_order_release); }
  // The first unrecognised line of the whole text, after looking through the lines not taken yet.
  // Throws std::bad_alloc when the thread ran out of memory (the reading is then cut short).
  std::optional<StatementError> unrecognized();
  // After unrecognized(): true when the input taken as UTF-8 is not UTF-8 after all, or code points hold a
  // lone surrogate (the lines given were then cut short, and the reading is void).
  bool not_utf8() const noexcept { return not_utf8_; }

 private:
  static constexpr std::size_t kBatchLines = 512;
  // A batch of long lines goes sooner: the text of the lines in the ring, and so the windows-1251 pieces
  // kept for them, stays within about kSlots times this.
  static constexpr std::size_t kBatchBytes = std::size_t{256} << 10;
  static constexpr std::uint32_t kSlots = 16;
  static constexpr std::uint32_t kWakeBatches = kSlots / 2;
  struct Batch {
    std::array<ClassifiedLine, kBatchLines> lines;
    std::uint32_t count = 0;
    bool last = false;  // no batch follows
  };
  struct Piece {
    std::unique_ptr<char[]> bytes;
    std::size_t capacity = 0;
    std::size_t size = 0;
  };

  void produce() noexcept;
  enum class Outcome : std::uint8_t { More, Unrecognized, Stopping };
  // Classifies and publishes the lines of `text`, up to an unrecognised line (which is kept, unpublished).
  Outcome classify(std::string_view text) noexcept;
  // The input still to come (rest_, or rest_points_ for a text given as code points) and its next piece of
  // whole lines as UTF-8: checked in place, or decoded into a piece buffer. False when that piece has no
  // UTF-8 form (the input taken as UTF-8 is not, or code points hold a lone surrogate).
  bool rest_is_empty() const noexcept;
  bool next_piece(std::string_view& text);
  // Whether what is left of the input (after an unrecognised line) has a UTF-8 form as it was taken.
  bool rest_has_utf8_form() const noexcept;
  // Publishes the batch being filled; false when the pipeline is being stopped.
  bool publish(bool last) noexcept;
  // Gives the current batch back and waits for the next one.
  void take_next_batch() noexcept;
  // A buffer for a piece of `need` bytes, appended to live_: one given back by the reader if it is large
  // enough, else a new one.
  Piece& piece_buffer(std::size_t need);
  // Moves the live pieces before the one holding the reader's release mark to the spares.
  void reclaim();

  const std::string_view first_text_;  // decoded before the thread starts
  const bool utf8_;  // rest_ is only to be checked, not decoded
  const std::size_t piece_bytes_;
  std::unique_ptr<Batch[]> ring_;
  std::atomic<std::uint32_t> produced_{0};  // batches published, counting on (wrapping is harmless)
  std::atomic<std::uint32_t> consumed_{0};  // batches given back
  std::atomic<bool> stopping_{false};
  // Set by a thread before it sleeps, so that the other wakes it (once kWakeBatches can be taken or filled).
  std::atomic<bool> reader_asleep_{false};
  std::atomic<bool> producer_asleep_{false};
  std::atomic<const char*> release_mark_{nullptr};
  // The thread's own: the input still to come, the pieces decoded and not yet given back (in text order),
  // and spare buffers.
  std::string_view rest_;
  CodePoints rest_points_;
  std::deque<Piece> live_;
  std::vector<Piece> spare_;
  const char* reclaimed_mark_ = nullptr;
  std::uint64_t lineno_ = 0;
  std::size_t batch_bytes_ = 0;  // text of the lines in the batch being filled
  std::uint32_t producer_watch_ = 256;  // how long the thread watches for room before it sleeps
  // Written by the thread before it publishes its last batch.
  std::string_view unrecognized_;
  std::uint64_t unrecognized_lineno_ = 0;
  bool out_of_memory_ = false;
  bool not_utf8_ = false;
  // The consumer's side.
  std::uint32_t reader_watch_ = 256;  // how long the reader watches for a batch before it sleeps
  const Batch* current_ = nullptr;
  std::size_t index_ = 0;
  bool ended_ = false;
  std::thread thread_;  // last: it starts once everything above is in place
};

}  // namespace quorlane::detail
