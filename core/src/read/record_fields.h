// Pieces shared by the record conversions.
#pragma once

#include <string>
#include <string_view>

namespace quorlane::detail {

// "missing field `KEY`"
inline std::string missing_field_message(std::string_view key) {
  std::string text = "missing field `";
  text.append(key);
  text.push_back('`');
  return text;
}

}  // namespace quorlane::detail
