#include "quorlane/reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "quorlane/parse.h"
#include "quorlane/values.h"
#include "test_support.h"

namespace quorlane {
namespace {

using Lines = std::vector<std::string>;
using testing::Reading;

std::string join(const Lines& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

Lines concat(std::initializer_list<Lines> parts) {
  Lines out;
  for (const Lines& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

const Lines kHeader = {"1CClientBankExchange", "ВерсияФормата=1.03", "Кодировка=Windows"};

Lines account(const std::string& number, const std::string& start, const std::string& amount = "10.00",
              const Lines& extra = {}) {
  Lines lines = {"СекцияРасчСчет", "ДатаНачала=" + start, "РасчСчет=" + number, "НачальныйОстаток=" + amount};
  lines.insert(lines.end(), extra.begin(), extra.end());
  lines.push_back("КонецРасчСчет");
  return lines;
}

Lines document(const std::string& number, const Lines& extra = {}, const std::string& type = "Платежное поручение") {
  Lines lines = {"СекцияДокумент=" + type,
                 "Номер=" + number,
                 "Дата=05.03.2024",
                 "Сумма=100.00",
                 "НазначениеПлатежа=Оплата",
                 "ПлательщикИНН=7700000001",
                 "ПлательщикБИК=044525225",
                 "ПлательщикБанк1=ПАО Банк",
                 "ПлательщикСчет=40702810000000000001",
                 "ПолучательИНН=7700000002",
                 "ПолучательБИК=044525226",
                 "ПолучательБанк1=АО Банк",
                 "ПолучательСчет=40702810000000000002"};
  lines.insert(lines.end(), extra.begin(), extra.end());
  lines.push_back("КонецДокумента");
  return lines;
}

const Lines kEnd = {"КонецФайла"};

Result<ReaderResult, StatementError> parse(const Lines& lines, HookList hooks = {}) {
  return parse_statement(join(lines), hooks);
}

// The syntax detail of a failed reading (fails the test for other outcomes).
const SyntaxDetail& detail_of(const Result<ReaderResult, StatementError>& result) {
  static const SyntaxDetail none = UnrecognizedLine{0, "<no syntax error>"};
  if (result.ok()) return none;
  const auto* detail = std::get_if<SyntaxDetail>(&result.error());
  return detail != nullptr ? *detail : none;
}

class FunctionHook : public SectionHook {
 public:
  using Function = std::function<HookOutcome(SectionKind, AttributeMap&, const AttributeMap&)>;
  explicit FunctionHook(Function f) : f_(std::move(f)) {}
  HookOutcome on_section(SectionKind type, AttributeMap& attrs, const AttributeMap& header) override {
    ++calls;
    return f_(type, attrs, header);
  }
  int calls = 0;

 private:
  Function f_;
};

// ---- the transition table ----

TEST(ReaderTransitions, MinimalStatement) {
  auto result = parse(concat({{"1CClientBankExchange", "ВерсияФормата=1.03"}, account("40702", "01.01.2024"), kEnd}));
  ASSERT_TRUE(result.ok()) << message(result.error());
  const ReaderResult& r = result.value();
  EXPECT_EQ(r.encoding, Encoding::Utf8);
  ASSERT_EQ(r.header.size(), 1u);
  EXPECT_EQ(r.header.entries()[0].key, "ВерсияФормата");
  ASSERT_EQ(r.accounts.size(), 1u);
  EXPECT_EQ(r.accounts[0].number, "40702");
  EXPECT_EQ(r.accounts[0].intervals.size(), 1u);
  EXPECT_TRUE(r.documents.empty());
  EXPECT_TRUE(r.warnings.empty());
}

struct MarkerCase {
  const char* state;
  Lines before;
  std::string line;
  std::string found;
  ReaderContext context;
};

// Every "unexpected section" cell that a statement can reach (its first line is always FileStart).
TEST(ReaderTransitions, UnexpectedSectionCells) {
  const Lines in_account = concat({kHeader, {"СекцияРасчСчет", "ДатаНачала=01.01.2024"}});
  const Lines in_document = concat({kHeader, {"СекцияДокумент=Банковский ордер", "Номер=1"}});
  const Lines next_section = concat({kHeader, account("1", "01.01.2024")});
  const Lines finished = concat({kHeader, account("1", "01.01.2024"), kEnd, {"", "  "}});
  const std::vector<MarkerCase> cases = {
      {"header", kHeader, "1CClientBankExchange", "1CClientBankExchange", ReaderContext::Header},
      {"header", kHeader, "КонецРасчСчет", "КонецРасчСчет", ReaderContext::Header},
      {"header", kHeader, "КонецДокумента", "КонецДокумента", ReaderContext::Header},
      {"header", kHeader, "КонецФайла", "КонецФайла", ReaderContext::Header},
      {"account", in_account, "1CClientBankExchange", "1CClientBankExchange", ReaderContext::Account},
      {"account", in_account, "СекцияРасчСчет", "СекцияРасчСчет", ReaderContext::Account},
      {"account", in_account, "СекцияДокумент=Тип", "СекцияДокумент=Тип", ReaderContext::Account},
      {"account", in_account, "КонецДокумента", "КонецДокумента", ReaderContext::Account},
      {"account", in_account, "КонецФайла", "КонецФайла", ReaderContext::Account},
      {"document", in_document, "1CClientBankExchange", "1CClientBankExchange", ReaderContext::Document},
      {"document", in_document, "СекцияРасчСчет", "СекцияРасчСчет", ReaderContext::Document},
      {"document", in_document, "КонецРасчСчет", "КонецРасчСчет", ReaderContext::Document},
      {"document", in_document, "СекцияДокумент= a=b ", "СекцияДокумент= a=b ", ReaderContext::Document},
      {"document", in_document, "КонецФайла", "КонецФайла", ReaderContext::Document},
      {"next", next_section, "1CClientBankExchange", "1CClientBankExchange", ReaderContext::ReadNextSection},
      {"next", next_section, "КонецРасчСчет", "КонецРасчСчет", ReaderContext::ReadNextSection},
      {"next", next_section, "КонецДокумента", "КонецДокумента", ReaderContext::ReadNextSection},
      {"finished", finished, "1CClientBankExchange", "1CClientBankExchange", ReaderContext::Finished},
      {"finished", finished, "СекцияРасчСчет", "СекцияРасчСчет", ReaderContext::Finished},
      {"finished", finished, "КонецРасчСчет", "КонецРасчСчет", ReaderContext::Finished},
      {"finished", finished, "СекцияДокумент=", "СекцияДокумент=", ReaderContext::Finished},
      {"finished", finished, "КонецДокумента", "КонецДокумента", ReaderContext::Finished},
      {"finished", finished, "КонецФайла", "КонецФайла", ReaderContext::Finished},
  };
  for (const MarkerCase& c : cases) {
    Lines lines = c.before;
    lines.push_back(c.line);
    lines.insert(lines.end(), {"Мусор=после ошибки", "КонецФайла"});  // never examined
    auto result = parse(lines);
    const auto* error = std::get_if<UnexpectedSection>(&detail_of(result));
    ASSERT_NE(error, nullptr) << c.state << " / " << c.line;
    EXPECT_EQ(error->lineno, c.before.size() + 1) << c.state << " / " << c.line;
    EXPECT_EQ(error->found, c.found);
    EXPECT_EQ(error->context, c.context) << c.state << " / " << c.line;
  }
}

TEST(ReaderTransitions, UnexpectedAttributeCells) {
  const std::vector<std::pair<const char*, Lines>> states = {
      {"between sections", concat({kHeader, account("1", "01.01.2024")})},
      {"after the end", concat({kHeader, account("1", "01.01.2024"), kEnd})},
  };
  for (const auto& [state, before] : states) {
    Lines lines = before;
    lines.push_back("Ключ 'x'= значение 'y' ");
    auto result = parse(lines);
    const auto* error = std::get_if<UnexpectedAttribute>(&detail_of(result));
    ASSERT_NE(error, nullptr) << state;
    EXPECT_EQ(error->lineno, before.size() + 1);
    EXPECT_EQ(error->key, "Ключ 'x'");
    EXPECT_EQ(error->value, " значение 'y' ");
  }
}

// Lines read as they are, without the check that the first one opens a statement.
Result<ReaderResult, StatementError> read_any(const std::string& text) {
  auto source = TextSource::of_bytes(text, {});
  LineCursor lines(source.value(), LineCursor::FirstLine::Any);
  return read_statement(lines, {});
}

// The Init row: only lines that do not begin with the opening line reach it.
TEST(ReaderTransitions, InitRow) {
  for (const std::string found : {"СекцияРасчСчет", "КонецРасчСчет", "СекцияДокумент=Тип", "КонецДокумента", "КонецФайла"}) {
    auto result = read_any("\n\n" + found + "\n");
    const auto* error = std::get_if<UnexpectedSection>(&detail_of(result));
    ASSERT_NE(error, nullptr) << found;
    EXPECT_EQ(error->lineno, 3u);
    EXPECT_EQ(error->found, found);
    EXPECT_EQ(error->context, ReaderContext::Init);
  }
  const auto attribute = read_any("k=v\n");
  const auto* error = std::get_if<UnexpectedAttribute>(&detail_of(attribute));
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->lineno, 1u);
}

TEST(ReaderTransitions, AcceptingCellsInAnyOrderOfSections) {
  auto result = parse(concat({kHeader, document("1"), account("1", "01.01.2024"), {"", "\t"}, document("2"),
                              account("2", "01.01.2024"), kEnd, {"", " ", "\xC2\xA0"}}));
  ASSERT_TRUE(result.ok()) << message(result.error());
  EXPECT_EQ(result.value().documents.size(), 2u);
  EXPECT_EQ(result.value().accounts.size(), 2u);
  EXPECT_EQ(result.value().header.size(), 2u);
  EXPECT_EQ(result.value().documents[1]->doc_number, "2");
}

TEST(ReaderTransitions, UnfinishedEndings) {
  const std::vector<Lines> cases = {
      kHeader,
      {"1CClientBankExchange"},
      concat({kHeader, {"СекцияРасчСчет", "РасчСчет=1"}}),
      concat({kHeader, document("1")}),
      concat({kHeader, {"СекцияДокумент=x", "Номер=1"}}),
  };
  for (const Lines& lines : cases) {
    auto result = parse(lines);
    ASSERT_FALSE(result.ok());
    EXPECT_TRUE(std::holds_alternative<Unfinished>(result.error())) << message(result.error());
  }
}

TEST(ReaderTransitions, SectionLeftOpenReachesNoHook) {
  FunctionHook hook([](SectionKind, AttributeMap&, const AttributeMap&) { return HookOutcome{}; });
  SectionHook* hooks[] = {&hook};
  auto result = parse(concat({kHeader, document("1"), {"СекцияРасчСчет", "РасчСчет=1"}}), hooks);
  ASSERT_FALSE(result.ok());
  EXPECT_TRUE(std::holds_alternative<Unfinished>(result.error()));
  EXPECT_EQ(hook.calls, 1);  // the closed document only
}

TEST(ReaderTransitions, UnrecognizedLineAnywhereWinsBeforeAnyHook) {
  FunctionHook hook([](SectionKind, AttributeMap&, const AttributeMap&) { return HookOutcome(Err(std::string("no"))); });
  SectionHook* hooks[] = {&hook};
  auto result = parse(concat({kHeader, document("1"), kEnd, {"", "КонецФайла "}}), hooks);
  const auto* error = std::get_if<UnrecognizedLine>(&detail_of(result));
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->lineno, kHeader.size() + 14 + 1 + 2);
  EXPECT_EQ(error->line, "КонецФайла ");
  EXPECT_EQ(hook.calls, 0);
}

TEST(ReaderTransitions, NotStatement) {
  for (std::string input : {std::string(), std::string("wrong format"), std::string("\xEF\xBB\xBF") + join(kHeader)}) {
    auto result = parse_statement(input);
    ASSERT_FALSE(result.ok());
    EXPECT_TRUE(std::holds_alternative<NotStatement>(result.error()));
  }
}

// ---- closing sections ----

TEST(ReaderSections, AccountFailures) {
  struct Case {
    const char* what;
    Lines section;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"no НачальныйОстаток",
       {"СекцияРасчСчет", "ДатаНачала=01.01.2024", "РасчСчет=1", "КонецРасчСчет"},
       "Account parse error: missing field `НачальныйОстаток`"},
      {"bad date", {"СекцияРасчСчет", "ДатаНачала=", "НачальныйОстаток=1", "КонецРасчСчет"},
       "Account parse error: empty string is not a valid date"},
      {"no РасчСчет",
       {"СекцияРасчСчет", "ДатаНачала=01.01.2024", "НачальныйОстаток=1", "КонецРасчСчет"},
       "Missing field 'РасчСчет' in context 'account'"},
      {"bad value before missing РасчСчет", {"СекцияРасчСчет", "ДатаНачала=01.01.2024", "НачальныйОстаток=x", "КонецРасчСчет"},
       "Account parse error: " + read_amount("x").error()},
  };
  for (const Case& c : cases) {
    auto result = parse(concat({kHeader, document("1"), c.section, kEnd}));
    ASSERT_FALSE(result.ok()) << c.what;
    EXPECT_EQ(message(result.error()), c.message) << c.what;
    EXPECT_EQ(lineno(result.error()), kHeader.size() + 14 + c.section.size()) << c.what;
  }
}

TEST(ReaderSections, FailedDocumentsBecomeWarnings) {
  const Lines bad_amount = document("2", {"Сумма=1,5"});
  const Lines no_number = {"СекцияДокумент=x", "Дата=01.01.2024", "КонецДокумента"};
  auto result = parse(concat({kHeader, document("1"), bad_amount, no_number, no_number, document("3"), kEnd}));
  ASSERT_TRUE(result.ok()) << message(result.error());
  const ReaderResult& r = result.value();
  ASSERT_EQ(r.documents.size(), 2u);
  EXPECT_EQ(r.documents[0]->doc_number, "1");
  EXPECT_EQ(r.documents[1]->doc_number, "3");
  const std::uint64_t first_end = kHeader.size() + 14 + 15;
  EXPECT_EQ(r.documents[0]->lineno, kHeader.size() + 14);  // each record knows its closing line
  EXPECT_EQ(r.documents[1]->lineno, first_end + 6 + 14);
  const std::vector<StatementWarning> expected = {
      {first_end, read_amount("1,5").error(), "Сумма", "1,5"},
      {first_end + 3, "missing field `Номер`", "Номер", std::nullopt},
      {first_end + 6, "missing field `Номер`", "Номер", std::nullopt},
  };
  EXPECT_EQ(r.warnings, expected);
}

TEST(ReaderSections, RepeatedKeysReplaceInPlace) {
  auto result = parse(concat({{"1CClientBankExchange", "А=1", "Б=2", "А=3"},
                              document("1", {"Номер=2", "ВидОплаты=01", "ВидОплаты=02"}), kEnd}));
  ASSERT_TRUE(result.ok()) << message(result.error());
  const ReaderResult& r = result.value();
  ASSERT_EQ(r.header.size(), 2u);
  EXPECT_EQ(r.header.entries()[0].key, "А");
  EXPECT_EQ(r.header.entries()[0].value, "3");
  EXPECT_EQ(r.header.entries()[1].key, "Б");
  ASSERT_EQ(r.documents.size(), 1u);
  EXPECT_EQ(r.documents[0]->doc_number, "2");
  EXPECT_EQ(r.documents[0]->payment_type.value(), "02");
  EXPECT_TRUE(r.warnings.empty());
}

TEST(ReaderSections, DocumentTypeComesFromTheOpeningLine) {
  auto result = parse(concat({kHeader, document("1", {"СекцияДокумент =ключ с пробелом"}, " Банковский = ордер"), kEnd}));
  ASSERT_TRUE(result.ok()) << message(result.error());
  EXPECT_EQ(result.value().documents[0]->doc_type, " Банковский = ордер");
}

// ---- intervals ----

Interval interval_of(const std::string& start, const std::string& amount) {
  AttributeMap attrs;
  attrs.insert_view("ДатаНачала", start);
  attrs.insert_view("НачальныйОстаток", amount);
  return convert_interval(attrs, 1).value();
}

TEST(ReaderIntervals, OrderedByStartDateAndDeduplicatedByValue) {
  auto result = parse(concat({kHeader, account("A", "03.01.2024"), account("B", "01.01.2024"),
                              account("A", "01.01.2024"), account("A", "02.01.2024"),
                              account("A", "01.01.2024", "10.0"),  // equal by value: nothing added
                              account("A", "01.01.2024", "10.00", {"КонечныйОстаток=1"}),  // differs
                              kEnd}));
  ASSERT_TRUE(result.ok()) << message(result.error());
  const ReaderResult& r = result.value();
  ASSERT_EQ(r.accounts.size(), 2u);
  EXPECT_EQ(r.accounts[0].number, "A");
  EXPECT_EQ(r.accounts[1].number, "B");
  const std::vector<Interval>& a = r.accounts[0].intervals;
  ASSERT_EQ(a.size(), 4u);
  EXPECT_EQ(a[0].date_start, read_date("01.01.2024").value());
  EXPECT_TRUE(a[0].end_amount.has_value());  // placed before the interval with the same start
  EXPECT_FALSE(a[1].end_amount.has_value());
  EXPECT_EQ(a[1].date_start, read_date("01.01.2024").value());
  EXPECT_EQ(a[2].date_start, read_date("02.01.2024").value());
  EXPECT_EQ(a[3].date_start, read_date("03.01.2024").value());
  // Each interval keeps the closing line of its own section (five lines each, the last one six).
  const std::uint64_t h = kHeader.size();
  EXPECT_EQ((std::vector<std::uint64_t>{a[0].lineno, a[1].lineno, a[2].lineno, a[3].lineno}),
            (std::vector<std::uint64_t>{h + 31, h + 15, h + 20, h + 5}));
  EXPECT_TRUE(r.warnings.empty());
}

// Among intervals with the same start date, a new one goes immediately before the last of them.
TEST(ReaderIntervals, SameStartGoesBeforeTheLastOfThem) {
  Lines lines = kHeader;
  const std::vector<std::pair<std::string, std::string>> filed = {
      {"05.01.2024", "9"}, {"01.01.2024", "1"}, {"01.01.2024", "2"}, {"01.01.2024", "3"}, {"07.01.2024", "8"}};
  for (const auto& [start, amount] : filed) {
    const Lines section = account("X", start, amount);
    lines.insert(lines.end(), section.begin(), section.end());
  }
  lines.push_back("КонецФайла");
  auto result = parse(lines);
  ASSERT_TRUE(result.ok()) << message(result.error());
  // 1 arrives alone; 2 goes before 1; 3 goes before the last of (2, 1), that is between them.
  const std::vector<Interval> expected = {interval_of("01.01.2024", "2"), interval_of("01.01.2024", "3"),
                                          interval_of("01.01.2024", "1"), interval_of("05.01.2024", "9"),
                                          interval_of("07.01.2024", "8")};
  const std::vector<Interval>& got = result.value().accounts[0].intervals;
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t i = 0; i < got.size(); ++i) EXPECT_TRUE(same_interval(got[i], expected[i])) << i;
}

// ---- hooks ----

TEST(ReaderHooks, SeeSectionsInOrderAndEditThem) {
  std::vector<std::pair<SectionKind, std::vector<std::string>>> seen;
  FunctionHook recorder([&](SectionKind type, AttributeMap& attrs, const AttributeMap& header) {
    std::vector<std::string> keys;
    for (const auto& entry : attrs.entries()) keys.emplace_back(entry.key);
    EXPECT_EQ(header.size(), kHeader.size() - 1);
    EXPECT_EQ(attrs.find("СекцияДокумент"), nullptr);
    seen.emplace_back(type, std::move(keys));
    return HookOutcome{};
  });
  FunctionHook editor([](SectionKind type, AttributeMap& attrs, const AttributeMap&) {
    if (type == SectionKind::Document) {
      const std::string number = std::string(*attrs.find("Номер")) + "-edited";
      attrs.insert_copy("Номер", number);       // replaced in place
      attrs.erase("ВидОплаты");                 // deleted
      attrs.insert_copy("Очередность", "5");    // added at the end
      attrs.insert_copy("СекцияДокумент", "hook type");  // overridden by the opening line
    } else {
      attrs.insert_copy("РасчСчет", "from hook");
    }
    return HookOutcome{};
  });
  FunctionHook checker([](SectionKind type, AttributeMap& attrs, const AttributeMap&) {
    if (type == SectionKind::Document) {
      EXPECT_EQ(attrs.entries().front().key, "Номер");
      EXPECT_EQ(attrs.entries().back().key, "СекцияДокумент");
    }
    return HookOutcome{};
  });
  SectionHook* hooks[] = {&recorder, &editor, &checker};
  auto result = parse(concat({kHeader, document("7", {"ВидОплаты=01"}), account("1", "01.01.2024"), kEnd}), hooks);
  ASSERT_TRUE(result.ok()) << message(result.error());
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].first, SectionKind::Document);
  EXPECT_EQ(seen[0].second.size(), 13u);
  EXPECT_EQ(seen[1].first, SectionKind::Account);
  const Document& doc = result.value().documents.at(0);
  EXPECT_EQ(doc->doc_number, "7-edited");
  EXPECT_FALSE(doc->payment_type.has_value());
  EXPECT_EQ(doc->ordering.value(), "5");
  EXPECT_EQ(doc->doc_type, "Платежное поручение");
  EXPECT_EQ(result.value().accounts.at(0).number, "from hook");
}

