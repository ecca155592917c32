// quorlane._accel: the package's C++ functions. Each is called through the one error boundary, so that running
// out of memory becomes MemoryError.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "convert.h"
#include "entry_point.h"
#include "module_state.h"
#include "render_documents.h"
#include "sections.h"
#include "tables.h"
#include "text.h"

namespace {

using quorlane_glue::entry_point;

template <auto Function>
PyCFunction fastcall() {
  return quorlane_glue::as_method(entry_point<Function>);
}

PyMethodDef methods[] = {
    {"read_sections", fastcall<quorlane_accel::read_sections>(), METH_FASTCALL,
     "read_sections(statement, /)\n--\n\n"
     "Every section of a statement (bytes or str) as written: (encoding, a tuple of Section in file order).\n"
     "None where the text or its lines fail."},
    {"read_table", fastcall<quorlane_accel::read_table>(), METH_FASTCALL,
     "read_table(statement, name, keys, scale, batch_bytes, /)\n--\n\n"
     "A statement's tables: (\"read\", encoding, documents, intervals, warnings), the tables being Table\n"
     "(without rows for the statement None); or\n"
     "(\"refused\", code, lineno, key, message) for a value no column can hold; None where the reader fails.\n"
     "`name`: the text of a \"file\" column, or None for none; `keys`: None, True (every key outside the\n"
     "fields) or a tuple of keys to add as text columns; `scale`: of the amount columns, or None for the\n"
     "finest written (at least 2); `batch_bytes`: the most bytes of text a column of one batch takes."},
    {"convert", fastcall<quorlane_accel::convert>(), METH_FASTCALL,
     "convert(statement, target, newline, /)\n--\n\n"
     "The statement's own text (bytes or str, decoded as the reader decodes it) in `target` (\"utf-8\" or\n"
     "\"cp1251\"), each line ended by `newline` (\"\\r\\n\" or \"\\n\"). What it could not keep answers\n"
     "(\"unencodable\" or \"carriage return\", line, column, code point), or\n"
     "(\"implausible\", None, None, None) for windows-1251 text the reader would not take for a statement;\n"
     "None where the text cannot be had."},
    {"render_documents", fastcall<quorlane_accel::render_documents>(), METH_FASTCALL,
     "render_documents(documents, head, tail, names, keys, dates, newline, closing, encoding, /)\n--\n\n"
     "The bytes head, then for each document one line per attribute in `names` whose value is not None\n"
     "(its encoded key from `keys`, its value, converted from YYYY-MM-DD where `dates` says so, `newline`),\n"
     "then `closing` and `newline`; then tail, with values in `encoding` (\"utf-8\" or \"cp1251\"). None when a\n"
     "value is not a str, holds a line break, NUL or a character the encoding lacks, or is a date of another form."},
    {"quoted", entry_point<quorlane_accel::quoted>, METH_O,
     "quoted(text, /)\n--\n\nThe text in double quotes with backslash escapes, as the reader's messages show texts."},
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

// Adds the class to the module and keeps it in the module's state; PyModule_AddObject steals the reference on
// success only (PyModule_AddObjectRef is 3.10's).
int add_class(PyObject* module, const char* name, PyTypeObject* made, PyTypeObject*& kept) {
  quorlane_glue::Ref type = quorlane_glue::Ref::steal(reinterpret_cast<PyObject*>(made));
  if (!type) return -1;
  kept = reinterpret_cast<PyTypeObject*>(quorlane_glue::Ref::borrow(type.get()).release());
  if (PyModule_AddObject(module, name, type.get()) < 0) return -1;
  (void)type.release();
  return 0;
}

int add_classes(PyObject* module) {
  quorlane_accel::ModuleState& state = quorlane_accel::state_of(module);
  if (add_class(module, "Section", quorlane_accel::new_section_type(), state.section_type) < 0) return -1;
  if (add_class(module, "Table", quorlane_accel::new_table_type(), state.table_type) < 0) return -1;
  return quorlane_accel::add_text_constants(module);
}

int traverse_module(PyObject* module, visitproc visit, void* arg) {
  quorlane_accel::ModuleState& state = quorlane_accel::state_of(module);
  Py_VISIT(state.section_type);
  Py_VISIT(state.table_type);
  return 0;
}

int clear_module(PyObject* module) {
  quorlane_accel::ModuleState& state = quorlane_accel::state_of(module);
  Py_CLEAR(state.section_type);
  Py_CLEAR(state.table_type);
  return 0;
}

void free_module(void* module) { clear_module(static_cast<PyObject*>(module)); }

PyModuleDef_Slot slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(quorlane_glue::entry_point<add_classes>)},
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
