// read_table and the class Table: a statement's tables made from the core's reading, and handed to any Arrow
// consumer through the PyCapsule interface (__arrow_c_stream__, __arrow_c_schema__) without a copy. The reading
// and the building run without the interpreter lock: they touch no Python object, and the statement (bytes or a
// str, both immutable) stays referenced by the caller's argument for the whole call.
#include "tables.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "args.h"
#include "arrow_table.h"
#include "class_creation.h"
#include "entry_point.h"
#include "module_state.h"
#include "quorlane/parse.h"
#include "quorlane/sections.h"
#include "ref.h"
#include "statement_input.h"
#include "statement_tables.h"
#include "str_conversion.h"

namespace quorlane_accel {
namespace {

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
  return new_capsule<ArrowSchema>(kSchemaCapsule, [&](ArrowSchema* out) { export_schema(table_of(self), out); });
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
  return new_capsule<ArrowArrayStream>(kStreamCapsule, [&](ArrowArrayStream* out) { export_stream(table, out); });
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
     "__arrow_c_schema__()\n--\n\nThe table's schema as a PyCapsule holding an ArrowSchema (a struct of the columns)."},
    {"__arrow_c_stream__",
     quorlane_glue::as_method(quorlane_glue::entry_point<Table_arrow_c_stream>),
     METH_FASTCALL | METH_KEYWORDS,
     "__arrow_c_stream__(requested_schema=None)\n--\n\n"
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

// ---- reading ----

// What one reading came to: the tables, the value none of them can hold, or nothing (the reader failed).
struct Reading {
  quorlane::Encoding encoding = quorlane::Encoding::Utf8;
  std::vector<quorlane::StatementWarning> warnings;
  std::optional<StatementTables> tables;
  std::optional<Refusal> refusal;
};

std::size_t size_of(std::string_view bytes) noexcept { return bytes.size(); }
std::size_t size_of(quorlane::CodePoints text) noexcept { return text.count; }

Reading finished(TableBuilder& builder, const quorlane::ReaderResult& result) {
  Reading reading;
  reading.encoding = result.encoding;
  reading.warnings = result.warnings;
  auto built = builder.finish(result);
  if (built) {
    reading.tables = std::move(built).value();
  } else {
    reading.refusal = std::move(built).error();
  }
  return reading;
}

template <class Input>
Reading read(Input input, const TableOptions& options, bool with_sections) {
  std::optional<quorlane::StatementSections> sections;
  if (with_sections) {
    auto read = quorlane::read_sections(input);
    if (!read) return Reading();
    sections = std::move(read).value();
  }
  TableBuilder builder(options, sections ? &*sections : nullptr, size_of(input));
  auto parsed = quorlane::parse_statement(input, {}, {}, &builder);
  if (!parsed) return Reading();
  return finished(builder, parsed.value());
}

// Whether the interpreter is being finalized. A thread that takes the interpreter lock then is ended on the
// spot (a forced unwind, or a wait without end from 3.14 on), as CPython's documentation of PyEval_RestoreThread
// warns, advising to ask this first. CPython 3.13 names it Py_IsFinalizing; before, it is spelled with an
// underscore, which reads the same runtime flag. PyPy ends no thread that way.
bool interpreter_ending() noexcept {
#if defined(PYPY_VERSION)
  return false;
#elif PY_VERSION_HEX >= 0x030D0000
  return Py_IsFinalizing() != 0;
#else
  return _Py_IsFinalizing() != 0;
#endif
}

// Lets other threads run while the core reads; takes the lock back on every way out, an exception included, but
// during finalization: then the thread (a daemon thread: the others were joined) waits for the process to end
// rather than return into an interpreter being taken apart. The destructor may let the interpreter's forced
// unwind of the thread pass (a finalization that began after the question), so it is not declared noexcept.
class WithoutLock {
 public:
  WithoutLock() noexcept : state_(PyEval_SaveThread()) {}
  WithoutLock(const WithoutLock&) = delete;
  WithoutLock& operator=(const WithoutLock&) = delete;
  ~WithoutLock() noexcept(false) {
    while (interpreter_ending()) std::this_thread::sleep_for(std::chrono::seconds(1));
    PyEval_RestoreThread(state_);
  }

 private:
  PyThreadState* state_;
};

// A str argument as UTF-8; false with an exception.
bool utf8_of(PyObject* text, std::string& out) {
  if (!PyUnicode_Check(text)) {
    PyErr_Format(PyExc_TypeError, "expected str, not %.200s", Py_TYPE(text)->tp_name);
    return false;
  }
  return quorlane_glue::append_utf8(out, text);
}

// The options of read_table's arguments after the statement; false with an exception.
bool options_of(PyObject* const* args, TableOptions& options) {
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
      if (!is_arrow_name(options.keys.back())) {
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

PyObject* new_warnings(const std::vector<quorlane::StatementWarning>& warnings) {
  return quorlane_glue::new_list(warnings, [](const quorlane::StatementWarning& warning) -> PyObject* {
    Ref message = Ref::steal(quorlane_glue::new_str(warning.message));
    if (!message) return nullptr;
    return Py_BuildValue("(KO)", static_cast<unsigned long long>(warning.lineno), message.get());
  });
}

PyObject* refused(const Refusal& refusal) {
  Ref code = Ref::steal(quorlane_glue::new_str(refusal.code));
  Ref key = Ref::steal(quorlane_glue::new_str(refusal.key));
  Ref message = Ref::steal(quorlane_glue::new_str(refusal.message));
  if (!code || !key || !message) return nullptr;
  return Py_BuildValue("(sOKOO)", "refused", code.get(), static_cast<unsigned long long>(refusal.lineno), key.get(),
                       message.get());
}

}  // namespace

PyTypeObject* new_table_type() {
  return reinterpret_cast<PyTypeObject*>(quorlane_glue::new_class(table_spec, "quorlane._accel"));
}

PyObject* read_table(PyObject* module, PyObject* const* args, Py_ssize_t nargs) {
  if (nargs != 5) {
    PyErr_SetString(PyExc_TypeError, "read_table takes a statement, a name, keys, a scale and a batch size");
    return nullptr;
  }
  TableOptions options;
  if (!options_of(args + 1, options)) return nullptr;
  PyTypeObject* const type = state_of(module).table_type;
  const bool with_sections = options.all_keys || !options.keys.empty();
  const auto answer = [&](Reading& reading) -> PyObject* {
    if (reading.refusal) return refused(*reading.refusal);
    if (!reading.tables) Py_RETURN_NONE;  // the reader's own error, which quorlane_py.parse raises
    Ref documents = Ref::steal(new_table(type, std::move(reading.tables->documents)));
    if (!documents) return nullptr;
    Ref intervals = Ref::steal(new_table(type, std::move(reading.tables->intervals)));
    if (!intervals) return nullptr;
    Ref warnings = Ref::steal(new_warnings(reading.warnings));
    if (!warnings) return nullptr;
    const std::string_view encoding = quorlane::encoding_name(reading.encoding);
    return Py_BuildValue("(ss#OOO)", "read", encoding.data(), static_cast<Py_ssize_t>(encoding.size()), documents.get(),
                         intervals.get(), warnings.get());
  };
  if (args[0] == Py_None) {  // the tables of no statement: the columns alone
    TableBuilder builder(options, nullptr, 0);
    builder.start();
    Reading reading = finished(builder, quorlane::ReaderResult());
    return answer(reading);
  }
  return with_statement(args[0], [&](auto input) -> PyObject* {
    Reading reading;
    {
      WithoutLock unlocked;
      reading = read(input, options, with_sections);
    }
    return answer(reading);
  });
}

}  // namespace quorlane_accel
