// The reading of large statements without hooks: lines classified on a second thread, and windows-1251
// decoded piece by piece while it is read. It must agree in every detail with the one pass on one thread.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "../../core/src/text/line_pipeline.h"
#include "../../core/src/read/single_pass.h"
#include "quorlane/decode.h"
#include "quorlane/parse.h"
#include "quorlane/unicode.h"
#include "quorlane/values.h"

namespace quorlane {
namespace {

using Reading = Result<ReaderResult, StatementError>;

// Test statements are written in UTF-8; windows-1251 knows ASCII and А..я here.
std::string to_cp1251(std::string_view utf8) {
  std::string out;
  for (std::size_t pos = 0; pos < utf8.size();) {
    const char32_t c = next_code_point(utf8, pos);
    out += static_cast<char>(c < 0x80 ? c : 0xC0 + (c - 0x410));
  }
  return out;
}

Reading read_one_thread(std::string_view input) {
  auto decoded = decode_input(input);
  if (!decoded) return Err(std::move(decoded).error());
  if (auto first = check_first_line(decoded.value().text()); !first) return Err(std::move(first).error());
  return detail::read_statement_checking(decoded.value());
}

Reading read_two_threads(std::string_view input, std::size_t piece_bytes) {
  auto decoded = decode_input_lazily(input, piece_bytes);
  if (!decoded) return Err(std::move(decoded).error());
  if (auto first = check_first_line(decoded.value().text()); !first) return Err(std::move(first).error());
  auto reading = detail::read_statement_pipelined(decoded.value(), piece_bytes);
  if (reading) return std::move(*reading);
  // Taken as UTF-8 by its start, the input is not UTF-8 as a whole: it is read anew, as parse_statement does.
  EXPECT_FALSE(is_valid_utf8(input));
  return read_one_thread(input);
}

// Everything a reading holds, as text.
std::string describe(const Reading& reading) {
  if (!reading.ok()) return "error at " + std::to_string(lineno(reading.error()).value_or(0)) + ": " + message(reading.error());
  const ReaderResult& r = reading.value();
  std::string out = std::string(encoding_name(r.encoding)) + "\n";
  for (const AttributeMap::Entry& e : r.header.entries()) out.append(e.key).append("=").append(e.value) += "\n";
  for (const Account& a : r.accounts) out += "account " + a.number + " " + std::to_string(a.intervals.size()) + "\n";
  for (const Document& d : r.documents) {
    out.append(d->doc_number).append("|").append(d->doc_type).append("|").append(format_date(d->doc_date));
    out.append("|").append(d->purpose).append("|").append(format_amount(d->amount)).append("|");
    out.append(d->payee_bank1).append("|").append(d->counterparty.has_value() ? d->counterparty.value() : "-") += "\n";
  }
  for (const StatementWarning& w : r.warnings) out += std::to_string(w.lineno) + " " + w.message + "\n";
  return out;
}

std::string document(int number) {
  const std::string n = std::to_string(number);
  return "СекцияДокумент=Платежное поручение\nНомер=" + n + "\nДата=05.03.2024\nСумма=" + n +
         ".50\nНазначениеПлатежа=Оплата по счету " + n + " за товары\nПлательщикИНН=7700000001\n"
         "ПлательщикБИК=044525225\nПлательщикБанк1=ПАО Банк\nПлательщикСчет=40702810000000000001\n"
         "Плательщик=ООО Ромашка\nПолучательИНН=7700000002\nПолучательБИК=044525226\n"
         "ПолучательБанк1=АО Банк\nПолучательСчет=40702810000000000002\nКонецДокумента\n";
}

// A statement of `documents` documents between an account and the end, with `insert` put in as line
// `at` (1-based; 0: nowhere), and CR LF line ends if asked.
std::string statement(int documents, const std::string& insert = "", std::size_t at = 0, bool crlf = false) {
  std::string body = "1CClientBankExchange\nВерсияФормата=1.03\nКодировка=Windows\n"
                     "СекцияРасчСчет\nДатаНачала=01.03.2024\nРасчСчет=40702810000000000001\n"
                     "НачальныйОстаток=10.00\nКонецРасчСчет\n";
  for (int i = 0; i < documents; ++i) body += document(i);
  body += "КонецФайла\n";
  std::vector<std::string> lines;
  for (std::size_t pos = 0, lf; (lf = body.find('\n', pos)) != std::string::npos; pos = lf + 1) {
    lines.push_back(body.substr(pos, lf - pos));
  }
  if (at != 0) lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at - 1), insert);
  std::string text;
  for (const std::string& line : lines) text += line + (crlf ? "\r\n" : "\n");
  return text;
}

