// Statements given as code points (as a Python str holds them): their UTF-8 is read as bytes are, and a lone
// surrogate anywhere means there is no UTF-8 form to read.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "../../core/src/text/decoders.h"
#include "quorlane/parse.h"
#include "quorlane/unicode.h"
#include "quorlane/values.h"

namespace quorlane {
namespace {

using Reading = Result<ReaderResult, StatementError>;

// The UTF-8 of one code point, or nothing for a surrogate.
bool reference_utf8(char32_t c, std::string& out) {
  if (c >= 0xD800 && c <= 0xDFFF) return false;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return true;
}

// Code points of `width` bytes each, held as CPython holds a str.
struct Points {
  std::vector<unsigned char> bytes;
  std::size_t count = 0;
  unsigned width = 2;

  void push(char32_t c) {
    for (unsigned k = 0; k < width; ++k) bytes.push_back(static_cast<unsigned char>(c >> (8 * k)));
    ++count;
  }
  CodePoints view() const { return CodePoints{bytes.data(), count, width}; }
};

Points points_of(std::string_view utf8, unsigned width) {
  Points points;
  points.width = width;
  for (std::size_t pos = 0; pos < utf8.size();) points.push(next_code_point(utf8, pos));
  return points;
}

// Every width, through the vectorised and the plain conversion, against the reference, for texts mixing
// ASCII, two-byte letters, three- and four-byte characters and now and then a surrogate.
TEST(CodePointsToUtf8, MatchesTheReferenceAndStopsAtSurrogates) {
  const std::vector<char32_t> alphabet = {'a', '\n', '=', 0x7F, 0x80, 0xA0, 0xFF, 0x410, 0x44F, 0x451, 0x7FF,
                                          0x800, 0x2116, 0xFFFF, 0x10000, 0x10FFFF, 0xD800, 0xDFFF};
  std::mt19937 random(5);
  int surrogates = 0;
  for (int round = 0; round < 6000; ++round) {
    const unsigned width = round % 3 == 0 ? 1 : round % 3 == 1 ? 2 : 4;
    const char32_t most = width == 1 ? 0xFF : width == 2 ? 0xFFFF : 0x10FFFF;
    Points points;
    points.width = width;
    std::string expected;
    bool encodable = true;
    const std::size_t size = random() % 40;
    const bool letters_only = round % 4 == 1;  // the vectorised common case
    while (points.count < size) {
      char32_t c = alphabet[random() % (letters_only ? 9 : alphabet.size())];
      if (c > most || ((c == 0xD800 || c == 0xDFFF) && random() % 4 != 0)) continue;
      points.push(c);
      encodable = reference_utf8(c, expected) && encodable;
    }
    surrogates += !encodable;
    for (bool vector : {false, true}) {
      std::string out(4 * points.count + 16, '\0');
      const char* end = detail::code_points_to_utf8(points.view(), out.data(), vector);
      ASSERT_EQ(end != nullptr, encodable) << "round " << round;
      if (end != nullptr) {
        ASSERT_EQ(std::string_view(out.data(), static_cast<std::size_t>(end - out.data())), expected)
            << "round " << round << " vector " << vector;
      }
    }
    EXPECT_EQ(detail::has_lone_surrogate(points.view()), !encodable);
  }
  EXPECT_GT(surrogates, 100);
}

std::string describe(const Reading& reading) {
  if (!reading.ok()) return "error " + message(reading.error());
  const ReaderResult& r = reading.value();
  std::string out(encoding_name(r.encoding));
  for (const AttributeMap::Entry& e : r.header.entries()) out.append("|").append(e.key).append("=").append(e.value);
  for (const Document& d : r.documents) out.append("|").append(d->doc_number).append(d->purpose).append(d->payee_bank1);
  for (const StatementWarning& w : r.warnings) out.append("|").append(std::to_string(w.lineno)).append(w.message);
  return out;
}

std::string statement(int documents, const std::string& purpose, const std::string& extra_line = "",
                      bool end = true) {
  std::string text = "1CClientBankExchange\nВерсияФормата=1.03\n";
  for (int i = 0; i < documents; ++i) {
    if (i == documents / 2) text += extra_line;
    text += "СекцияДокумент=Платежное поручение\nНомер=" + std::to_string(i) +
            "\nДата=05.03.2024\nСумма=1.00\nНазначениеПлатежа=" + purpose +
            "\nПлательщикИНН=1\nПлательщикБИК=2\nПлательщикБанк1=Банк\nПлательщикСчет=3\nПолучательИНН=4\n"
            "ПолучательБИК=5\nПолучательБанк1=Банк\nПолучательСчет=6\nКонецДокумента\n";
  }
  return end ? text + "КонецФайла\n" : text;
}

// Small and large statements (the large ones are read on two threads, converted piece by piece) read as
// their UTF-8 does, whatever they end with; a lone surrogate anywhere, even after an unrecognised line or
// in a statement whose first line is wrong, leaves nothing to read.
TEST(ParseStatementText, ReadsAsItsUtf8AndRefusesLoneSurrogates) {
  for (int documents : {3, 4000}) {
    for (const std::string& purpose : {std::string("Оплата"), std::string("Оплата \xF0\x9F\x98\x80")}) {
      const unsigned width = purpose.find('\xF0') != std::string::npos ? 4 : 2;  // an emoji needs four bytes
      for (const std::string& extra : {std::string(), std::string("мусор\n"), std::string("КонецФайла\n")}) {
        const std::string utf8 = statement(documents, purpose, extra, extra.empty());
        const Points points = points_of(utf8, width);
        auto reading = parse_statement_text(points.view());
        ASSERT_TRUE(reading.has_value());
        EXPECT_EQ(describe(*reading), describe(parse_statement(utf8))) << documents << " " << width << extra;

        for (const std::size_t at : {std::size_t{30}, points.count - 3}) {  // early, and near the end
          Points damaged = points;
          for (unsigned k = 0; k < width; ++k) damaged.bytes[at * width + k] = k == 0 ? 0x00 : k == 1 ? 0xD8 : 0;
          EXPECT_FALSE(parse_statement_text(damaged.view()).has_value()) << documents << " at " << at;
          Points wrong_start = damaged;
          wrong_start.bytes[0] = 'X';  // "XCClientBankExchange"
          EXPECT_FALSE(parse_statement_text(wrong_start.view()).has_value()) << documents << " at " << at;
        }
      }
    }
  }
}

}  // namespace
}  // namespace quorlane
