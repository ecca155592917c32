// A statement's text and its lines, from arbitrary bytes: nothing may crash, the two UTF-8 validators agree,
// the pieces join to the text the encoding rule gives, and the line cursor agrees with a plain line-by-line
// reading of that text (the first byte of the input picks the piece size).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>
#include <cstring>

#include "text/decoders.h"

#include "quorlane/decode.h"
#include "quorlane/lines.h"
#include "quorlane/text_source.h"
#include "quorlane/unicode.h"

#include "check.h"

namespace {

using quorlane::Encoding;

// The reference: the lines of a whole text, one by one, as "lineno:kind:key=value" items, and the verdict.
std::string reference(std::string_view text, Encoding encoding) {
  // "СекцияДокумент" and the bare markers, in the two encodings a text's lines come in.
  const std::string_view document = encoding == Encoding::Utf8 ? "СекцияДокумент" : "\xD1\xE5\xEA\xF6\xE8\xFF\xC4\xEE\xEA\xF3\xEC\xE5\xED\xF2";
  const std::string_view bare[] = {
      "1CClientBankExchange",
      encoding == Encoding::Utf8 ? "СекцияРасчСчет" : "\xD1\xE5\xEA\xF6\xE8\xFF\xD0\xE0\xF1\xF7\xD1\xF7\xE5\xF2",
      encoding == Encoding::Utf8 ? "КонецРасчСчет" : "\xCA\xEE\xED\xE5\xF6\xD0\xE0\xF1\xF7\xD1\xF7\xE5\xF2",
      "",  // the document's opening line has an "="
      encoding == Encoding::Utf8 ? "КонецДокумента" : "\xCA\xEE\xED\xE5\xF6\xC4\xEE\xEA\xF3\xEC\xE5\xED\xF2\xE0",
      encoding == Encoding::Utf8 ? "КонецФайла" : "\xCA\xEE\xED\xE5\xF6\xD4\xE0\xE9\xEB\xE0"};
  std::string out;
  std::uint64_t lineno = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t lf = text.find('\n', pos);
    std::string_view line = text.substr(pos, lf == std::string_view::npos ? std::string_view::npos : lf - pos);
    pos = lf == std::string_view::npos ? text.size() : lf + 1;
    if (lf != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++lineno;
    const std::size_t eq = line.find('=');
    if (eq != std::string_view::npos) {
      const bool opens = line.substr(0, eq) == document;
      out.append(std::to_string(lineno)).append(opens ? ":M3:" : ":A:").append(opens ? "" : line.substr(0, eq));
      out.append("=").append(line.substr(eq + 1)).append("\n");
      continue;
    }
    bool marker = false;
    for (int m = 0; m < 6; ++m) {
      if (!bare[m].empty() && line == bare[m]) {
        out.append(std::to_string(lineno)).append(":M").append(std::to_string(m)).append(":=\n");
        marker = true;
      }
    }
    if (marker) continue;
    bool blank = true;
    if (encoding == Encoding::Utf8) {
      blank = quorlane::is_blank(line);
    } else {
      for (char c : line) blank = blank && (c == ' ' || c == '\xA0' || (c >= '\t' && c <= '\r'));
    }
    if (!blank) return out + "unrecognised " + std::to_string(lineno);
  }
  return out + "ok";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const quorlane::ReadOptions options{1 + std::size_t{data[0]} * 7};
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  // The two kernel sets agree: on UTF-8, on windows-1251, and on the bytes taken as UCS-2 units.
  const auto& portable = quorlane::detail::portable_kernels();
  const auto& active = quorlane::detail::active_kernels();
  const bool valid = portable.is_valid_utf8(input);
  check(active.is_valid_utf8(input) == valid);
  std::string decoded[2];
  for (int k = 0; k < 2; ++k) {
    decoded[k].resize(input.size() * quorlane::detail::kCp1251MaxBytesPerChar + quorlane::detail::kDecodeSlack);
    char* end = (k == 0 ? portable : active).decode_cp1251(input, decoded[k].data());
    decoded[k].resize(static_cast<std::size_t>(end - decoded[k].data()));
  }
  check(decoded[0] == decoded[1]);
  std::vector<std::uint16_t> units(input.size() / 2);
  if (!units.empty()) std::memcpy(units.data(), input.data(), units.size() * 2);
  for (int k = 0; k < 2; ++k) {
    decoded[k].assign(units.size() * 3 + quorlane::detail::kDecodeSlack, '\0');
    char* end = (k == 0 ? portable : active).ucs2_to_utf8(units.data(), units.size(), decoded[k].data());
    decoded[k].resize(end == nullptr ? 0 : static_cast<std::size_t>(end - decoded[k].data()));
  }
  check(decoded[0] == decoded[1]);

  // Opened as a reading opens it: bytes found not to be UTF-8 after all are opened again.
  for (const quorlane::Utf8Verdict utf8 : {quorlane::Utf8Verdict::Unknown, quorlane::Utf8Verdict::Invalid}) {
    auto source = quorlane::TextSource::of_bytes(input, options, utf8);
    if (!source) {
      check(!valid && std::holds_alternative<quorlane::NotStatement>(source.error()));
      return 0;
    }
    const Encoding text_encoding = source.value().text_encoding();
    std::string text;
    bool not_utf8 = false;
    for (;;) {
      auto piece = source.value().next_piece();
      if (!piece) {
        check(std::holds_alternative<quorlane::NotUtf8>(piece.error()));
        not_utf8 = true;
        break;
      }
      if (piece.value().empty()) break;
      check(text_encoding == Encoding::Cp1251 || quorlane::is_valid_utf8(piece.value()));
      text += piece.value();
    }
    if (not_utf8) {
      check(!valid && utf8 == quorlane::Utf8Verdict::Unknown);
      continue;
    }
    check(source.value().encoding() == (valid ? Encoding::Utf8 : Encoding::Cp1251));
    // UTF-8 and windows-1251 are read where they lie; only a byte order mark sends the input elsewhere.
    if (valid || text_encoding == Encoding::Cp1251) check(text == input);

    // The cursor over the same text, from line 1 whatever it says, against the reference.
    // Known to be valid, UTF-8 is read without being checked again, into the same text.
    const quorlane::Utf8Verdict known =
        source.value().encoding() == Encoding::Utf8 ? quorlane::Utf8Verdict::Valid : utf8;
    auto again = quorlane::TextSource::of_bytes(input, options, known);
    quorlane::LineCursor lines(again.value(), quorlane::LineCursor::FirstLine::Any);
    std::string seen;
    quorlane::ClassifiedLine line;
    while (lines.next(line)) {
      seen.append(std::to_string(line.lineno));
      seen.append(line.is_marker ? ":M" + std::to_string(static_cast<int>(line.marker)) + ":" : ":A:");
      seen.append(line.key).append("=").append(line.value).append("\n");
    }
    auto verdict = lines.finish();
    if (verdict) {
      seen += "ok";
    } else {
      const auto& bad = std::get<quorlane::UnrecognizedLine>(std::get<quorlane::SyntaxDetail>(verdict.error()));
      check(quorlane::is_valid_utf8(bad.line));
      seen += "unrecognised " + std::to_string(bad.lineno);
    }
    check(seen == reference(text, text_encoding));
    return 0;
  }
  return 0;
}
