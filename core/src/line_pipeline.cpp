#include "line_pipeline.h"

#include <cstring>
#include <string>

namespace quorlane::detail {

LinePipeline::LinePipeline(DecodedInput& decoded, std::size_t piece_bytes)
    : decoded_(decoded),
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
  std::size_t pos = 0;
  std::uint64_t lineno = 0;
  for (;;) {
    const std::string_view ready_text = decoded_.text();  // whole lines only
    std::string_view raw;
    for (;;) {
      Batch& batch = ring_[produced_.load(std::memory_order_relaxed) % kSlots];
      const LineKind kind = classify_next_line(ready_text, pos, lineno + 1, batch.lines[batch.count], raw);
      if (kind == LineKind::End) break;
      ++lineno;
      if (kind == LineKind::Blank) continue;
      if (kind == LineKind::Unrecognized) {
        unrecognized_ = raw;
        unrecognized_lineno_ = lineno;
        publish(true);
        return;
      }
      if (++batch.count == kBatchLines && !publish(false)) return;
    }
    const std::string_view undecoded = decoded_.undecoded();
    if (undecoded.empty()) break;
    std::size_t piece = undecoded.size();
    if (piece > piece_bytes_) {
      const auto* lf = static_cast<const char*>(
          std::memchr(undecoded.data() + piece_bytes_ - 1, '\n', undecoded.size() - (piece_bytes_ - 1)));
      if (lf != nullptr) piece = static_cast<std::size_t>(lf - undecoded.data()) + 1;
    }
    decoded_.decode_more(piece);
  }
  publish(true);
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
    consumed_.wait(consumed, std::memory_order_acquire);
  }
  Batch& next = ring_[(produced + 1) % kSlots];
  next.count = 0;
  next.last = false;
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
    produced_.wait(produced, std::memory_order_acquire);
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
  if (unrecognized_lineno_ == 0) return std::nullopt;
  return StatementError(SyntaxDetail(UnrecognizedLine{unrecognized_lineno_, std::string(unrecognized_)}));
}

}  // namespace quorlane::detail