TEST(ReaderHooks, DeletingRequiredKeys) {
  FunctionHook remover([](SectionKind type, AttributeMap& attrs, const AttributeMap&) {
    attrs.erase(type == SectionKind::Account ? "РасчСчет" : "Сумма");
    return HookOutcome{};
  });
  SectionHook* hooks[] = {&remover};
  auto result = parse(concat({kHeader, document("1"), kEnd}), hooks);
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.value().warnings,
            (std::vector<StatementWarning>{{kHeader.size() + 14, "missing field `Сумма`", "Сумма", std::nullopt}}));
  auto failed = parse(concat({kHeader, account("1", "01.01.2024"), kEnd}), hooks);
  const auto* error = std::get_if<MissingField>(&detail_of(failed));
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->lineno, kHeader.size() + 5);
  EXPECT_EQ(error->field, "РасчСчет");
  EXPECT_EQ(error->context, ReaderContext::Account);
}

TEST(ReaderHooks, FirstErrorStopsAtTheClosingLine) {
  int documents = 0;
  FunctionHook failing([&](SectionKind type, AttributeMap&, const AttributeMap&) {
    if (type == SectionKind::Document && ++documents == 2) return HookOutcome(Err(std::string("ValueError: bad")));
    return HookOutcome{};
  });
  FunctionHook later([](SectionKind, AttributeMap&, const AttributeMap&) { return HookOutcome{}; });
  SectionHook* hooks[] = {&failing, &later};
  auto result = parse(concat({kHeader, document("1"), document("2"), document("3"), kEnd}), hooks);
  const auto* error = std::get_if<HookError>(&detail_of(result));
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->lineno, kHeader.size() + 28);
  EXPECT_EQ(error->message, "ValueError: bad");
  EXPECT_EQ(message(result.error()), "Hook error: ValueError: bad");
  EXPECT_EQ(later.calls, 1);  // not called for the failing section
}

