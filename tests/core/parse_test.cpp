// The whole reading of a statement: its outcome does not depend on how the text is made (pieces of any size,
// vectorised or plain decoders, bytes or code points), and an input is read in the encoding the rule gives it.
#include "text/decoders.h"
#include "quorlane/parse.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "test_support.h"

namespace quorlane {
namespace {

using testing::describe;
using testing::Points;
using testing::points_of;
using testing::Reading;
using testing::to_cp1251;

class NoOpHook : public SectionHook {
 public:
  HookOutcome on_section(SectionKind, AttributeMap&, const AttributeMap&) override { return {}; }
};

std::string document(int number) {
  const std::string n = std::to_string(number);
  return "СекцияДокумент=Платежное поручение\nНомер=" + n + "\nДата=05.03.2024\nСумма=" + n +
         ".50\nНазначениеПлатежа=Оплата по счету " + n + " за товары\nПлательщикИНН=7700000001\n"
         "ПлательщикБИК=044525225\nПлательщикБанк1=ПАО Банк\nПлательщикСчет=40702810000000000001\n"
         "Плательщик=ООО Ромашка\nПолучательИНН=7700000002\nПолучательБИК=044525226\n"
         "ПолучательБанк1=АО Банк\nПолучательСчет=40702810000000000002\nКонецДокумента\n";
}

// A statement of `documents` documents after an account, with `insert` put in as line `at` (1-based; 0:
// nowhere), and CR LF line ends if asked.
std::string statement(int documents, const std::string& insert = "", std::size_t at = 0, bool crlf = false) {
  std::string body = "1CClientBankExchange\nВерсияФормата=1.03\nКодировка=Windows\n"
                     "СекцияРасчСчет\nДатаНачала=01.03.2024\nРасчСчет=40702810000000000001\n"
                     "НачальныйОстаток=10.00\nКонецРасчСчет\n";
  for (int i = 0; i < documents; ++i) body += document(i);
  body += "КонецФайла\n";
  std::string text;
  std::size_t number = 1;
  for (std::size_t pos = 0, lf; (lf = body.find('\n', pos)) != std::string::npos; pos = lf + 1, ++number) {
    if (number == at) text += insert + (crlf ? "\r\n" : "\n");
    text += body.substr(pos, lf - pos) + (crlf ? "\r\n" : "\n");
  }
  return text;
}

// Random statements with random damage, both encodings, read with pieces of every size and both kinds of
// decoders, as bytes and (UTF-8 ones) as code points of two and four bytes: always the same reading.
TEST(Reading, DoesNotDependOnHowTheTextIsMade) {
  std::mt19937 random(2024);
  const std::vector<std::string> damage = {"мусор",  "КонецФайла", "СекцияРасчСчет", "Дата=x", "", "Номер=",
                                           "КонецДокумента", "СекцияДокумент=Другой", "1CClientBankExchange", "a=b"};
  int failed = 0;
  for (int round = 0; round < 80; ++round) {
    const int documents = 5 + static_cast<int>(random() % 150);
    const std::size_t at = random() % 3 == 0 ? 0 : 1 + random() % (documents * 15 + 10);
    std::string utf8 = statement(documents, damage[random() % damage.size()], at, random() % 2 == 0);
    if (random() % 5 == 0) utf8.resize(random() % utf8.size());  // cut anywhere, even inside a character
    const std::string input = random() % 2 == 0 ? utf8 : to_cp1251(utf8.substr(0, utf8.find_last_of('\n') + 1));
    const std::string expected = describe(parse_statement(input));
    failed += expected.rfind("error", 0) == 0;
    for (std::size_t piece : {std::size_t{1}, static_cast<std::size_t>(1 + random() % 3000)}) {
      EXPECT_EQ(describe(parse_statement(input, {}, ReadOptions{piece})), expected)
          << "round " << round << " piece " << piece;
      if (is_valid_utf8(input)) {
        for (unsigned width : {2u, 4u}) {
          const Points points = points_of(input, width);
          EXPECT_EQ(describe(parse_statement(points.view(), {}, ReadOptions{piece})), expected) << "round " << round;
        }
      }
    }
  }
  EXPECT_GT(failed, 20);
  EXPECT_LT(failed, 70);
}

// A hook that writes down every section it sees, header included, and changes each document's purpose and
// adds a key: what it sees and what the reading keeps must not depend on the pieces the text came in, although
// the pieces behind a closed section are given back while the texts kept from them live on.
class RecordingHook : public SectionHook {
 public:
  std::string seen;

