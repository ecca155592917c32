// The four result classes, one file each. Every class is created once per process by its `*_class()`
// function (which returns it borrowed, or null with an exception); the `new_*` functions require that the
// class exists and return a new reference, or null with an exception set.
#pragma once

#include <cstddef>

#include "glue.h"
#include "quorlane/decode.h"
#include "quorlane/records.h"

namespace quorlane_py {

PyObject* interval_class();
PyObject* new_interval(const quorlane::Interval& interval) noexcept;
// Equal as Python sees them: every attribute's text equal, None only equal to None.
bool same_interval_text(const quorlane::Interval& a, const quorlane::Interval& b) noexcept;

PyObject* account_class();
PyObject* new_account(quorlane::Account&& account) noexcept;

PyObject* document_class();
PyObject* new_document(quorlane::Document&& document) noexcept;
// The record of a Document; null for an object of any other class.
const quorlane::DocumentRecord* document_record(PyObject* object) noexcept;

PyObject* statement_class();
// Takes over the four containers; the counts are the ones its repr shows.
PyObject* new_statement(quorlane::Encoding encoding, Ref header, Ref accounts, Ref documents, Ref warnings,
                        std::size_t documents_count, std::size_t warnings_count) noexcept;

}  // namespace quorlane_py
