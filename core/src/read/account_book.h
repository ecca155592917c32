// The accounts of a reading: in order of first appearance, found by number in constant time, each with its
// intervals kept in order of start date.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "quorlane/records.h"

namespace quorlane::detail {

class AccountBook {
 public:
  // Files an interval under an account number: a new number appends an account; an interval equal to one the
  // account already holds adds nothing; otherwise it is placed by its start date (see the .cpp).
  void file(std::string_view number, const Interval& interval);

  std::vector<Account> take() noexcept { return std::move(accounts_); }

 private:
  std::vector<Account> accounts_;
  std::unordered_map<std::string, std::size_t> index_;
};

}  // namespace quorlane::detail