// ---- size ----

TEST(ReaderSize, ManySectionsAndAHugeLine) {
  std::string text = join(kHeader);
  const std::string huge(40 * 1024 * 1024, 'z');
  text += join(document("0", {"НазначениеПлатежа=" + huge}));
  for (int i = 1; i <= 20000; ++i) {
    text += join(document(std::to_string(i)));
    if (i % 1000 == 0) text += join(account(std::to_string(i % 3), std::string("0").append(std::to_string(i % 9 + 1)).append(".01.2024"), std::to_string(i)));
  }
  for (int i = 0; i < 5000; ++i) {  // one account, filed in descending order of start date, each twice
    const std::string start = "01.01." + std::to_string(9000 - i);
    text += join(account("1", start)) + join(account("1", start));
  }
  text += "КонецФайла";
  auto result = parse_statement(text);
  text.assign(text.size(), '#');  // nothing in the result refers into the input
  ASSERT_TRUE(result.ok()) << message(result.error());
  const ReaderResult& r = result.value();
  ASSERT_EQ(r.documents.size(), 20001u);
  EXPECT_EQ(r.documents[0]->purpose, huge);
  EXPECT_EQ(r.documents[20000]->doc_number, "20000");
  EXPECT_EQ(r.documents[12345]->payee_bank1, "АО Банк");
  ASSERT_EQ(r.accounts.size(), 3u);
  std::size_t intervals = 0;
  for (const Account& a : r.accounts) intervals += a.intervals.size();
  EXPECT_EQ(intervals, 20u + 5000u);
  ASSERT_EQ(r.accounts[0].number, "1");  // first filed at i = 1000
  const std::vector<Interval>& many = r.accounts[0].intervals;
  EXPECT_GT(many.size(), 5000u);
  EXPECT_TRUE(std::is_sorted(many.begin(), many.end(),
                             [](const Interval& a, const Interval& b) { return a.date_start < b.date_start; }));
  EXPECT_EQ(r.header.entries()[0].value, "1.03");
}

}  // namespace
}  // namespace quorlane

