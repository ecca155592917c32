// What several core tests share: statements in other encodings and forms, and a reading written out whole so
// that two readings can be compared in every detail.
#pragma once

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "quorlane/decode.h"
#include "quorlane/parse.h"
#include "quorlane/unicode.h"
#include "quorlane/values.h"

namespace quorlane::testing {

using Reading = Result<ReaderResult, StatementError>;

// Test texts are written in UTF-8; windows-1251 knows ASCII, А..я, Ё, ё and № here.
inline std::string to_cp1251(std::string_view utf8) {
  std::string out;
  for (std::size_t pos = 0; pos < utf8.size();) {
    const char32_t c = next_code_point(utf8, pos);
    if (c < 0x80) out += static_cast<char>(c);
    else if (c >= 0x410 && c <= 0x44F) out += static_cast<char>(0xC0 + (c - 0x410));
    else if (c == 0x401) out += '\xA8';
    else if (c == 0x451) out += '\xB8';
    else if (c == 0x2116) out += '\xB9';
    else std::abort();
  }
  return out;
}

// cp866 (DOS) of the same letters.
inline std::string to_cp866(std::string_view utf8) {
  std::string out;
  for (std::size_t pos = 0; pos < utf8.size();) {
    const char32_t c = next_code_point(utf8, pos);
    if (c < 0x80) out += static_cast<char>(c);
    else if (c >= 0x410 && c <= 0x43F) out += static_cast<char>(0x80 + (c - 0x410));
    else if (c >= 0x440 && c <= 0x44F) out += static_cast<char>(0xE0 + (c - 0x440));
    else if (c == 0x401) out += '\xF0';
    else if (c == 0x451) out += '\xF1';
    else if (c == 0x2116) out += '\xFC';
    else std::abort();
  }
  return out;
}

inline std::string to_utf16(std::string_view utf8, bool big_endian, bool bom) {
  std::string out;
  auto unit = [&](char32_t u) {
    const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    out += big_endian ? hi : lo;
    out += big_endian ? lo : hi;
  };
  if (bom) unit(0xFEFF);
  for (std::size_t pos = 0; pos < utf8.size();) {
    const char32_t c = next_code_point(utf8, pos);
    if (c < 0x10000) {
      unit(c);
    } else {
      unit(0xD800 + ((c - 0x10000) >> 10));
      unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return out;
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
  // Puts a lone surrogate in place of the code point at `at`.
  void break_at(std::size_t at) {
    for (unsigned k = 0; k < width; ++k) bytes[at * width + k] = k == 1 ? 0xD8 : 0;
  }
  CodePoints view() const { return CodePoints{bytes.data(), count, width}; }
};

inline Points points_of(std::string_view utf8, unsigned width) {
  Points points;
  points.width = width;
  for (std::size_t pos = 0; pos < utf8.size();) points.push(next_code_point(utf8, pos));
  return points;
}

// The text with its first `from` replaced by `to` (which must be there).
inline std::string replaced(std::string text, std::string_view from, std::string_view to) {
  const std::size_t at = text.find(from);
  if (at == std::string::npos) std::abort();
  return text.replace(at, from.size(), to);
}

// The kind of an error, with the line of a syntax error: "NotStatement", "Unfinished", "Syntax 7", "NotUtf8".
inline std::string describe_error(const StatementError& error) {
  if (std::holds_alternative<NotStatement>(error)) return "NotStatement";
  if (std::holds_alternative<Unfinished>(error)) return "Unfinished";
  if (std::holds_alternative<NotUtf8>(error)) return "NotUtf8";
  return "Syntax " + std::to_string(lineno(error).value_or(0));
}

// A document's values (its line first), as text: equal texts mean equal records, in whatever encoding each
// keeps its texts.
inline std::string describe(const DocumentRecord& d) {
  std::string out = std::to_string(d.lineno) + " ";
  const auto text = [&](std::string_view t) { out.append("[").append(to_utf8(t, d.text_encoding)).append("]"); };
  const auto optional = [&](const OptionalText& t) { t.has_value() ? text(t.value()) : (void)out.append("-"); };
  const auto date = [&](const std::optional<Date>& t) { out.append(t ? format_date(*t) : "-").append(";"); };
  const auto amount = [&](const Amount& a) { out.append(format_amount(a)).append(";"); };
  text(d.doc_number), text(d.doc_type), optional(d.payment_type), date(d.doc_date), text(d.purpose);
  optional(d.ordering), amount(d.amount), text(d.counterparty_inn), optional(d.counterparty_kpp);
  text(d.counterparty_bic), text(d.counterparty_bank1), text(d.counterparty_account), optional(d.counterparty);
  optional(d.counterparty_1), date(d.outcome_date), optional(d.counterparty_ras_account);
  optional(d.counterparty_cor_account), text(d.payee_inn), optional(d.payee), text(d.payee_account);
  optional(d.payee_kpp), text(d.payee_bic), text(d.payee_bank1), optional(d.payee_ras_account);
  optional(d.payee_cor_account), date(d.income_date);
  return out + "\n";
}

// Everything a reading holds, as text: equal texts mean equal readings.
inline std::string describe(const Reading& reading) {
  if (!reading.ok()) {
    return "error at " + std::to_string(lineno(reading.error()).value_or(0)) + ": " + message(reading.error());
  }
  const ReaderResult& r = reading.value();
  std::string out = std::string(encoding_name(r.encoding)) + "\n";
  for (const AttributeMap::Entry& e : r.header.entries()) out.append(e.key).append("=").append(e.value) += "\n";
  const auto date = [&](const std::optional<Date>& d) { out.append(d ? format_date(*d) : "-").append(";"); };
  const auto amount = [&](const std::optional<Amount>& a) { out.append(a ? format_amount(*a) : "-").append(";"); };
  for (const Account& a : r.accounts) {
    out += "account " + a.number + ":";
    for (const Interval& i : a.intervals) {
      out += std::to_string(i.lineno) + " ";
      date(i.date_start), date(i.date_end), amount(i.start_amount), amount(i.end_amount);
      amount(i.total_income), amount(i.total_expense);
    }
    out += "\n";
  }
  for (const Document& d : r.documents) out += describe(*d);
  for (const StatementWarning& w : r.warnings) out += std::to_string(w.lineno) + " " + w.message + "\n";
  return out;
}

// Keeps what a reading hands it (keep_document: the views it is handed are gone after the reading), to be
// described as a reading's description shows its documents.
class DescribingSink : public DocumentSink {
 public:
  void start(const StatementSections*) override { kept_.clear(); }
  void take(const DocumentRecord& record, const FieldLines&) override {
    kept_.push_back(keep_document(record, store_));
  }

  std::string documents() const {
    std::string out;
    for (const Document& d : kept_) out += describe(*d);
    return out;
  }

 private:
  TextStore store_;
  std::vector<Document> kept_;
};

}  // namespace quorlane::testing
