#include "line_pipeline.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <new>
#include <string>

#include "decoders.h"

namespace quorlane::detail {
namespace {

// Waits until `counter` differs from `seen`. The other thread usually moves it within microseconds, so it is
// watched for a while before this thread sleeps: a thread that sleeps at every batch tends to be woken on
// the processor of the thread that wakes it, and the two then take turns instead of running side by side.
void wait_for_change(const std::atomic<std::uint32_t>& counter, std::uint32_t seen) noexcept {
  constexpr int kSpins = 2000;
  for (int spin = 0; spin < kSpins; ++spin) {
    if (counter.load(std::memory_order_acquire) != seen) return;
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
  }
  counter.wait(seen, std::memory_order_acquire);
}

}  // namespace

LinePipeline::LinePipeline(const DecodedInput& decoded, std::size_t piece_bytes)
    : first_text_(decoded.text()),
      undecoded_(decoded.undecoded()),
      piece_bytes_(piece_bytes == 0 ? 1 : piece_bytes),
      ring_(new Batch[kSlots]),
      thread_([this] { produce(); }) {}

LinePipeline::~LinePipeline() {
  stopping_.store(true, std::memory_order_release);
  // Wakes the thread if it waits for room; nothing is taken from the ring any more.
  consumed_.fetch_add(kSlots, std::memory_order_release);
  consumed_.notify_one();
  thread_.join();
}

void LinePipeline::produce() noexcept {
  try {
    if (!classify(first_text_)) return;
    std::string_view undecoded = undecoded_;
    while (!undecoded.empty()) {
      std::size_t size = undecoded.size();
      if (size > piece_bytes_) {
        const auto* lf = static_cast<const char*>(
            std::memchr(undecoded.data() + piece_bytes_ - 1, '\n', undecoded.size() - (piece_bytes_ - 1)));
        if (lf != nullptr) size = static_cast<std::size_t>(lf - undecoded.data()) + 1;
      }
      Piece& piece = piece_buffer(3 * size + kCp1251Slack);  // three bytes a character at most
      const char* end = decode_cp1251_into(undecoded.substr(0, size), piece.bytes.get());
      piece.size = static_cast<std::size_t>(end - piece.bytes.get());
      undecoded.remove_prefix(size);
      if (!classify(std::string_view(piece.bytes.get(), piece.size))) return;
    }
  } catch (const std::bad_alloc&) {
    out_of_memory_ = true;  // the reader sees the text end here; unrecognized() reports it
  }
  publish(true);
}

bool LinePipeline::classify(std::string_view text) noexcept {
  std::size_t pos = 0;
  std::string_view raw;
  for (;;) {
    Batch& batch = ring_[produced_.load(std::memory_order_relaxed) % kSlots];
    const LineKind kind = classify_next_line(text, pos, lineno_ + 1, batch.lines[batch.count], raw);
    if (kind == LineKind::End) return true;
    ++lineno_;
    if (kind == LineKind::Blank) continue;
    if (kind == LineKind::Unrecognized) {
      unrecognized_ = raw;
      unrecognized_lineno_ = lineno_;
      publish(true);
      return false;
    }
    batch_bytes_ += raw.size();
    if ((++batch.count == kBatchLines || batch_bytes_ >= kBatchBytes) && !publish(false)) return false;
  }
}

LinePipeline::Piece& LinePipeline::piece_buffer(std::size_t need) {
  reclaim();
  for (auto spare = spare_.begin(); spare != spare_.end(); ++spare) {
    if (spare->capacity >= need) {
      live_.push_back(std::move(*spare));
      spare_.erase(spare);
      return live_.back();
    }
  }
  // Pieces are cut at line ends, so one may be larger than the others; the usual size serves them all.
  const std::size_t capacity = std::max(need, 3 * piece_bytes_ + kCp1251Slack);
  Piece piece{std::unique_ptr<char[]>(new char[capacity]), capacity, 0};
  live_.push_back(std::move(piece));
  return live_.back();
}

void LinePipeline::reclaim() {
  const char* mark = release_mark_.load(std::memory_order_acquire);
  if (mark == reclaimed_mark_) return;
  reclaimed_mark_ = mark;
  // Pointers into different buffers are compared as addresses (std::less orders them all).
  const std::less<const char*> before;
  std::size_t holder = 0;
  while (holder < live_.size()) {
    const char* begin = live_[holder].bytes.get();
    if (!before(mark, begin) && before(mark, begin + live_[holder].size)) break;
    ++holder;
  }
  if (holder == live_.size()) return;  // the mark is in the first text, which stays
  // All are kept: no more are ever live than the lines in the ring span, and freeing one only to allocate
  // another would write fresh memory again.
  for (std::size_t i = 0; i < holder; ++i) {
    spare_.push_back(std::move(live_.front()));
    live_.pop_front();
  }
}

bool LinePipeline::publish(bool last) noexcept {
  const std::uint32_t produced = produced_.load(std::memory_order_relaxed);
  ring_[produced % kSlots].last = last;
  produced_.store(produced + 1, std::memory_order_release);
  produced_.notify_one();
  if (last) return true;
  // Waits for the slot after it to be free, and empties it.
  for (;;) {
    const std::uint32_t consumed = consumed_.load(std::memory_order_acquire);
    if (stopping_.load(std::memory_order_acquire)) return false;
    if (produced + 1 - consumed < kSlots) break;
    wait_for_change(consumed_, consumed);
  }
  Batch& next = ring_[(produced + 1) % kSlots];
  next.count = 0;
  next.last = false;
  batch_bytes_ = 0;
  return true;
}

void LinePipeline::take_next_batch() noexcept {
  if (current_ != nullptr) {  // not the last batch: next() stops at that one
    current_ = nullptr;
    consumed_.fetch_add(1, std::memory_order_release);
    consumed_.notify_one();
  }
  const std::uint32_t wanted = consumed_.load(std::memory_order_relaxed);
  for (;;) {
    const std::uint32_t produced = produced_.load(std::memory_order_acquire);
    if (produced != wanted) break;
    wait_for_change(produced_, produced);
  }
  current_ = &ring_[wanted % kSlots];
  index_ = 0;
}

bool LinePipeline::next(ClassifiedLine& line) noexcept {
  while (current_ == nullptr || index_ == current_->count) {
    if (ended_) return false;
    if (current_ != nullptr && current_->last) {
      // The last batch stays taken: the thread has finished, and the ring is not used again.
      ended_ = true;
      return false;
    }
    take_next_batch();
  }
  line = current_->lines[index_++];
  return true;
}

std::optional<StatementError> LinePipeline::unrecognized() {
  ClassifiedLine ignored;
  while (next(ignored)) {
  }
  if (out_of_memory_) throw std::bad_alloc();
  if (unrecognized_lineno_ == 0) return std::nullopt;
  return StatementError(SyntaxDetail(UnrecognizedLine{unrecognized_lineno_, std::string(unrecognized_)}));
}

}  // namespace quorlane::detail
