#include "statement_assembly.h"

#include "result_classes.h"
#include "glue.h"

namespace quorlane_py {
namespace {

// The (lineno, message) tuple of one warning.
PyObject* new_warning(const quorlane::StatementWarning& warning) noexcept {
  Ref tuple = Ref::steal(PyTuple_New(2));
  if (!tuple) return nullptr;
  Ref lineno = Ref::steal(PyLong_FromUnsignedLongLong(warning.lineno));
  if (!lineno) return nullptr;
  PyTuple_SET_ITEM(tuple.get(), 0, lineno.release());
  Ref message = Ref::steal(new_str(warning.message));
  if (!message) return nullptr;
  PyTuple_SET_ITEM(tuple.get(), 1, message.release());
  return tuple.release();
}

PyObject* new_accounts(std::vector<quorlane::Account>& accounts) noexcept {
  Ref dict = Ref::steal(PyDict_New());
  if (!dict) return nullptr;
  for (quorlane::Account& account : accounts) {
    Ref key = Ref::steal(new_str(account.number));
    if (!key) return nullptr;
    Ref value = Ref::steal(new_account(std::move(account)));
    if (!value || PyDict_SetItem(dict.get(), key.get(), value.get()) < 0) return nullptr;
  }
  return dict.release();
}

// A new dict of str to str holding the map's pairs in its order.
PyObject* new_text_dict(const quorlane::AttributeMap& map) noexcept {
  Ref dict = Ref::steal(PyDict_New());
  if (!dict) return nullptr;
  for (const quorlane::AttributeMap::Entry& entry : map.entries()) {
    Ref key = Ref::steal(new_str(entry.key));
    if (!key) return nullptr;
    Ref value = Ref::steal(new_str(entry.value));
    if (!value || PyDict_SetItem(dict.get(), key.get(), value.get()) < 0) return nullptr;
  }
  return dict.release();
}

}  // namespace

bool register_result_classes(Registrar& registrar) {
  struct Entry {
    const char* name;
    PyObject* (*create)();
  };
  for (const Entry& entry : {Entry{"Interval", interval_class}, Entry{"Account", account_class},
                             Entry{"Document", document_class}, Entry{"Statement", statement_class}}) {
    PyObject* type = entry.create();
    if (!type || !registrar.add(entry.name, type)) return false;
  }
  return true;
}

PyObject* build_statement(quorlane::ReaderResult&& result, PyObject* given_warnings) noexcept {
  Ref header = Ref::steal(new_text_dict(result.header));
  if (!header) return nullptr;
  Ref accounts = Ref::steal(new_accounts(result.accounts));
  if (!accounts) return nullptr;
  Ref documents = Ref::steal(
      new_list(result.documents, [](quorlane::Document& document) { return new_document(std::move(document)); }));
  if (!documents) return nullptr;
  Ref warnings = given_warnings ? Ref::borrow(given_warnings) : Ref::steal(new_list(result.warnings, new_warning));
  if (!warnings) return nullptr;
  return new_statement(result.encoding, std::move(header), std::move(accounts), std::move(documents),
                       std::move(warnings), result.documents.size(), result.warnings.size());
}

}  // namespace quorlane_py
