// The two kernel sets, and the choice of one, made the first time it is asked for.
#include "decoders.h"

namespace quorlane::detail {

// Defined beside their loops (utf8_validate.cpp, single_byte.cpp, code_points.cpp).
bool cpu_has_avx2() noexcept;
bool is_valid_utf8_scalar(std::string_view bytes) noexcept;
bool is_valid_utf8_avx2(std::string_view bytes) noexcept;
char* decode_cp1251_portable(std::string_view input, char* out) noexcept;
char* decode_cp1251_avx2(std::string_view input, char* out) noexcept;
char* ucs2_to_utf8_portable(const std::uint16_t* units, std::size_t count, char* out) noexcept;
char* ucs2_to_utf8_avx2(const std::uint16_t* units, std::size_t count, char* out) noexcept;

namespace {

constexpr Kernels kPortable = {is_valid_utf8_scalar, decode_cp1251_portable, ucs2_to_utf8_portable};
constexpr Kernels kAvx2 = {is_valid_utf8_avx2, decode_cp1251_avx2, ucs2_to_utf8_avx2};

}  // namespace

const Kernels& active_kernels() noexcept {
  static const Kernels& chosen = cpu_has_avx2() ? kAvx2 : kPortable;
  return chosen;
}

const Kernels& portable_kernels() noexcept { return kPortable; }

}  // namespace quorlane::detail
