// The whole reading of arbitrary bytes (decode, first line, classify, read, convert), with and without hooks.
//
// Input layout: byte 0 picks the hook mode, byte 1 its parameter (and the piece size), the rest is the
// statement. Some modes change the sections in ways the conversion cannot see (reordering the pairs, adding
// keys no table lists), so their reading must equal the hook-less one exactly; the others edit, delete, add
// and replace pairs or fail, and their readings must still hold together. Every reading is done twice and
// must repeat itself, and its outcome must not depend on how the text is made.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/decoders.h"
#include "quorlane/decode.h"
#include "quorlane/errors.h"
#include "quorlane/parse.h"
#include "quorlane/reader.h"
#include "quorlane/records.h"
#include "quorlane/unicode.h"
#include "quorlane/values.h"

#include "check.h"

namespace {

using Reading = quorlane::Result<quorlane::ReaderResult, quorlane::StatementError>;
using quorlane::AttributeMap;
using quorlane::HookOutcome;
using quorlane::SectionKind;

bool valid_utf8(std::string_view text) { return quorlane::detail::portable_kernels().is_valid_utf8(text); }

// ---- comparison of two readings ----

// The texts of two documents, compared as UTF-8: a reading through hooks keeps a windows-1251 statement's
// texts as UTF-8, one without hooks as they were written.
bool same_document(const quorlane::Document& a, const quorlane::Document& b) {
  const auto same = [&](std::string_view x, std::string_view y) {
    return quorlane::to_utf8(x, a->text_encoding) == quorlane::to_utf8(y, b->text_encoding);
  };
  const auto same_optional = [&](const quorlane::OptionalText& x, const quorlane::OptionalText& y) {
    return x.has_value() == y.has_value() && (!x.has_value() || same(x.value(), y.value()));
  };
  return same(a->doc_number, b->doc_number) && same(a->doc_type, b->doc_type) &&
         same_optional(a->payment_type, b->payment_type) && a->doc_date == b->doc_date &&
         same(a->purpose, b->purpose) && same_optional(a->ordering, b->ordering) && a->amount == b->amount &&
         same(a->counterparty_inn, b->counterparty_inn) && same_optional(a->counterparty_kpp, b->counterparty_kpp) &&
         same(a->counterparty_bic, b->counterparty_bic) && same(a->counterparty_bank1, b->counterparty_bank1) &&
         same(a->counterparty_account, b->counterparty_account) && same_optional(a->counterparty, b->counterparty) &&
         same_optional(a->counterparty_1, b->counterparty_1) && a->outcome_date == b->outcome_date &&
         same_optional(a->counterparty_ras_account, b->counterparty_ras_account) &&
         same_optional(a->counterparty_cor_account, b->counterparty_cor_account) &&
         same(a->payee_inn, b->payee_inn) && same_optional(a->payee, b->payee) &&
         same(a->payee_account, b->payee_account) && same_optional(a->payee_kpp, b->payee_kpp) &&
         same(a->payee_bic, b->payee_bic) && same(a->payee_bank1, b->payee_bank1) &&
         same_optional(a->payee_ras_account, b->payee_ras_account) &&
         same_optional(a->payee_cor_account, b->payee_cor_account) && a->income_date == b->income_date;
}

// Representation equality of every value (the reading keeps amounts as written).
bool same_interval_exactly(const quorlane::Interval& a, const quorlane::Interval& b) {
  return a.date_start == b.date_start && a.date_end == b.date_end && a.start_amount == b.start_amount &&
         a.end_amount == b.end_amount && a.total_income == b.total_income && a.total_expense == b.total_expense;
}

bool same_map(const AttributeMap& a, const AttributeMap& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a.entries()[i].key != b.entries()[i].key || a.entries()[i].value != b.entries()[i].value) return false;
  }
  return true;
}

bool same_error(const quorlane::StatementError& a, const quorlane::StatementError& b) {
  if (a.index() != b.index()) return false;
  const auto* da = std::get_if<quorlane::SyntaxDetail>(&a);
  if (da == nullptr) return true;
  const auto* db = std::get_if<quorlane::SyntaxDetail>(&b);
  // The message carries every text field and the context; the line number is compared on its own.
  return da->index() == db->index() && quorlane::lineno(*da) == quorlane::lineno(*db) &&
         quorlane::message(*da) == quorlane::message(*db);
}

