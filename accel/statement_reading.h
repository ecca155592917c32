// The package's reading of a statement: the reader's, with what the format itself allows beyond it (a UTF-8 byte
// order mark read past, cp866 where the header declares DOS), and the documents it drops named with the field
// that dropped them.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <vector>

#include "module_state.h"
#include "quorlane/errors.h"
#include "quorlane/reader.h"
#include "quorlane/text_source.h"

namespace quorlane_accel {

// The options every reading function of the package reads with.
quorlane::ReadOptions package_reading() noexcept;

// A list of quorlane.errors.DroppedDocument, one per warning: the (lineno, message) pair quorlane_py gives, with
// the key and value that dropped the document. New reference, or null with an exception.
PyObject* dropped_documents(const ModuleState& state, const std::vector<quorlane::StatementWarning>& warnings);

// The Statement of a reading, as quorlane_py.parse makes one, its warnings those of dropped_documents. New
// reference, or null with an exception.
PyObject* package_statement(const ModuleState& state, quorlane::ReaderResult&& reading);

// read_statement(statement), declares_dos(data) and line_feeds(data): see the module's docstrings of the functions.
PyObject* read_statement(PyObject* module, PyObject* statement);
PyObject* declares_dos(PyObject* module, PyObject* data);
PyObject* line_feeds(PyObject* module, PyObject* data);

}  // namespace quorlane_accel
