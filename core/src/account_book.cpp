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
  for (const Interval& held : intervals) {
    if (same_interval(held, interval)) return;
  }
  // After every earlier start date and before every later one; among intervals that share the start date, the
  // new one goes immediately before the last of them.
  auto place = std::upper_bound(intervals.begin(), intervals.end(), interval.date_start,
                                [](const Date& start, const Interval& held) { return start < held.date_start; });
  if (place != intervals.begin() && std::prev(place)->date_start == interval.date_start) --place;
  intervals.insert(place, interval);
}

}  // namespace quorlane::detail