bool same_reading(const Reading& a, const Reading& b) {
  if (a.ok() != b.ok()) return false;
  if (!a.ok()) return same_error(a.error(), b.error());
  const quorlane::ReaderResult& x = a.value();
  const quorlane::ReaderResult& y = b.value();
  if (x.encoding != y.encoding || !same_map(x.header, y.header) || x.warnings != y.warnings) return false;
  if (x.documents.size() != y.documents.size() || x.accounts.size() != y.accounts.size()) return false;
  for (std::size_t i = 0; i < x.documents.size(); ++i) {
    if (!same_document(x.documents[i], y.documents[i])) return false;
  }
  for (std::size_t i = 0; i < x.accounts.size(); ++i) {
    const quorlane::Account& p = x.accounts[i];
    const quorlane::Account& q = y.accounts[i];
    if (p.number != q.number || p.intervals.size() != q.intervals.size()) return false;
    for (std::size_t j = 0; j < p.intervals.size(); ++j) {
      if (!same_interval_exactly(p.intervals[j], q.intervals[j])) return false;
    }
  }
  return true;
}

// ---- what every reading must hold ----

void check_document_texts(const quorlane::Document& d) {
  const auto valid_text = [&](std::string_view text) { return valid_utf8(quorlane::to_utf8(text, d->text_encoding)); };
  const auto optional_utf8 = [&](const quorlane::OptionalText& text) {
    return !text.has_value() || valid_text(text.value());
  };
  for (std::string_view text : {d->doc_number, d->doc_type, d->purpose, d->counterparty_inn, d->counterparty_bic,
                                d->counterparty_bank1, d->counterparty_account, d->payee_inn, d->payee_account,
                                d->payee_bic, d->payee_bank1}) {
    check(valid_text(text));
  }
  for (const quorlane::OptionalText* text :
       {&d->payment_type, &d->ordering, &d->counterparty_kpp, &d->counterparty, &d->counterparty_1,
        &d->counterparty_ras_account, &d->counterparty_cor_account, &d->payee, &d->payee_kpp, &d->payee_ras_account,
        &d->payee_cor_account}) {
    check(optional_utf8(*text));
  }
}

void check_reading(const Reading& reading, std::uint64_t line_count) {
  if (!reading.ok()) {
    const quorlane::StatementError& error = reading.error();
    check(valid_utf8(quorlane::message(error)));
    if (const auto lineno = quorlane::lineno(error)) check(*lineno >= 1 && *lineno <= line_count);
    return;
  }
  const quorlane::ReaderResult& r = reading.value();
  for (const AttributeMap::Entry& entry : r.header.entries()) check(valid_utf8(entry.key) && valid_utf8(entry.value));
  std::uint64_t last = 0;
  for (const quorlane::StatementWarning& warning : r.warnings) {
    // One warning per closing line at most, so the numbers strictly increase.
    check(warning.lineno > last && warning.lineno <= line_count);
    check(valid_utf8(warning.message));
    last = warning.lineno;
  }
  for (const quorlane::Document& document : r.documents) check_document_texts(document);
  for (std::size_t i = 0; i < r.accounts.size(); ++i) {
    const quorlane::Account& account = r.accounts[i];
    check(valid_utf8(account.number) && !account.intervals.empty());
    for (std::size_t j = 0; j < i; ++j) check(r.accounts[j].number != account.number);
    for (std::size_t j = 0; j < account.intervals.size(); ++j) {
      if (j > 0) check(!(account.intervals[j].date_start < account.intervals[j - 1].date_start));
      for (std::size_t k = 0; k < j; ++k) check(!quorlane::same_interval(account.intervals[k], account.intervals[j]));
    }
  }
}

// ---- the hooks ----

// Keys of both records, so that edits and additions reach the conversions.
constexpr std::string_view kKeys[] = {
    "Номер",          "Дата",           "Сумма",           "НазначениеПлатежа", "ВидОплаты",
    "Очередность",    "ПлательщикИНН",  "ПлательщикКПП",   "ПлательщикБИК",     "ПлательщикБанк1",
    "ПлательщикСчет", "Плательщик",     "Плательщик1",     "ДатаСписано",       "ПлательщикРасчСчет",
    "ПлательщикКорсчет", "ПолучательИНН", "Получатель",     "ПолучательСчет",    "ПолучательКПП",
    "ПолучательБИК",  "ПолучательБанк1", "ПолучательРасчСчет", "ПолучательКорсчет", "ДатаПоступило",
    "ДатаНачала",     "ДатаКонца",      "РасчСчет",        "НачальныйОстаток",  "КонечныйОстаток",
    "ВсегоПоступило", "ВсегоСписано",   "СекцияДокумент",  "",                  "Сумма ",
};
constexpr std::string_view kValues[] = {
    "",
    " ",
    "01.01.2024",
    "29.02.2023",
    "31.12.9999",
    "00.01.2024",
    "100.00",
    "-0.5",
    "79228162514337593543950335",
    "79228162514337593543950336",
    "0.0000000000000000000000000001",
    "1,5",
    "Оплата по счёту № 1",
    "\xE2\x80\x83",  // an em space: blank, but not ASCII
    "=",
};

