// Statement: the result of one parse. Its containers are ordinary Python objects that callers may change;
// since they can come to refer back to the statement, the class takes part in garbage collection.
#include <memory>
#include <new>
#include <string>

#include "glue.h"
#include "quorlane/quoted.h"
#include "result_classes.h"
#include "field_values.h"

namespace quorlane_py {
namespace {

struct StatementData {
  quorlane::Encoding encoding;
  Ref header;
  Ref accounts;
  Ref documents;
  Ref warnings;
  std::size_t documents_count;  // as parsed, for the repr
  std::size_t warnings_count;
};

struct StatementObject {
  PyObject_HEAD
  StatementData data;
};

PyTypeObject* the_class = nullptr;

StatementData& data_of(PyObject* self) noexcept { return reinterpret_cast<StatementObject*>(self)->data; }

PyObject* get_encoding(PyObject* self, void*) noexcept {
  return new_str(quorlane::encoding_name(data_of(self).encoding));
}

// The stored container itself, with a new reference. (After a garbage collection has broken a cycle
// through the statement the slot is empty: None stands in.)
template <Ref StatementData::*Field>
PyObject* get_container(PyObject* self, void*) noexcept {
  PyObject* container = (data_of(self).*Field).get();
  return Ref::borrow(container ? container : Py_None).release();
}

int traverse(PyObject* self, visitproc visit, void* arg) {
  StatementData& data = data_of(self);
  Py_VISIT(Py_TYPE(self));
  Py_VISIT(data.header.get());
  Py_VISIT(data.accounts.get());
  Py_VISIT(data.documents.get());
  Py_VISIT(data.warnings.get());
  return 0;
}

int clear(PyObject* self) {
  StatementData& data = data_of(self);
  data.header = Ref();
  data.accounts = Ref();
  data.documents = Ref();
  data.warnings = Ref();
  return 0;
}

void dealloc(PyObject* self) noexcept {
  PyObject_GC_UnTrack(self);
  std::destroy_at(&data_of(self));
  free_instance(self);
}

PyObject* repr(PyObject* self) {
  const StatementData& data = data_of(self);
  return repr_of([&](std::string& out) {
    out += "Statement(encoding=";
    quorlane::append_quoted(out, quorlane::encoding_name(data.encoding));
    out += ", documents=[...";
    out += std::to_string(data.documents_count);
    out += "], warnings=[...";
    out += std::to_string(data.warnings_count);
    out += "])";
  });
}

PyGetSetDef getset[] = {
    {"encoding", get_encoding, nullptr, nullptr, nullptr},
    {"header", get_container<&StatementData::header>, nullptr, nullptr, nullptr},
    {"accounts", get_container<&StatementData::accounts>, nullptr, nullptr, nullptr},
    {"documents", get_container<&StatementData::documents>, nullptr, nullptr, nullptr},
    {"warnings", get_container<&StatementData::warnings>, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot slots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc)},
    {Py_tp_traverse, reinterpret_cast<void*>(traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(clear)},
    {Py_tp_repr, reinterpret_cast<void*>(entry_point<repr>)},
    {Py_tp_getset, getset},
    {Py_tp_new, reinterpret_cast<void*>(refuse_construction)},
    {0, nullptr},
};

PyType_Spec spec = {"Statement", sizeof(StatementObject), 0, Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC, slots};

}  // namespace

PyObject* statement_class() {
  if (!the_class) the_class = reinterpret_cast<PyTypeObject*>(new_class(spec, kModuleName));
  return reinterpret_cast<PyObject*>(the_class);
}

PyObject* new_statement(quorlane::Encoding encoding, Ref header, Ref accounts, Ref documents, Ref warnings,
                        std::size_t documents_count, std::size_t warnings_count) noexcept {
  PyObject* self = the_class->tp_alloc(the_class, 0);
  if (!self) return nullptr;
  new (&data_of(self)) StatementData{encoding,          std::move(header),   std::move(accounts),
                                     std::move(documents), std::move(warnings), documents_count,
                                     warnings_count};
  return self;
}

}  // namespace quorlane_py