namespace quorlane {
namespace {

std::string dump(const Document& d) {
  std::string out = std::to_string(d->lineno) + " ";
  const auto text = [&](std::string_view t) { out.append("[").append(t).append("]"); };
  const auto optional = [&](const OptionalText& t) { t.has_value() ? text(t.value()) : (void)out.append("-"); };
  const auto date = [&](const std::optional<Date>& t) { out.append(t ? format_date(*t) : "-").append(";"); };
  text(d->doc_number), text(d->doc_type), optional(d->payment_type), date(d->doc_date), text(d->purpose);
  optional(d->ordering), out.append(format_amount(d->amount)), text(d->counterparty_inn), optional(d->counterparty_kpp);
  text(d->counterparty_bic), text(d->counterparty_bank1), text(d->counterparty_account), optional(d->counterparty);
  optional(d->counterparty_1), date(d->outcome_date), optional(d->counterparty_ras_account);
  optional(d->counterparty_cor_account), text(d->payee_inn), optional(d->payee), text(d->payee_account);
  optional(d->payee_kpp), text(d->payee_bic), text(d->payee_bank1), optional(d->payee_ras_account);
  optional(d->payee_cor_account), date(d->income_date);
  return out;
}

// Without hooks the reader gathers document values by field as it reads; with hooks it goes through the
// section's map. Both must give the same documents and warnings.
TEST(ReaderHooks, HooksThatChangeNothingChangeNothing) {
  const Lines documents = concat({
      document("1", {"Номер=2", "Номер=3", "Сумма =x", "Неизвестный=1", "ВидОплаты=", "ДатаСписано=  ",
                     "ДатаПоступило=02.01.2024", "Плательщик=А", "Плательщик1=Б", "Получатель=В",
                     "ПлательщикКПП=1", "ПолучательКПП=2", "ПлательщикРасчСчет=3", "ПолучательРасчСчет=4",
                     "ПлательщикКорсчет=5", "ПолучательКорсчет=6", "Очередность=7", "СекцияДокумент =чужой"}),
      document("4", {"Сумма=1,0"}),
      {"СекцияДокумент=", "Номер=5", "КонецДокумента"},
      document("6", {"Дата=01.01.2024", "Дата=31.02.2024"}),
      document("7", {"Дата=31.02.2024", "Дата=01.01.2024"}),
  });
  FunctionHook noop([](SectionKind, AttributeMap&, const AttributeMap&) { return HookOutcome{}; });
  SectionHook* hooks[] = {&noop};
  auto plain = parse(concat({kHeader, documents, kEnd}));
  auto hooked = parse(concat({kHeader, documents, kEnd}), hooks);
  ASSERT_TRUE(plain.ok()) << message(plain.error());
  ASSERT_TRUE(hooked.ok()) << message(hooked.error());
  EXPECT_EQ(noop.calls, 5);
  ASSERT_EQ(plain.value().documents.size(), 2u);
  ASSERT_EQ(hooked.value().documents.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(dump(plain.value().documents[i]), dump(hooked.value().documents[i]));
  }
  EXPECT_EQ(plain.value().documents[0]->doc_number, "3");
  EXPECT_EQ(plain.value().documents[0]->doc_type, "Платежное поручение");
  EXPECT_EQ(plain.value().warnings.size(), 3u);
  EXPECT_EQ(plain.value().warnings, hooked.value().warnings);
}

}  // namespace
}  // namespace quorlane