struct Variant {
  const char* what;
  std::string insert;
  std::size_t at;
};

// Readings that succeed, fail in a document, stop at a syntax error, or meet an unrecognised line early or
// late (which must win), in both encodings and with pieces from one byte (one line each) up.
TEST(PipelinedReading, AgreesWithTheOnePassOnOneThread) {
  const std::vector<Variant> variants = {
      {"whole", "", 0},
      {"failed document", "Сумма=1,5", 30},
      {"unexpected section early", "КонецФайла", 20},
      {"unexpected attribute late", "", 0},
      {"unrecognised line early", "мусор", 12},
      {"unrecognised line late", "мусор", 15000},
      {"unexpected section, then an unrecognised line", "КонецРасчСчет", 9},
      {"blank lines", "   \t", 100},
  };
  int compared = 0;
  for (const Variant& v : variants) {
    for (bool crlf : {false, true}) {
      std::string utf8 = statement(1100, v.insert, v.at, crlf);  // more lines than the batches in flight
      if (std::string_view(v.what) == "unexpected attribute late") utf8 += "a=b\n";
      for (const std::string& input : {utf8, to_cp1251(utf8)}) {
        ASSERT_GT(input.size(), 40000u);  // beyond the part decoded before the reading starts
        const std::string expected = describe(read_one_thread(input));
        for (std::size_t piece : {std::size_t{1}, std::size_t{5000}, detail::LinePipeline::kDefaultPieceBytes}) {
          EXPECT_EQ(describe(read_two_threads(input, piece)), expected) << v.what << " piece " << piece;
          ++compared;
        }
      }
    }
  }
  EXPECT_EQ(compared, 96);
  // The variants above hold what they claim.
  EXPECT_EQ(describe(read_one_thread(statement(1100, "мусор", 15000))).rfind("error at 15000:", 0), 0u);
  EXPECT_TRUE(read_one_thread(statement(1100)).ok());
}

// A statement that is UTF-8 for its first hundreds of kilobytes and windows-1251 further on is windows-1251
// as a whole: the reading that took it for UTF-8 must give way, whatever it met before the first
// windows-1251 byte (an unrecognised line, an error, or nothing).
TEST(PipelinedReading, InputThatStopsBeingUtf8IsReadAsWindows1251) {
  for (const std::string damage : {"", "мусор", "КонецФайла"}) {
    const std::string utf8 = statement(1500, damage, damage.empty() ? 0 : 200);
    const std::string tail = to_cp1251(statement(3).substr(std::string_view("1CClientBankExchange\n").size()));
    for (const std::string& input : {utf8 + tail, utf8.substr(0, utf8.size() - 11) + tail}) {
      ASSERT_FALSE(is_valid_utf8(input));
      ASSERT_TRUE(is_valid_utf8(input.substr(0, input.find('\n', 200000))));  // beyond the first piece
      const Reading expected = read_one_thread(input);
      EXPECT_EQ(expected.ok() ? expected.value().encoding : Encoding::Cp1251, Encoding::Cp1251);
      for (std::size_t piece : {std::size_t{1000}, detail::LinePipeline::kDefaultPieceBytes}) {
        EXPECT_EQ(describe(read_two_threads(input, piece)), describe(expected)) << damage << " piece " << piece;
        EXPECT_EQ(describe(parse_statement(input)), describe(expected)) << damage;
      }
    }
  }
}

