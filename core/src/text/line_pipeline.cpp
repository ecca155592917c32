#include "line_pipeline.h"

#include <algorithm>
#include <functional>
#include <new>
#include <string>

#include "decoders.h"

namespace quorlane::detail {
namespace {

// Watches `ready` for a short while before the caller goes to sleep: the other thread usually gets there
// within microseconds, and sleeping and being woken costs more. The watch adapts: it grows while it pays and
// shrinks while the other thread keeps not coming (as when both share one processor, or one thread is much
// the slower), where watching would only take time from the other.
template <class Ready>
bool watch(Ready ready, std::uint32_t& budget) noexcept {
  constexpr std::uint32_t kMost = 256;
  constexpr std::uint32_t kLeast = 8;
  for (std::uint32_t spin = 0; spin < budget; ++spin) {
    if (ready()) {
      if (budget < kMost) budget *= 2;
      return true;
    }
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
  }
  if (budget > kLeast) budget /= 2;
  return ready();
}

}  // namespace

LinePipeline::LinePipeline(const DecodedInput& decoded, std::size_t piece_bytes)
    : first_text_(decoded.text()),
      utf8_(decoded.encoding() == Encoding::Utf8),
      piece_bytes_(piece_bytes),
      ring_(new Batch[kSlots]),
      rest_(decoded.undecoded()),
      rest_points_(decoded.undecoded_points()),
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
    Outcome outcome = classify(first_text_);
    std::string_view text;
    while (outcome == Outcome::More && !rest_is_empty()) {
      if (!next_piece(text)) {
        not_utf8_ = true;
        break;
      }
      outcome = classify(text);
    }
    if (outcome == Outcome::Stopping) return;
    // An unrecognised line wins only if the input is what it was taken for: the rest is checked first.
    if (outcome == Outcome::Unrecognized && !rest_has_utf8_form()) {
      not_utf8_ = true;
      unrecognized_lineno_ = 0;
    }
  } catch (const std::bad_alloc&) {
    out_of_memory_ = true;  // the reader sees the text end here; unrecognized() reports it
  }
  publish(true);
}

bool LinePipeline::rest_is_empty() const noexcept { return rest_.empty() && rest_points_.count == 0; }

bool LinePipeline::rest_has_utf8_form() const noexcept {
  if (rest_points_.count != 0) return !has_lone_surrogate(rest_points_);
  return !utf8_ || is_valid_utf8(rest_);
}

bool LinePipeline::next_piece(std::string_view& text) {
  if (rest_points_.count != 0) {
    const std::size_t count = code_points_whole_lines(rest_points_, piece_bytes_);
    const CodePoints input = code_points_slice(rest_points_, 0, count);
    rest_points_ = code_points_slice(rest_points_, count, rest_points_.count - count);
    Piece& piece = piece_buffer(utf8_bytes_per_point(input.width) * count + kDecodeSlack);
    const char* end = code_points_to_utf8(input, piece.bytes.get());
    if (end == nullptr) return false;
    piece.size = static_cast<std::size_t>(end - piece.bytes.get());
    text = std::string_view(piece.bytes.get(), piece.size);
    return true;
  }
  const std::string_view input = rest_.substr(0, whole_lines_prefix(rest_, piece_bytes_));
  rest_.remove_prefix(input.size());
  if (utf8_) {
    text = input;  // in place
    return is_valid_utf8(input);
  }
  Piece& piece = piece_buffer(3 * input.size() + kDecodeSlack);  // three bytes a character at most
  piece.size = static_cast<std::size_t>(decode_cp1251_into(input, piece.bytes.get()) - piece.bytes.get());
  text = std::string_view(piece.bytes.get(), piece.size);
  return true;
}

LinePipeline::Outcome LinePipeline::classify(std::string_view text) noexcept {
  std::size_t pos = 0;
  std::string_view raw;
  for (;;) {
    Batch& batch = ring_[produced_.load(std::memory_order_relaxed) % kSlots];
    const LineKind kind = classify_next_line(text, pos, lineno_ + 1, batch.lines[batch.count], raw);
    if (kind == LineKind::End) return Outcome::More;
    ++lineno_;
    if (kind == LineKind::Blank) continue;
    if (kind == LineKind::Unrecognized) {
      unrecognized_ = raw;
      unrecognized_lineno_ = lineno_;
      return Outcome::Unrecognized;
    }
    batch_bytes_ += raw.size();
    if ((++batch.count == kBatchLines || batch_bytes_ >= kBatchBytes) && !publish(false)) return Outcome::Stopping;
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
  const std::size_t capacity = std::max(need, 3 * piece_bytes_ + kDecodeSlack);
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
  produced_.store(produced + 1, std::memory_order_seq_cst);
  // A sleeping reader is woken only once it has a good part of the ring to take (or the last batch), so
  // that two threads sharing one processor switch seldom.
  if (reader_asleep_.load(std::memory_order_seq_cst) &&
      (last || produced + 1 - consumed_.load(std::memory_order_acquire) >= kWakeBatches)) {
    reader_asleep_.store(false, std::memory_order_relaxed);
    produced_.notify_one();
  }
  if (last) return true;
  // Waits for the slot after it to be free, and empties it.
  const auto has_room = [&] { return produced + 1 - consumed_.load(std::memory_order_acquire) < kSlots; };
  if (!watch(has_room, producer_watch_)) {
    for (;;) {
      producer_asleep_.store(true, std::memory_order_seq_cst);
      const std::uint32_t consumed = consumed_.load(std::memory_order_seq_cst);
      if (stopping_.load(std::memory_order_acquire)) return false;
      if (kSlots - (produced + 1 - consumed) >= kWakeBatches) break;
      consumed_.wait(consumed, std::memory_order_acquire);
    }
    producer_asleep_.store(false, std::memory_order_relaxed);
  }
  if (stopping_.load(std::memory_order_acquire)) return false;
  Batch& next = ring_[(produced + 1) % kSlots];
  next.count = 0;
  next.last = false;
  batch_bytes_ = 0;
  return true;
}

void LinePipeline::take_next_batch() noexcept {
  if (current_ != nullptr) {  // not the last batch: next() stops at that one
    current_ = nullptr;
    const std::uint32_t consumed = consumed_.fetch_add(1, std::memory_order_seq_cst) + 1;
    // Likewise, a sleeping thread is woken only once a good part of the ring is free.
    if (producer_asleep_.load(std::memory_order_seq_cst) &&
        kSlots - (produced_.load(std::memory_order_acquire) - consumed) >= kWakeBatches) {
      producer_asleep_.store(false, std::memory_order_relaxed);
      consumed_.notify_one();
    }
  }
  const std::uint32_t wanted = consumed_.load(std::memory_order_relaxed);
  const auto has_batch = [&] { return produced_.load(std::memory_order_acquire) != wanted; };
  if (!watch(has_batch, reader_watch_)) {
    for (;;) {
      reader_asleep_.store(true, std::memory_order_seq_cst);
      const std::uint32_t produced = produced_.load(std::memory_order_seq_cst);
      if (produced - wanted >= kWakeBatches || (produced != wanted && ring_[(produced - 1) % kSlots].last)) break;
      produced_.wait(produced, std::memory_order_acquire);
    }
    reader_asleep_.store(false, std::memory_order_relaxed);
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