namespace quorlane {
namespace {

// Without hooks the lines are classified while they are read; an unrecognised line must still win over
// everything the reader finds, wherever it stands. With a hook the whole text is checked first.
TEST(ReaderTransitions, UnrecognizedLineWinsWithAndWithoutHooks) {
  struct Case {
    const char* what;
    Lines lines;
    std::uint64_t lineno;  // of the unrecognised line
  };
  const std::vector<Case> cases = {
      {"after the end marker", concat({kHeader, account("1", "01.01.2024"), kEnd, {"мусор"}}), 10},
      {"inside a section", concat({kHeader, {"СекцияРасчСчет", "мусор"}, kEnd}), 5},
      {"after an unexpected section", concat({kHeader, kEnd, {"", "мусор"}}), 6},
      {"after an unexpected attribute", concat({kHeader, account("1", "01.01.2024"), {"a=b", "мусор"}}), 10},
      {"after a failed account", concat({kHeader, account("1", "x"), kEnd, {"мусор"}}), 10},
      {"in a file that would be unfinished", concat({kHeader, {"мусор"}}), 4},
      {"the first of two", concat({kHeader, {"один", "два"}}), 4},
  };
  FunctionHook noop([](SectionKind, AttributeMap&, const AttributeMap&) { return HookOutcome{}; });
  SectionHook* hooks[] = {&noop};
  for (const Case& c : cases) {
    for (const HookList list : {HookList(), HookList(hooks)}) {
      auto result = parse(c.lines, list);
      const auto* error = std::get_if<UnrecognizedLine>(&detail_of(result));
      ASSERT_NE(error, nullptr) << c.what << (list.empty() ? "" : " (hooks)");
      EXPECT_EQ(error->lineno, c.lineno) << c.what;
      EXPECT_EQ(error->line, c.lines[c.lineno - 1]);
    }
  }
  EXPECT_EQ(noop.calls, 0);
}

}  // namespace
}  // namespace quorlane

