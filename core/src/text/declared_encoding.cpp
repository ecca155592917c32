#include "quorlane/declared_encoding.h"

#include <algorithm>
#include <cstddef>

#include "quorlane/decode.h"
#include "quorlane/lines.h"

namespace quorlane {
namespace {

// The most bytes of a line looked at: enough for the key and the value "DOS", and for the markers that end the
// header, which a line starts with.
constexpr std::size_t kLineStart = 32;

}  // namespace

bool declares_dos(std::string_view bytes) noexcept {
  const std::string_view section_ends[] = {marker_text(Marker::AccountStart), marker_text(Marker::DocumentStart),
                                           marker_text(Marker::FileEnd)};
  bytes = bytes.substr(0, kHeaderBytes);
  bool dos = false;
  char utf8[utf8_room(kLineStart)];
  for (std::size_t start = 0; start < bytes.size();) {
    std::size_t end = std::min(bytes.find('\n', start), bytes.size());
    std::string_view raw = bytes.substr(start, end - start);
    start = end + 1;
    if (!raw.empty() && raw.back() == '\r' && end < bytes.size()) raw.remove_suffix(1);
    const std::string_view line(utf8, static_cast<std::size_t>(
                                          write_utf8(raw.substr(0, kLineStart), Encoding::Cp866, utf8) - utf8));
    if (std::any_of(std::begin(section_ends), std::end(section_ends),
                    [&](std::string_view marker) { return line.starts_with(marker); })) {
      break;
    }
    if (line.starts_with(kEncodingKey) && line.substr(kEncodingKey.size(), 1) == "=") {
      dos = raw.size() <= kLineStart && line.substr(kEncodingKey.size() + 1) == kDosEncoding;
    }
  }
  return dos;
}

}  // namespace quorlane