  HookOutcome on_section(SectionKind type, AttributeMap& attrs, const AttributeMap& header) override {
    seen += type == SectionKind::Document ? "document" : "account";
    for (const AttributeMap::Entry& e : attrs.entries()) seen.append("|").append(e.key).append("=").append(e.value);
    for (const AttributeMap::Entry& e : header.entries()) seen.append("|h:").append(e.key).append("=").append(e.value);
    seen += "\n";
    if (type == SectionKind::Document) {
      const std::string_view* purpose = attrs.find("НазначениеПлатежа");
      attrs.insert_copy("НазначениеПлатежа", std::string(purpose ? *purpose : "") + " (проверено)");
      attrs.insert_copy("Ключ", "добавлен");
    }
    return {};
  }
};

TEST(Reading, HooksSeeAndChangeTheSameSectionsInPiecesOfEverySize) {
  const std::string utf8 = statement(600, "ДатаСоздания=01.03.2024", 3, true);  // over 300 KB
  RecordingHook whole;
  SectionHook* whole_list[] = {&whole};
  const std::string expected = describe(parse_statement(utf8, whole_list, ReadOptions{utf8.size()}));
  ASSERT_EQ(expected.rfind("error", 0), std::string::npos) << expected;
  ASSERT_NE(expected.find("(проверено)"), std::string::npos);
  ASSERT_EQ(std::count(whole.seen.begin(), whole.seen.end(), '\n'), 601);  // the account and 600 documents
  for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{100}, std::size_t{4097}}) {
    for (unsigned width : {0u, 2u, 4u}) {  // 0: the bytes themselves
      RecordingHook hook;
      SectionHook* hooks[] = {&hook};
      const Points points = points_of(utf8, width == 0 ? 2 : width);
      const Reading reading = width == 0 ? parse_statement(utf8, hooks, ReadOptions{piece})
                                         : parse_statement(points.view(), hooks, ReadOptions{piece});
      EXPECT_EQ(describe(reading), expected) << "piece " << piece << " width " << width;
      EXPECT_EQ(hook.seen, whole.seen) << "piece " << piece << " width " << width;
    }
  }
}

// A reading that hands its documents to a sink gives it the records the result would hold, and keeps the rest of
// the result as it is: with and without hooks, in both encodings, as bytes and as code points, and when a
// reading that took windows-1251 bytes for UTF-8 starts over.
TEST(Reading, ASinkGetsTheDocumentsTheResultWouldHold) {
  NoOpHook hook;
  SectionHook* hooks[] = {&hook};
  std::mt19937 random(7);
  std::vector<std::string> inputs;
  for (int round = 0; round < 12; ++round) {
    const std::string utf8 = statement(3 + static_cast<int>(random() % 40), round % 3 ? "Сумма=x" : "мусор",
                                       1 + random() % 200);
    inputs.push_back(round % 2 ? utf8 : to_cp1251(utf8));
  }
  const std::string utf8 = statement(1000);
  const std::string end = "КонецФайла\n";
  inputs.push_back(utf8.substr(0, utf8.size() - end.size()) + to_cp1251(document(1000) + end));
  for (const std::string& input : inputs) {
    for (HookList list : {HookList(), HookList(hooks)}) {
      Reading kept = parse_statement(input, list);
      std::string documents;
      if (kept.ok()) {
        for (const Document& d : kept.value().documents) documents += describe(*d);
        kept.value().documents.clear();
      }
      testing::DescribingSink sink;
      EXPECT_EQ(describe(parse_statement(input, list, ReadOptions{}, &sink)), describe(kept));
      if (kept.ok()) {
        EXPECT_EQ(sink.documents(), documents);
      }
      if (is_valid_utf8(input)) {
        testing::DescribingSink from_points;
        const Points points = points_of(input, 2);
        EXPECT_EQ(describe(parse_statement(points.view(), list, ReadOptions{100}, &from_points)), describe(kept));
        if (kept.ok()) {
          EXPECT_EQ(from_points.documents(), documents);
        }
      }
    }
  }
}

// Bytes that are UTF-8 for hundreds of kilobytes and windows-1251 further on are windows-1251 as a whole:
// the reading that took them for UTF-8 gives way, whatever it met before the first windows-1251 byte.
TEST(Reading, InputThatStopsBeingUtf8IsReadAsWindows1251) {
  NoOpHook hook;
  SectionHook* hooks[] = {&hook};
  for (const std::string damage : {"", "мусор", "КонецФайла"}) {
    const std::string utf8 = statement(1000, damage, damage.empty() ? 0 : 200);
    const std::string tail = to_cp1251(document(1000) + "КонецФайла\n");
    const std::string input = utf8.substr(0, utf8.size() - std::string("КонецФайла\n").size()) + tail;
    ASSERT_FALSE(is_valid_utf8(input));
    // Read as a whole as windows-1251: the UTF-8 letters become pairs of windows-1251 characters.
    const std::string expected = describe(parse_statement(input, {}, ReadOptions{input.size()}));
    for (HookList list : {HookList(), HookList(hooks)}) {
      EXPECT_EQ(describe(parse_statement(input, list)), expected) << damage;
    }
    const Reading reading = parse_statement(input);
    if (reading.ok()) {
      EXPECT_EQ(reading.value().encoding, Encoding::Cp1251);
    }
  }
}

