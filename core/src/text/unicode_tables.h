// Code point range tables generated from the Unicode Character Database (unicode_tables.cpp).
#pragma once

#include <cstddef>

namespace quorlane {

struct CodePointRange {
  char32_t first;
  char32_t last;  // inclusive
};

extern const CodePointRange kWhiteSpaceRanges[];
extern const std::size_t kWhiteSpaceRangesSize;
extern const CodePointRange kGraphemeExtendRanges[];
extern const std::size_t kGraphemeExtendRangesSize;
extern const CodePointRange kNotPrintableRanges[];
extern const std::size_t kNotPrintableRangesSize;

}  // namespace quorlane
