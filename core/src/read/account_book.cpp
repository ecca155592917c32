#include "account_book.h"

#include <algorithm>

namespace quorlane::detail {

void AccountBook::file(std::string_view number, const Interval& interval) {
  std::string key(number);
  const auto [slot, added] = index_.try_emplace(std::move(key), accounts_.size());
  if (added) {
    accounts_.push_back(Account{std::string(number), {interval}});
    return;
  }
  std::vector<Interval>& intervals = accounts_[slot->second].intervals;
  // An equal interval has the same start date, so only the run of that start date needs looking at.
  const auto by_start = [](const Interval& a, const Interval& b) { return a.date_start < b.date_start; };
  const auto [first, last] = std::equal_range(intervals.begin(), intervals.end(), interval, by_start);
  for (auto held = first; held != last; ++held) {
    if (same_interval(*held, interval)) return;
  }
  // After every earlier start date and before every later one; among intervals that share the start date, the
  // new one goes immediately before the last of them.
  intervals.insert(first == last ? last : std::prev(last), interval);
}

}  // namespace quorlane::detail
