#include "args.h"

#include <string>
#include <utility>

#include "pending_error.h"

namespace quorlane_glue {
namespace {

// "were" unless exactly one was given, as the interpreter words it.
const char* verb_for(Py_ssize_t count) noexcept { return count == 1 ? "was" : "were"; }

bool refuse_too_many(const Signature& sig, Py_ssize_t given) noexcept {
  const auto total = static_cast<Py_ssize_t>(sig.params.size());
  if (sig.required < sig.params.size()) {
    PyErr_Format(PyExc_TypeError, "%s takes from %zd to %zd positional arguments but %zd %s given", sig.full_name,
                 static_cast<Py_ssize_t>(sig.required), total, given, verb_for(given));
  } else {
    PyErr_Format(PyExc_TypeError, "%s takes %zd positional arguments but %zd %s given", sig.full_name, total, given,
                 verb_for(given));
  }
  return false;
}

// The parameter a keyword names, or params.size() when it names none. A name that is not a str names none.
std::size_t find_param(const Signature& sig, PyObject* name) noexcept {
  if (!PyUnicode_Check(name)) return sig.params.size();
  for (std::size_t i = 0; i < sig.params.size(); ++i) {
    // Compares every code point and the length, so case, spelling and embedded NULs all count.
    if (PyUnicode_CompareWithASCIIString(name, sig.params[i]) == 0) return i;
  }
  return sig.params.size();
}

// Shows a keyword name as given; %S covers a name that is not a str.
bool refuse_keyword(const Signature& sig, const char* what, PyObject* name) noexcept {
  if (PyUnicode_Check(name)) {
    PyErr_Format(PyExc_TypeError, "%s %s '%U'", sig.full_name, what, name);
  } else {
    PyErr_Format(PyExc_TypeError, "%s %s '%S'", sig.full_name, what, name);
  }
  return false;
}

// Files one keyword argument into its slot, refusing unknown and repeated names.
bool bind_keyword(const Signature& sig, PyObject* name, PyObject* value, std::span<PyObject*> slots) noexcept {
  const std::size_t index = find_param(sig, name);
  if (index == sig.params.size()) return refuse_keyword(sig, "got an unexpected keyword argument", name);
  if (slots[index]) return refuse_keyword(sig, "got multiple values for argument", name);
  slots[index] = value;
  return true;
}

// The absent required parameters, in parameter order: 'a' / 'a' and 'b' / 'a', 'b', and 'c'.
std::string list_missing(const Signature& sig, std::span<PyObject* const> slots, std::size_t count) {
  std::string text;
  std::size_t listed = 0;
  for (std::size_t i = 0; i < sig.required; ++i) {
    if (slots[i]) continue;
    if (listed > 0) {
      if (count > 2) text += ',';
      text += listed + 1 == count ? " and " : " ";
    }
    text += '\'';
    text += sig.params[i];
    text += '\'';
    ++listed;
  }
  return text;
}

bool check_required(const Signature& sig, std::span<PyObject* const> slots) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < sig.required; ++i) count += slots[i] ? 0 : 1;
  if (count == 0) return true;
  const std::string names = list_missing(sig, slots, count);
  PyErr_Format(PyExc_TypeError, "%s missing %zd required positional %s: %s", sig.full_name,
               static_cast<Py_ssize_t>(count), count == 1 ? "argument" : "arguments", names.c_str());
  return false;
}

bool bind_positional(const Signature& sig, PyObject* const* args, Py_ssize_t nargs,
                     std::span<PyObject*> slots) noexcept {
  if (nargs > static_cast<Py_ssize_t>(sig.params.size())) return refuse_too_many(sig, nargs);
  for (std::size_t i = 0; i < slots.size(); ++i) slots[i] = nullptr;
  for (Py_ssize_t i = 0; i < nargs; ++i) slots[static_cast<std::size_t>(i)] = args[i];
  return true;
}

}  // namespace

bool bind_arguments(const Signature& sig, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                    std::span<PyObject*> slots) {
  if (!bind_positional(sig, args, nargs, slots)) return false;
  const Py_ssize_t nkw = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
  for (Py_ssize_t i = 0; i < nkw; ++i) {
    if (!bind_keyword(sig, PyTuple_GET_ITEM(kwnames, i), args[nargs + i], slots)) return false;
  }
  return check_required(sig, slots);
}

bool bind_arguments(const Signature& sig, PyObject* args, PyObject* kwargs, std::span<PyObject*> slots) {
  if (!bind_positional(sig, PySequence_Fast_ITEMS(args), PyTuple_GET_SIZE(args), slots)) return false;
  if (kwargs) {
    Py_ssize_t pos = 0;
    PyObject* name = nullptr;
    PyObject* value = nullptr;
    while (PyDict_Next(kwargs, &pos, &name, &value)) {
      if (!bind_keyword(sig, name, value, slots)) return false;
    }
  }
  return check_required(sig, slots);
}

void wrap_argument_error(const char* param) noexcept {
  // Only a plain TypeError is reworded: subclasses and other errors say enough as they are.
  if (PyErr_Occurred() != PyExc_TypeError) return;
  Ref old = take_pending_error();
  if (!old) return;
  Ref text = Ref::steal(PyUnicode_FromFormat("argument '%s': %S", param, old.get()));
  if (!text) return;
  Ref replacement = Ref::steal(PyObject_CallOneArg(PyExc_TypeError, text.get()));
  if (!replacement) return;
  // SetCause steals the reference; a missing cause is left missing rather than set to None.
  if (PyObject* cause = PyException_GetCause(old.get())) PyException_SetCause(replacement.get(), cause);
  restore_pending_error(std::move(replacement));
}

}  // namespace quorlane_glue
