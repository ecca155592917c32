#include "quorlane/plausibility.h"

#include <cstdint>

#include "quorlane/utf8.h"

namespace quorlane {
namespace {

template <class Unit>
bool plausible_points(const Unit* p, std::size_t n) noexcept {
  const std::size_t examined = n < kPlausibilityChars ? n : kPlausibilityChars;
  std::size_t plausible = 0;
  for (std::size_t i = 0; i < examined; ++i) plausible += is_plausible_char(p[i]);
  return is_plausible_share(plausible, examined);
}

}  // namespace

bool is_plausible(std::string_view utf8) noexcept {
  std::size_t pos = 0, examined = 0, plausible = 0;
  while (pos < utf8.size() && examined < kPlausibilityChars) {
    plausible += is_plausible_char(next_code_point(utf8, pos));
    ++examined;
  }
  return is_plausible_share(plausible, examined);
}

bool is_plausible(CodePoints points) noexcept {
  return with_units(points, [](const auto* units, std::size_t count) { return plausible_points(units, count); });
}

}  // namespace quorlane