enum class Mode : std::uint8_t {
  NoOp,         // changes nothing
  Reverse,      // re-inserts the pairs in reverse order: the conversion orders them itself
  AddUnknown,   // adds keys that no table lists
  AddDocType,   // adds "СекцияДокумент" to documents: the opening line's type overrides it
  EditValues,   // replaces values by texts of every kind
  DeleteKeys,   // removes pairs
  AddKeys,      // adds known keys with values of every kind
  ReplaceMap,   // replaces the whole map (by the header's pairs, by a fixed set, or by nothing)
  Fail,         // answers an error at one section
  Chain,        // several of the above, one after another
  Count,
};

// Modes whose reading must equal the hook-less one.
bool invisible(Mode mode) {
  return mode == Mode::NoOp || mode == Mode::Reverse || mode == Mode::AddUnknown || mode == Mode::AddDocType;
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs copy_pairs(const AttributeMap& map) {
  Pairs pairs;
  for (const AttributeMap::Entry& entry : map.entries()) pairs.emplace_back(entry.key, entry.value);
  return pairs;
}

class FuzzHook : public quorlane::SectionHook {
 public:
  // `first` tells that no hook ran before this one on the same map.
  FuzzHook(Mode mode, std::uint8_t param, bool first = true) : mode_(mode), param_(param), first_(first) {}

  void reset() { sections_ = 0; }
  const std::string& failure() const { return failure_; }

  HookOutcome on_section(SectionKind type, AttributeMap& attrs, const AttributeMap& header) override {
    const unsigned n = sections_++;
    const unsigned pick = param_ + n * 7u;
    check(type == SectionKind::Document || type == SectionKind::Account);
    // The reader keeps the pair of the opening line away from the hooks.
    check(!first_ || type != SectionKind::Document || attrs.find("СекцияДокумент") == nullptr);
    switch (mode_) {
      case Mode::NoOp:
      case Mode::Chain:  // made of other modes
      case Mode::Count:
        break;
      case Mode::Reverse: {
        Pairs pairs = copy_pairs(attrs);
        attrs.clear();
        for (auto it = pairs.rbegin(); it != pairs.rend(); ++it) attrs.insert_copy(it->first, it->second);
        break;
      }
      case Mode::AddUnknown:
        attrs.insert_copy("Неизвестный ключ", "не проверяется");
        attrs.insert_copy("Дата ", "??");
        if (pick & 1) attrs.insert_copy(std::string("x").append(std::to_string(pick)), std::string(pick % 64, '9'));
        break;
      case Mode::AddDocType:
        if (type == SectionKind::Document) attrs.insert_copy("СекцияДокумент", pick & 1 ? "Другой тип" : "");
        break;
      case Mode::EditValues: {
        const Pairs pairs = copy_pairs(attrs);
        for (std::size_t i = 0; i < pairs.size(); ++i) {
          if ((i + pick) % 3 != 0) continue;
          const std::string_view value = kValues[(pick + i) % std::size(kValues)];
          // Sometimes a value of another pair, so that every key meets every kind of text.
          attrs.insert_copy(pairs[i].first, (pick & 8) ? pairs[(i + 1) % pairs.size()].second : std::string(value));
        }
        break;
      }
      case Mode::DeleteKeys: {
        const Pairs pairs = copy_pairs(attrs);
        if (!pairs.empty()) check(attrs.erase(pairs[pick % pairs.size()].first));
        const std::string_view key = kKeys[pick % std::size(kKeys)];
        const bool present = attrs.find(key) != nullptr;
        check(attrs.erase(key) == present && attrs.find(key) == nullptr);
        if (pick & 16) attrs.erase("РасчСчет");
        break;
      }
      case Mode::AddKeys:
        for (unsigned i = 0; i <= pick % 4; ++i) {
          attrs.insert_copy(kKeys[(pick + 5 * i) % std::size(kKeys)], kValues[(pick / 4 + i) % std::size(kValues)]);
        }
        break;
      case Mode::ReplaceMap:
        attrs.clear();
        check(attrs.empty());
        if (pick % 3 == 0) {
          for (const AttributeMap::Entry& entry : header.entries()) attrs.insert_copy(entry.key, entry.value);
        } else if (pick % 3 == 1) {
          attrs.insert_copy("ДатаНачала", "01.02.2024");
          attrs.insert_copy("РасчСчет", std::string("40702810").append(std::to_string(pick % 5)));
          attrs.insert_copy("НачальныйОстаток", "1.5");
          for (std::size_t i = 0; i < 25; ++i) attrs.insert_copy(kKeys[i], kValues[(i + pick) % std::size(kValues)]);
        }
        break;
      case Mode::Fail:
        if (n == param_ % 4u) {
          failure_ = (pick & 1) ? std::string("отказ на секции ").append(std::to_string(n)) : std::string();
          return quorlane::Err(failure_);
        }
        break;
    }
    return {};
  }

 private:
  Mode mode_;
  std::uint8_t param_;
  bool first_;
  unsigned sections_ = 0;
  std::string failure_;
};

// Reads a private copy that is freed before the result is looked at: the result must own everything.
Reading read_copy(std::string_view input, quorlane::HookList hooks, const quorlane::ReadOptions& options = {}) {
  std::string copy(input);
  Reading reading = quorlane::parse_statement(copy, hooks, options);
  std::memset(copy.data(), 0x5A, copy.size());
  return reading;
}

bool is_pre_reading_error(const Reading& reading) {
  if (reading.ok()) return false;
  if (std::holds_alternative<quorlane::NotStatement>(reading.error())) return true;
  const auto* detail = std::get_if<quorlane::SyntaxDetail>(&reading.error());
  return detail != nullptr && std::holds_alternative<quorlane::UnrecognizedLine>(*detail);
}

// At most as many lines as the input has line feeds, plus one.
std::uint64_t most_lines(std::string_view input) {
  return 1 + static_cast<std::uint64_t>(std::count(input.begin(), input.end(), '\n'));
}

// The input given as code points, as a Python str holds it (the narrowest width that fits), must read as its
// UTF-8 does; with a lone surrogate put in, it has no UTF-8 form and nothing is read.
void check_as_text(std::string_view utf8, const Reading& plain, std::uint8_t param) {
  std::vector<char32_t> points;
  for (std::size_t pos = 0; pos < utf8.size();) points.push_back(quorlane::next_code_point(utf8, pos));
  char32_t most = 0;
  for (char32_t c : points) most = std::max(most, c);
  const unsigned width = most < 0x100 ? 1 : most < 0x10000 ? 2 : 4;
  std::vector<unsigned char> bytes;
  for (char32_t c : points) {
    for (unsigned k = 0; k < width; ++k) bytes.push_back(static_cast<unsigned char>(c >> (8 * k)));
  }
  const quorlane::CodePoints text{bytes.data(), points.size(), width};
  check(same_reading(plain, quorlane::parse_statement(text, {}, quorlane::ReadOptions{1 + param % 97u})));
  if (width == 1 || points.empty()) return;
  const std::size_t at = param % points.size();
  bytes[at * width] = 0x00;
  bytes[at * width + 1] = 0xDC;
  if (width == 4) bytes[at * width + 2] = bytes[at * width + 3] = 0;
  const Reading refused = quorlane::parse_statement(text);
  check(!refused.ok() && std::holds_alternative<quorlane::NotUtf8>(refused.error()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const Mode mode = static_cast<Mode>(data[0] % static_cast<unsigned>(Mode::Count));
  const std::uint8_t param = data[1];
  const std::string_view input(reinterpret_cast<const char*>(data) + 2, size - 2);
  const std::uint64_t line_count = most_lines(input);

  const Reading plain = read_copy(input, {});
  check_reading(plain, line_count);
  check(same_reading(plain, read_copy(input, {})));
  // However the text is made: in small pieces, with the plain decoders.
  check(same_reading(plain, read_copy(input, {}, quorlane::ReadOptions{1 + param % 53u})));
  if (valid_utf8(input)) check_as_text(input, plain, param);

  FuzzHook first(mode, param);
  // Chain: an edit, a deletion and an addition, then a hook that may fail.
  FuzzHook edit(Mode::EditValues, param), remove(Mode::DeleteKeys, param, false), add(Mode::AddKeys, param, false);
  FuzzHook last(Mode::Fail, static_cast<std::uint8_t>(param >> 2), false);
  std::vector<quorlane::SectionHook*> hooks;
  if (mode == Mode::Chain) {
    hooks = {&edit, &remove, &add, &last};
  } else {
    hooks = {&first};
  }
  auto reset = [&] {
    for (quorlane::SectionHook* hook : hooks) static_cast<FuzzHook*>(hook)->reset();
  };

  const Reading hooked = read_copy(input, hooks);
  check_reading(hooked, line_count);
  reset();
  check(same_reading(hooked, read_copy(input, hooks)));

  // Decoding, the first line and classification come before any hook.
  check(is_pre_reading_error(plain) == is_pre_reading_error(hooked));
  if (is_pre_reading_error(plain)) check(same_error(plain.error(), hooked.error()));
  if (invisible(mode)) check(same_reading(plain, hooked));

  if (!hooked.ok()) {
    const auto* detail = std::get_if<quorlane::SyntaxDetail>(&hooked.error());
    if (detail != nullptr) {
      if (const auto* hook_error = std::get_if<quorlane::HookError>(detail)) {
        check(mode == Mode::Fail || mode == Mode::Chain);
        const FuzzHook& failing = mode == Mode::Fail ? first : last;
        check(hook_error->message == failing.failure());
      }
    }
  }
  return 0;
}
