// quorlane._accel: the package's C++ functions. Each is called through the one error boundary, so that running
// out of memory becomes MemoryError.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "convert.h"
#include "entry_point.h"
#include "module_state.h"
#include "outline.h"
#include "registrar.h"
#include "render_documents.h"
#include "sections.h"
#include "statement_reading.h"
#include "tables.h"
#include "text.h"

namespace {

using quorlane_glue::entry_point;

template <auto Function>
PyCFunction fastcall() {
  return quorlane_glue::as_method(entry_point<Function>);
}

// Every reading function reads as the package reads (see statement_reading.h): as quorlane_py.parse reads, but a
// UTF-8 byte order mark is read past and bytes that are not UTF-8 and declare DOS are read as cp866; and the
// documents it drops are quorlane.errors.DroppedDocument pairs.
PyMethodDef methods[] = {
    {"read_statement", entry_point<quorlane_accel::read_statement>, METH_O,
     "read_statement(statement, /)\n--\n\n"
     "A statement (bytes or str) read as the package reads, as a quorlane_py.Statement. Raises what\n"
     "quorlane_py.parse raises for the same statement read the same way."},
    {"read_sections", entry_point<quorlane_accel::read_sections>, METH_O,
     "read_sections(statement, /)\n--\n\n"
     "A statement (bytes or str) read once, as a SectionReading: the statement as read_statement returns it\n"
     "and every section as written. Raises what read_statement raises."},
    {"read_table", fastcall<quorlane_accel::read_table>(), METH_FASTCALL,
     "read_table(statement, name, keys, scale, batch_bytes, /)\n--\n\n"
     "A statement's tables, read once, as a StatementTable (without rows for the statement None). Raises what\n"
     "read_statement raises, and quorlane.TableError for a value no column can hold.\n"
     "`name`: the text of a \"file\" column, or None for none; `keys`: None, True (every key outside the\n"
     "fields) or a tuple of keys to add as text columns; `scale`: of the amount columns, or None for the\n"
     "finest written (at least 2); `batch_bytes`: the most bytes of text a column of one batch takes."},
    {"convert", fastcall<quorlane_accel::convert>(), METH_FASTCALL,
     "convert(statement, target, newline, /)\n--\n\n"
     "The statement's own text (bytes or str, read once, as read_statement reads it) in `target` (\"utf-8\",\n"
     "\"cp1251\", \"cp866\", or None for its own encoding), each line ended by `newline` (\"\\r\\n\" or \"\\n\"), as\n"
     "bytes. Raises what read_statement raises, then quorlane.WriteError for what the text could not keep."},
    {"write_converted", fastcall<quorlane_accel::write_converted>(), METH_FASTCALL,
     "write_converted(statement, target, newline, write, /)\n--\n\n"
     "What convert returns, handed to write(bytes) in pieces (of about a MiB) as it is converted, after the\n"
     "statement was read to the reader's verdict. Raises what convert raises, the WriteError perhaps after some\n"
     "pieces were written, and what write raises, which ends the conversion."},
    {"read_outline", fastcall<quorlane_accel::read_outline>(), METH_FASTCALL,
     "read_outline(statement, sections, /)\n--\n\n"
     "The statement (bytes or str) read to the reader's verdict, as read_statement reads it, as an Outline: the\n"
     "statement but for its documents, which are counted, and read again, a batch at a time, by\n"
     "Outline.read_documents; with `sections` true, the keys of the documents' sections too. Raises what\n"
     "read_statement raises."},
    {"render_documents", fastcall<quorlane_accel::render_documents>(), METH_FASTCALL,
     "render_documents(documents, head, tail, names, keys, dates, newline, closing, encoding, /)\n--\n\n"
     "The bytes head, then for each document one line per attribute in `names` whose value is not None\n"
     "(its encoded key from `keys`, its value, converted from YYYY-MM-DD where `dates` says so, `newline`),\n"
     "then `closing` and `newline`; then tail, with values in `encoding` (\"utf-8\" or \"cp1251\"). A\n"
     "quorlane_py.Document whose class is untouched is written from its record. NotRendered when a value is not a\n"
     "str, holds a line break, NUL or a character the encoding lacks, or is a date of another form."},
    {"declares_dos", entry_point<quorlane_accel::declares_dos>, METH_O,
     "declares_dos(data, /)\n--\n\nWhether the bytes declare themselves cp866: the header's last Кодировка line,\n"
     "written in cp866, says DOS (the package then reads bytes that are not UTF-8 as cp866)."},
    {"line_feeds", entry_point<quorlane_accel::line_feeds>, METH_O,
     "line_feeds(data, /)\n--\n\nThe number of line feeds in the bytes, counted a vector at a time."},
    {"key_column", entry_point<quorlane_accel::key_column>, METH_O,
     "key_column(key, /)\n--\n\nThe name of the column of a key outside the fields: the key, or \"key:\" and the\n"
     "key where the key is named like one of the table's own columns or begins with \"key:\"."},
    {"quoted", entry_point<quorlane_accel::quoted>, METH_O,
     "quoted(text, /)\n--\n\nThe text in double quotes with backslash escapes, as the reader's messages show texts."},
    {"encode", fastcall<quorlane_accel::encode>(), METH_FASTCALL,
     "encode(text, encoding, /)\n--\n\nThe text in \"utf-8\" or \"cp1251\" (windows-1251 by the reader's own table), as\n"
     "bytes; UnicodeEncodeError, as str.encode raises it, for the first character the encoding lacks."},
    {"plausible", entry_point<quorlane_accel::plausible>, METH_O,
     "plausible(text, /)\n--\n\nWhether the reader takes text that did not arrive as UTF-8 for statement text:\n"
     "enough of its first PLAUSIBILITY_CHARS characters are letters, digits, punctuation and blanks."},
    {"dotted_date", entry_point<quorlane_accel::dotted_date>, METH_O,
     "dotted_date(iso, /)\n--\n\nA date as Document attributes give it (YYYY-MM-DD, a signed year beyond 0..9999)\n"
     "as the format writes it (DD.MM.YYYY), or None for any other text."},
    {"iso_date", entry_point<quorlane_accel::iso_date>, METH_O,
     "iso_date(text, /)\n--\n\nA date as the reader reads Document dates (DD.MM.YYYY and the forms it allows) as\n"
     "YYYY-MM-DD, or None for text that is no such date."},
    {nullptr, nullptr, 0, nullptr},
};

// Adds the class to the module and keeps it in the module's state.
bool add_class(quorlane_glue::Registrar& registrar, const char* name, PyTypeObject* made, PyTypeObject*& kept) {
  quorlane_glue::Ref type = quorlane_glue::Ref::steal(reinterpret_cast<PyObject*>(made));
  if (!type) return false;
  kept = reinterpret_cast<PyTypeObject*>(quorlane_glue::Ref::borrow(type.get()).release());
  return registrar.add(name, type.get());
}

// quorlane_py's capsule, and the package's problem classes: what the package's functions raise and build.
bool take_from_below(quorlane_accel::ModuleState& state) {
  state.reader = PyImport_ImportModule("quorlane_py");
  if (!state.reader) return false;
  const auto* api = static_cast<const quorlane_glue::ModuleApi*>(
      PyCapsule_Import(quorlane_glue::kModuleApiCapsule, 0));
  if (!api) return false;
  if (api->size != sizeof(quorlane_glue::ModuleApi)) {
    PyErr_SetString(PyExc_ImportError, "quorlane._accel and quorlane_py come from different builds");
    return false;
  }
  state.api = api;
  quorlane_glue::Ref errors = quorlane_glue::Ref::steal(PyImport_ImportModule("quorlane.errors"));
  if (!errors) return false;
  state.write_error = PyObject_GetAttrString(errors.get(), "WriteError");
  state.table_error = PyObject_GetAttrString(errors.get(), "TableError");
  state.dropped_document = PyObject_GetAttrString(errors.get(), "DroppedDocument");
  return state.write_error && state.table_error && state.dropped_document;
}

int exec_module(PyObject* module) {
  quorlane_accel::ModuleState& state = quorlane_accel::state_of(module);
  if (!take_from_below(state)) return -1;
  quorlane_glue::Registrar registrar(module, quorlane_glue::Registrar::Listing::Unlisted);
  if (!add_class(registrar, "Section", quorlane_accel::new_section_type(), state.section_type) ||
      !add_class(registrar, "SectionReading", quorlane_accel::new_section_reading_type(), state.section_reading_type) ||
      !add_class(registrar, "Table", quorlane_accel::new_table_type(), state.table_type) ||
      !add_class(registrar, "StatementTable", quorlane_accel::new_statement_table_type(),
                 state.statement_table_type) ||
      !add_class(registrar, "Outline", quorlane_accel::new_outline_type(), state.outline_type)) {
    return -1;
  }
  state.not_rendered = PyErr_NewExceptionWithDoc(
      "quorlane._accel.NotRendered",
      "What render_documents raises for documents it leaves to the writer that explains every problem: a value that\n"
      "is not a str, holds a line break, NUL or a character the encoding lacks, or a date of another form.",
      PyExc_ValueError, nullptr);
  if (!state.not_rendered || !registrar.add("NotRendered", state.not_rendered)) return -1;
  return quorlane_accel::add_text_constants(registrar) ? 0 : -1;
}

int traverse_module(PyObject* module, visitproc visit, void* arg) {
  quorlane_accel::ModuleState& state = quorlane_accel::state_of(module);
  Py_VISIT(state.section_type);
  Py_VISIT(state.section_reading_type);
  Py_VISIT(state.table_type);
  Py_VISIT(state.statement_table_type);
  Py_VISIT(state.outline_type);
  Py_VISIT(state.reader);
  Py_VISIT(state.write_error);
  Py_VISIT(state.table_error);
  Py_VISIT(state.dropped_document);
  Py_VISIT(state.not_rendered);
  return 0;
}

int clear_module(PyObject* module) {
  quorlane_accel::ModuleState& state = quorlane_accel::state_of(module);
  Py_CLEAR(state.section_type);
  Py_CLEAR(state.section_reading_type);
  Py_CLEAR(state.table_type);
  Py_CLEAR(state.statement_table_type);
  Py_CLEAR(state.outline_type);
  Py_CLEAR(state.reader);
  Py_CLEAR(state.write_error);
  Py_CLEAR(state.table_error);
  Py_CLEAR(state.dropped_document);
  Py_CLEAR(state.not_rendered);
  state.api = nullptr;
  return 0;
}

void free_module(void* module) { clear_module(static_cast<PyObject*>(module)); }

PyModuleDef_Slot slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(quorlane_glue::entry_point<exec_module>)},
    {0, nullptr},
};

PyModuleDef module_def = {PyModuleDef_HEAD_INIT,
                          "quorlane._accel",
                          "The C++ functions of the quorlane package, over the reader's core library.",
                          sizeof(quorlane_accel::ModuleState),
                          methods,
                          slots,
                          traverse_module,
                          clear_module,
                          free_module};

}  // namespace

PyMODINIT_FUNC PyInit__accel() { return PyModuleDef_Init(&module_def); }