namespace quorlane {
namespace {

// Everything a reading holds but the encoding it reports.
std::string describe_content(const Reading& reading) {
  const std::string all = testing::describe(reading);
  return reading.ok() ? all.substr(all.find('\n')) : all;
}

// Random statements from a small vocabulary of lines, read without hooks (one pass, values gathered by
// field) and with a hook that changes nothing (every line checked first, values through the map), as UTF-8
// and as windows-1251: the readings must agree in every detail.
TEST(ReaderTransitions, RandomStatementsReadTheSameWithAndWithoutHooks) {
  const std::vector<std::string> vocabulary = {
      "СекцияРасчСчет", "КонецРасчСчет", "СекцияДокумент=Платежное поручение", "СекцияДокумент=", "КонецДокумента",
      "КонецФайла", "1CClientBankExchange", "", "  ", "мусор", "Номер=1", "Номер=2", "Дата=01.02.2024", "Дата=x",
      "Сумма=10.50", "Сумма=1,5", "ДатаСписано=", "ДатаПоступило=03.02.2024", "НазначениеПлатежа=Оплата",
      "ПлательщикИНН=1", "ПлательщикБИК=2", "ПлательщикБанк1=Банк", "ПлательщикСчет=3", "ПолучательИНН=4",
      "ПолучательБИК=5", "ПолучательБанк1=Банк 2", "ПолучательСчет=6", "Плательщик=А", "ВидОплаты=01",
      "РасчСчет=407", "РасчСчет=408", "ДатаНачала=01.01.2024", "ДатаНачала=02.01.2024", "НачальныйОстаток=1",
      "НачальныйОстаток=1.0", "КонечныйОстаток=y", "Неизвестный=z",
  };
  const std::vector<std::string> document_body = {
      "Номер=1", "Дата=01.02.2024", "Сумма=10.50", "ДатаСписано=", "ДатаПоступило=03.02.2024",
      "НазначениеПлатежа=Оплата", "ПлательщикИНН=1", "ПлательщикБИК=2", "ПлательщикБанк1=Банк", "ПлательщикСчет=3",
      "ПолучательИНН=4", "ПолучательБИК=5", "ПолучательБанк1=Банк 2", "ПолучательСчет=6", "Плательщик=А",
      "ВидОплаты=01", "Номер=2"};
  FunctionHook noop([](SectionKind, AttributeMap&, const AttributeMap&) { return HookOutcome{}; });
  SectionHook* hooks[] = {&noop};
  std::mt19937 random(12345);
  int succeeded = 0;
  std::size_t documents = 0;
  std::size_t warnings = 0;
  for (int round = 0; round < 3000; ++round) {
    Lines lines = {"1CClientBankExchange"};
    const int count = 1 + static_cast<int>(random() % 12);
    for (int i = 0; i < count; ++i) {
      const unsigned pick = random() % 16;
      if (pick < 8) {  // mostly complete sections, so that many readings succeed
        lines.push_back("СекцияДокумент=Тип");
        for (const std::string& line : document_body) {
          if (random() % 24 != 0) lines.push_back(line);
          if (random() % 48 == 0) lines.push_back(vocabulary[10 + random() % 19]);
        }
        lines.push_back("КонецДокумента");
      } else if (pick < 14) {
        lines.push_back("СекцияРасчСчет");
        for (int j = 0; j < 3; ++j) lines.push_back(vocabulary[29 + random() % 6]);
        lines.push_back("КонецРасчСчет");
      } else {
        lines.push_back(vocabulary[random() % vocabulary.size()]);
      }
    }
    if (random() % 8 != 0) lines.push_back("КонецФайла");
    const std::string text = join(lines);
    const Reading one = parse_statement(text);
    // With a hook, and as windows-1251 bytes (read where they lie), with and without a hook.
    for (const std::string& input : {text, testing::to_cp1251(text)}) {
      for (HookList list : {HookList(), HookList(hooks)}) {
        const Reading other = parse_statement(input, list);
        if (one.ok() && other.ok()) {
          ASSERT_EQ(other.value().encoding, is_valid_utf8(input) ? Encoding::Utf8 : Encoding::Cp1251);
        }
        ASSERT_EQ(describe_content(other), describe_content(one)) << text;
      }
    }
    if (!one.ok()) continue;
    ++succeeded;
    documents += one.value().documents.size();
    warnings += one.value().warnings.size();
  }
  // The comparison above must have seen successful readings, documents and warnings too.
  EXPECT_GT(succeeded, 100);
  EXPECT_GT(documents, 100u);
  EXPECT_GT(warnings, 100u);
}

}  // namespace
}  // namespace quorlane
