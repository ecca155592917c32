// read_table and the class Table: a statement's tables made from the core's reading, and handed to any Arrow
// consumer through the PyCapsule interface (__arrow_c_stream__, __arrow_c_schema__) without a copy. The reading
// and the building run without the interpreter lock: they touch no Python object, and the statement (bytes or a
// str, both immutable) stays referenced by the caller's argument for the whole call.
#include "tables.h"

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "args.h"
#include "class_creation.h"
#include "entry_point.h"
#include "module_state.h"
#include "ref.h"
#include "problems.h"
#include "statement_errors.h"
#include "statement_input.h"
#include "statement_reading.h"
#include "without_lock.h"
#include "quorlane/statement_tables.h"
#include "str_conversion.h"

namespace quorlane_accel {
namespace {

using quorlane::ArrowField;
using quorlane::ArrowTable;
using quorlane::SharedTable;
using quorlane_glue::Ref;

constexpr const char* kSchemaCapsule = "arrow_schema";
constexpr const char* kStreamCapsule = "arrow_array_stream";

struct TableObject {
  PyObject_HEAD
  SharedTable* table;
};

const ArrowTable& table_of(PyObject* self) { return **reinterpret_cast<TableObject*>(self)->table; }

// A capsule's destructor: releases what the consumer did not take (one that took it set release to null).
template <class Struct>
void free_capsule(PyObject* capsule) noexcept {
  const char* name = PyCapsule_GetName(capsule);
  auto* exported = static_cast<Struct*>(PyCapsule_GetPointer(capsule, name));
  if (exported == nullptr) {
    PyErr_Clear();
    return;
  }
  if (exported->release != nullptr) exported->release(exported);
  delete exported;
}

// A new capsule owning `exported`, which `fill` fills; null with an exception.
template <class Struct, class Fill>
PyObject* new_capsule(const char* name, Fill fill) {
  auto exported = std::make_unique<Struct>();
  fill(exported.get());
  PyObject* capsule = PyCapsule_New(exported.get(), name, free_capsule<Struct>);
  if (capsule == nullptr) {
    exported->release(exported.get());
    return nullptr;
  }
  (void)exported.release();  // the capsule's now
  return capsule;
}

PyObject* Table_arrow_c_schema(PyObject* self, PyObject*) {
  return new_capsule<ArrowSchema>(kSchemaCapsule, [&](ArrowSchema* out) { quorlane::export_schema(table_of(self), out); });
}

PyObject* Table_arrow_c_stream(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  static const char* const params[] = {"requested_schema"};
  PyObject* slots[1] = {nullptr};
  if (!quorlane_glue::bind_arguments(quorlane_glue::Signature{"__arrow_c_stream__()", params, 0}, args, nargs, kwnames,
                                   slots)) {
    return nullptr;
  }
  // A requested schema may be ignored, by the interface's rules: the consumer casts if it must.
  const SharedTable& table = *reinterpret_cast<TableObject*>(self)->table;
  return new_capsule<ArrowArrayStream>(kStreamCapsule, [&](ArrowArrayStream* out) { quorlane::export_stream(table, out); });
}

PyObject* Table_num_rows(PyObject* self, void*) { return PyLong_FromLongLong(table_of(self).rows()); }

PyObject* Table_column_names(PyObject* self, void*) {
  const std::vector<ArrowField>& fields = table_of(self).fields;
  Ref names = Ref::steal(PyTuple_New(static_cast<Py_ssize_t>(fields.size())));
  if (!names) return nullptr;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    PyObject* name = quorlane_glue::new_str(fields[i].name);
    if (!name) return nullptr;
    PyTuple_SET_ITEM(names.get(), static_cast<Py_ssize_t>(i), name);
  }
  return names.release();
}

PyObject* Table_repr(PyObject* self) {
  const ArrowTable& table = table_of(self);
  return PyUnicode_FromFormat("<quorlane table: %lld rows, %zd columns>", static_cast<long long>(table.rows()),
                              static_cast<Py_ssize_t>(table.fields.size()));
}

void Table_dealloc(PyObject* self) {
  delete reinterpret_cast<TableObject*>(self)->table;
  quorlane_glue::free_instance(self);
}

PyGetSetDef table_getset[] = {
    {"num_rows", quorlane_glue::entry_point<Table_num_rows>, nullptr, "The number of rows.", nullptr},
    {"column_names", quorlane_glue::entry_point<Table_column_names>, nullptr, "The columns' names, in order.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef table_methods[] = {
    {"__arrow_c_schema__", quorlane_glue::entry_point<Table_arrow_c_schema>, METH_NOARGS,
     "__arrow_c_schema__($self, /)\n--\n\nThe table's schema as a PyCapsule holding an ArrowSchema (a struct of the columns)."},
    {"__arrow_c_stream__",
     quorlane_glue::as_method(quorlane_glue::entry_point<Table_arrow_c_stream>),
     METH_FASTCALL | METH_KEYWORDS,
     "__arrow_c_stream__($self, requested_schema=None)\n--\n\n"
     "The table as a PyCapsule holding an ArrowArrayStream of its record batches; each export shares the\n"
     "table's buffers, which live until the last consumer releases them."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot table_slots[] = {
    {Py_tp_doc, const_cast<char*>("An Arrow table of a statement (quorlane.read_table makes them).")},
    {Py_tp_new, reinterpret_cast<void*>(quorlane_glue::refuse_construction)},
    {Py_tp_dealloc, reinterpret_cast<void*>(Table_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(quorlane_glue::entry_point<Table_repr>)},
    {Py_tp_getset, table_getset},
    {Py_tp_methods, table_methods},
    {0, nullptr},
};

PyType_Spec table_spec = {"Table", sizeof(TableObject), 0, Py_TPFLAGS_DEFAULT, table_slots};

PyObject* new_table(PyTypeObject* type, ArrowTable&& table) {
  auto shared = std::make_unique<SharedTable>(std::make_shared<const ArrowTable>(std::move(table)));
  auto* object = PyObject_New(TableObject, type);
  if (object == nullptr) return nullptr;
  object->table = shared.release();
  return reinterpret_cast<PyObject*>(object);
}

// ---- StatementTable ----

struct StatementTableObject {
  PyObject_HEAD
  PyObject* encoding;
  PyObject* documents;  // a Table
  PyObject* intervals;  // a Table
  PyObject* warnings;   // a list of (lineno, message)
};

StatementTableObject& statement_table(PyObject* self) { return *reinterpret_cast<StatementTableObject*>(self); }

PyObject* StatementTable_arrow_c_stream(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return Table_arrow_c_stream(statement_table(self).documents, args, nargs, kwnames);
}

PyObject* StatementTable_arrow_c_schema(PyObject* self, PyObject*) {
  return Table_arrow_c_schema(statement_table(self).documents, nullptr);
}

Py_ssize_t StatementTable_length(PyObject* self) {
  return static_cast<Py_ssize_t>(table_of(statement_table(self).documents).rows());
}

PyObject* StatementTable_column_names(PyObject* self, void*) {
  return Table_column_names(statement_table(self).documents, nullptr);
}

PyObject* StatementTable_repr(PyObject* self) {
  const StatementTableObject& table = statement_table(self);
  return PyUnicode_FromFormat("<StatementTable %U, %lld documents, %lld intervals, %zd warnings>", table.encoding,
                              static_cast<long long>(table_of(table.documents).rows()),
                              static_cast<long long>(table_of(table.intervals).rows()),
                              PyList_GET_SIZE(table.warnings));
}

void StatementTable_dealloc(PyObject* self) {
  StatementTableObject& table = statement_table(self);
  Py_XDECREF(table.encoding);
  Py_XDECREF(table.documents);
  Py_XDECREF(table.intervals);
  Py_XDECREF(table.warnings);
  quorlane_glue::free_instance(self);
}

PyGetSetDef statement_table_getset[] = {
    {"encoding", quorlane_glue::member_getter<&StatementTableObject::encoding>, nullptr,
     "\"utf-8\", \"cp1251\" or \"cp866\".", nullptr},
    {"documents", quorlane_glue::member_getter<&StatementTableObject::documents>, nullptr,
     "The documents' Table: one row per document of quorlane_py.parse, in the same order.", nullptr},
    {"intervals", quorlane_glue::member_getter<&StatementTableObject::intervals>, nullptr,
     "The accounts' intervals as a Table.", nullptr},
    {"warnings", quorlane_glue::member_getter<&StatementTableObject::warnings>, nullptr,
     "The documents the reader dropped: (lineno, message) pairs, each a DroppedDocument with its key and value.",
     nullptr},
    {"column_names", quorlane_glue::entry_point<StatementTable_column_names>, nullptr,
     "The documents' columns' names, in order.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef statement_table_methods[] = {
    {"__arrow_c_schema__", quorlane_glue::entry_point<StatementTable_arrow_c_schema>, METH_NOARGS,
     "__arrow_c_schema__($self, /)\n--\n\nThe documents' schema, as Table.__arrow_c_schema__ gives it."},
    {"__arrow_c_stream__", quorlane_glue::as_method(quorlane_glue::entry_point<StatementTable_arrow_c_stream>),
     METH_FASTCALL | METH_KEYWORDS,
     "__arrow_c_stream__($self, requested_schema=None)\n--\n\nThe documents' rows, as Table.__arrow_c_stream__ gives them."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot statement_table_slots[] = {
    {Py_tp_doc, const_cast<char*>("The documents of a statement as an Arrow table, with its intervals and warnings "
                                  "(quorlane.read_table makes them).")},
    {Py_tp_new, reinterpret_cast<void*>(quorlane_glue::refuse_construction)},
    {Py_tp_dealloc, reinterpret_cast<void*>(StatementTable_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(quorlane_glue::entry_point<StatementTable_repr>)},
    {Py_mp_length, reinterpret_cast<void*>(StatementTable_length)},
    {Py_tp_getset, statement_table_getset},
    {Py_tp_methods, statement_table_methods},
    {0, nullptr},
};

PyType_Spec statement_table_spec = {"StatementTable", sizeof(StatementTableObject), 0, Py_TPFLAGS_DEFAULT,
                                    statement_table_slots};

PyObject* new_statement_table(const ModuleState& state, quorlane::StatementTables&& tables) {
  Ref encoding = Ref::steal(quorlane_glue::new_str(quorlane::encoding_name(tables.encoding)));
  Ref documents = Ref::steal(new_table(state.table_type, std::move(tables.documents)));
  Ref intervals = Ref::steal(new_table(state.table_type, std::move(tables.intervals)));
  Ref warnings = Ref::steal(dropped_documents(state, tables.warnings));
  if (!encoding || !documents || !intervals || !warnings) return nullptr;
  auto* object = PyObject_New(StatementTableObject, state.statement_table_type);
  if (object == nullptr) return nullptr;
  object->encoding = encoding.release();
  object->documents = documents.release();
  object->intervals = intervals.release();
  object->warnings = warnings.release();
  return reinterpret_cast<PyObject*>(object);
}

// ---- reading ----

// A str argument as UTF-8; false with an exception.
bool utf8_of(PyObject* text, std::string& out) {
  if (!PyUnicode_Check(text)) {
    PyErr_Format(PyExc_TypeError, "expected str, not %.200s", Py_TYPE(text)->tp_name);
    return false;
  }
  return quorlane_glue::append_utf8(out, text);
}

// The options of read_table's arguments after the statement; false with an exception.
bool options_of(PyObject* const* args, quorlane::TableOptions& options) {
  PyObject* name = args[0];
  PyObject* keys = args[1];
  PyObject* scale = args[2];
  PyObject* batch_bytes = args[3];
  if (name != Py_None) {
    options.file.emplace();
    if (!utf8_of(name, *options.file)) return false;
  }
  if (keys == Py_True) {
    options.all_keys = true;
  } else if (keys != Py_None) {
    if (!PyTuple_Check(keys)) {
      PyErr_SetString(PyExc_TypeError, "keys must be None, True or a tuple of str");
      return false;
    }
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(keys); ++i) {
      PyObject* key = PyTuple_GET_ITEM(keys, i);
      if (!utf8_of(key, options.keys.emplace_back())) return false;
      if (!quorlane::is_arrow_name(options.keys.back())) {
        PyErr_Format(PyExc_ValueError, "the key %R holds NUL, which no column's name can", key);
        return false;
      }
    }
  }
  if (scale != Py_None) {
    const long value = PyLong_AsLong(scale);
    if (value == -1 && PyErr_Occurred()) return false;
    if (value < 0 || value > static_cast<long>(quorlane::kMaxScaledDigits)) {
      PyErr_Format(PyExc_ValueError, "the scale must be from 0 to %u", quorlane::kMaxScaledDigits);
      return false;
    }
    options.scale = static_cast<unsigned>(value);
  }
  const Py_ssize_t limit = PyNumber_AsSsize_t(batch_bytes, PyExc_OverflowError);
  if (limit == -1 && PyErr_Occurred()) return false;
  if (limit < 1 || limit > 0x7FFFFFFF) {
    PyErr_SetString(PyExc_ValueError, "batch_bytes must be from 1 to 2**31 - 1");
    return false;
  }
  options.batch_bytes = static_cast<std::size_t>(limit);
  if (options.file && options.file->size() > options.batch_bytes) {
    PyErr_SetString(PyExc_ValueError, "the name takes more bytes than a column of one batch holds");
    return false;
  }
  return true;
}

// TableError for a value no column can hold, placed where the value starts.
PyObject* refuse(const ModuleState& state, const quorlane::Refusal& refusal) {
  ProblemPlace place{std::nullopt, refusal.lineno, std::nullopt};
  if (refusal.column != 0) place.column = refusal.column;
  std::optional<std::string_view> key;
  if (!refusal.key.empty()) key = refusal.key;
  return raise_problem(state.table_error, "line " + std::to_string(refusal.lineno), key, refusal.message, place,
                       refusal.code);
}

}  // namespace

PyTypeObject* new_table_type() {
  return reinterpret_cast<PyTypeObject*>(quorlane_glue::new_class(table_spec, "quorlane._accel"));
}

PyTypeObject* new_statement_table_type() {
  return reinterpret_cast<PyTypeObject*>(quorlane_glue::new_class(statement_table_spec, "quorlane"));
}

PyObject* read_table(PyObject* module, PyObject* const* args, Py_ssize_t nargs) {
  if (nargs != 5) {
    PyErr_SetString(PyExc_TypeError, "read_table takes a statement, a name, keys, a scale and a batch size");
    return nullptr;
  }
  quorlane::TableOptions options;
  if (!options_of(args + 1, options)) return nullptr;
  const ModuleState& state = state_of(module);
  if (args[0] == Py_None) return new_statement_table(state, quorlane::empty_tables(options));
  quorlane_glue::StatementInput input;
  if (!quorlane_glue::statement_input(args[0], input)) return nullptr;
  // The reading touches no Python object, and the statement (bytes or a str, both immutable) stays referenced by
  // the caller's argument for the whole call.
  auto read = [&] {
    quorlane_glue::WithoutLock unlocked;
    return input.with([&](auto text) { return quorlane::read_tables(text, options, package_reading()); });
  }();
  if (!read) {
    quorlane_glue::raise_statement_error(read.error(), *state.api->errors);
    return nullptr;
  }
  if (!read.value()) return refuse(state, read.value().error());
  return new_statement_table(state, std::move(read).value().value());
}

}  // namespace quorlane_accel