// Random pieces and random damage: the same agreement on many smaller statements.
TEST(PipelinedReading, RandomStatementsAgree) {
  std::mt19937 random(2024);
  const std::vector<std::string> damage = {"мусор", "КонецФайла", "СекцияРасчСчет", "Дата=x", "", "Номер=",
                                           "КонецДокумента", "СекцияДокумент=Другой", "1CClientBankExchange"};
  for (int round = 0; round < 60; ++round) {
    const int documents = 20 + static_cast<int>(random() % 200);
    const std::size_t at = random() % 3 == 0 ? 0 : 1 + random() % (documents * 15 + 10);
    std::string utf8 = statement(documents, damage[random() % damage.size()], at, random() % 2 == 0);
    if (random() % 5 == 0) utf8.resize(random() % utf8.size());  // cut anywhere, even inside a line
    const std::string input = random() % 2 == 0 ? utf8 : to_cp1251(utf8);
    const std::size_t piece = 1 + random() % 3000;
    EXPECT_EQ(describe(read_two_threads(input, piece)), describe(read_one_thread(input)))
        << "round " << round << " piece " << piece;
  }
}

// A pipeline left before its end stops its thread (and the test does not hang).
TEST(PipelinedReading, LeftEarlyStopsItsThread) {
  const std::string input = to_cp1251(statement(3000));
  for (int taken : {0, 1, 5000}) {
    auto decoded = decode_input_lazily(input);
    ASSERT_TRUE(decoded.ok());
    ASSERT_FALSE(decoded.value().undecoded().empty());
    detail::LinePipeline pipeline(decoded.value(), 1000);
    ClassifiedLine line;
    for (int i = 0; i < taken; ++i) ASSERT_TRUE(pipeline.next(line));
    if (taken > 0) {
      EXPECT_EQ(line.lineno, static_cast<std::uint64_t>(taken));
    }
  }
}

// The lazy decoding gives the text that decoding at once gives, and the same verdicts on the start.
TEST(PipelinedReading, LazyDecodingMatchesDecodingAtOnce) {
  const std::string utf8 = statement(500);
  int decoded = 0;
  const std::string cp1251 = to_cp1251(utf8);
  for (const std::string& input : {cp1251, std::string(1, 'x').append(cp1251), std::string(30000, '\x01') + "\xC6\n"}) {
    auto lazy = decode_input_lazily(input);
    auto eager = decode_input(input);
    ASSERT_EQ(lazy.ok(), eager.ok());
    if (!lazy.ok()) continue;
    DecodedInput& text = lazy.value();
    EXPECT_GE(text.text().size(), 20480u);
    EXPECT_EQ(text.text().back(), '\n');
    text.decode_rest();
    EXPECT_TRUE(text.undecoded().empty());
    EXPECT_EQ(text.text(), eager.value().text());
    EXPECT_EQ(text.encoding(), Encoding::Cp1251);
    ++decoded;
  }
  EXPECT_EQ(decoded, 2);  // the third input is not plausible
}

// An input taken as UTF-8 by its first piece is the input itself once the rest is checked, and is given up
// when the rest is not UTF-8.
TEST(PipelinedReading, LazyUtf8IsCheckedToTheEnd) {
  const std::string utf8 = statement(500);
  auto lazy = decode_input_lazily(utf8, 1000);
  ASSERT_TRUE(lazy.ok());
  EXPECT_EQ(lazy.value().encoding(), Encoding::Utf8);
  EXPECT_LT(lazy.value().text().size(), 2000u);
  EXPECT_EQ(lazy.value().text().back(), '\n');
  ASSERT_TRUE(lazy.value().decode_rest());
  EXPECT_EQ(lazy.value().text(), utf8);
  EXPECT_EQ(lazy.value().text().data(), utf8.data());  // in place

  const std::string mixed = utf8 + "\xC6\n";
  auto taken = decode_input_lazily(mixed, 1000);
  ASSERT_TRUE(taken.ok());
  const std::string_view before = taken.value().text();
  EXPECT_FALSE(taken.value().decode_rest());
  EXPECT_EQ(taken.value().text(), before);
}

}  // namespace
}  // namespace quorlane