class StartCountingSink final : public DocumentSink {
 public:
  void start(const StatementSections*) override { ++starts; }
  void take(const DocumentRecord&, const FieldLines&) override {}
  int starts = 0;
};

// Bytes whose start is UTF-8 (ASCII) and whose rest is windows-1251 are read twice, the first time as UTF-8 as
// far as that goes; read again with the verdict of that reading they are read once, and alike.
TEST(Reading, AKnownVerdictReadsOnce) {
  std::string ascii = "1CClientBankExchange\n";
  while (ascii.size() < 100'000) ascii += "Key=value\n";
  const std::string utf8 = statement(20);
  const std::string input = ascii + to_cp1251(utf8.substr(utf8.find('\n') + 1));
  StartCountingSink first;
  Reading reading = parse_statement(input, {}, ReadOptions{}, &first);
  ASSERT_TRUE(reading.ok());
  EXPECT_EQ(reading.value().encoding, Encoding::Cp1251);
  EXPECT_EQ(first.starts, 2);
  ReadOptions known;
  known.utf8 = verdict_after(reading.value().encoding);
  StartCountingSink again;
  EXPECT_EQ(describe(parse_statement(input, {}, known, &again)), describe(reading));
  EXPECT_EQ(again.starts, 1);
}

// A lone surrogate anywhere leaves nothing to read: even after an unrecognised line, behind a wrong first
// line, and before any hook runs.
TEST(Reading, CodePointsWithALoneSurrogateHaveNoUtf8Form) {
  NoOpHook hook;
  SectionHook* hooks[] = {&hook};
  for (const std::string damage : {"", "мусор"}) {
    const Points points = points_of(statement(200, damage, damage.empty() ? 0 : 20), 2);
    for (std::size_t at : {std::size_t{0}, std::size_t{30}, points.count - 3}) {
      Points broken = points;
      broken.break_at(at);
      for (HookList list : {HookList(), HookList(hooks)}) {
        const Reading reading = parse_statement(broken.view(), list, ReadOptions{100});
        ASSERT_FALSE(reading.ok());
        EXPECT_TRUE(std::holds_alternative<NotUtf8>(reading.error())) << damage << " at " << at;
      }
    }
  }
}

// The texts a reading keeps from a windows-1251 statement read as UTF-8 (the header's at once, a document's
// where they are read): every byte of the upper half, in every position of the decoders' steps, through both
// decoders.
TEST(Reading, KeepsWindows1251TextsAsUtf8) {
  std::string upper;
  for (int b = 0x80; b < 0x100; ++b) upper += static_cast<char>(b);
  std::vector<char32_t> points = {
      0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
      0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
      0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
      0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
      0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};
  for (char32_t c = 0x410; c <= 0x44F; ++c) points.push_back(c);
  std::string expected_upper;
  for (char32_t c : points) {
    if (c >= 0x800) expected_upper += static_cast<char>(0xE0 | (c >> 12));
    expected_upper += static_cast<char>(c >= 0x800 ? 0x80 | ((c >> 6) & 0x3F) : 0xC0 | (c >> 6));
    expected_upper += static_cast<char>(0x80 | (c & 0x3F));
  }
  const std::string purpose_key = to_cp1251("НазначениеПлатежа=");
  std::mt19937 random(7);
  for (int round = 0; round < 100; ++round) {
    const std::string padding(static_cast<std::size_t>(round % 37), 'a');
    std::string text = to_cp1251(statement(2));
    text.insert(text.find(purpose_key) + purpose_key.size(), padding + upper);
    text.insert(text.find('\n') + 1, "Ключ=" + padding + upper + "\n");
    const Reading reading = parse_statement(text, {}, ReadOptions{1 + random() % 500});
    ASSERT_TRUE(reading.ok()) << message(reading.error());
    EXPECT_EQ(reading.value().header.entries()[0].value, padding + expected_upper);
    const Document& document = reading.value().documents[0];
    EXPECT_EQ(document->text_encoding, Encoding::Cp1251);
    EXPECT_EQ(to_utf8(document->purpose, document->text_encoding).substr(0, padding.size() + expected_upper.size()),
              padding + expected_upper);
    // The two kernel sets decode the text alike.
    std::string portable(text.size() * detail::kCp1251MaxBytesPerChar + detail::kDecodeSlack, '\0');
    std::string active(portable.size(), '\0');
    portable.resize(static_cast<std::size_t>(detail::portable_kernels().decode_cp1251(text, portable.data()) -
                                             portable.data()));
    active.resize(static_cast<std::size_t>(detail::active_kernels().decode_cp1251(text, active.data()) - active.data()));
    EXPECT_EQ(portable, active);
  }
}

}  // namespace
}  // namespace quorlane
