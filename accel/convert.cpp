// The statement's own text in another encoding and with other line ends: one reading that checks the statement
// as parse does, then its text written as it is converted, into a bytes object or on to a callable.
#include "convert.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "module_state.h"
#include "pending_error.h"
#include "problems.h"
#include "quorlane/convert.h"
#include "quorlane/quoted.h"
#include "quorlane/utf8.h"
#include "ref.h"
#include "statement_input.h"
#include "statement_reading.h"

namespace quorlane_accel {
namespace {

using quorlane_glue::Ref;

// The text written straight into a bytes object, made as large as the text can come to: the pages past what is
// written are never touched, and so take no memory. A room beyond it (text given as code points can ask for more
// than start() said, in its last pieces) moves the text into a larger object.
class BytesOutput final : public quorlane::TextOutput {
 public:
  void start(std::size_t most, quorlane::Encoding target) override {
    target_ = target;
    size_ = 0;
    allocate(most);
  }
  char* room(std::size_t size) override {
    if (size > capacity_ - size_) {
      Ref written = std::move(bytes_);
      allocate(std::max(size_ + size, 2 * capacity_));
      std::memcpy(PyBytes_AS_STRING(bytes_.get()), PyBytes_AS_STRING(written.get()), size_);
    }
    return PyBytes_AS_STRING(bytes_.get()) + size_;
  }
  void wrote(std::size_t size) override { size_ += size; }
  void finish() override {}
  quorlane::Encoding target() const noexcept { return target_; }

  // The bytes written: a new reference, or null with an exception.
  PyObject* take() {
#if defined(PYPY_VERSION)
    return PyBytes_FromStringAndSize(PyBytes_AS_STRING(bytes_.get()), static_cast<Py_ssize_t>(size_));
#else
    // Nobody has seen the object yet: it is cut to what was written, as the interpreter cuts its own.
    Py_SET_SIZE(bytes_.get(), static_cast<Py_ssize_t>(size_));
    PyBytes_AS_STRING(bytes_.get())[size_] = '\0';
    return bytes_.release();
#endif
  }

 private:
  void allocate(std::size_t size) {
    bytes_ = Ref::steal(PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(size)));
    if (!bytes_) {
      PyErr_Clear();
      throw std::bad_alloc();
    }
    capacity_ = size;
  }

  Ref bytes_;
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;
  quorlane::Encoding target_ = quorlane::Encoding::Utf8;
};

// The text handed on to a Python callable, write(bytes), in pieces of about a MiB as it is converted. A call that
// raises stops the conversion; the exception is kept for the caller.
class PassedOnOutput final : public quorlane::TextOutput {
 public:
  explicit PassedOnOutput(PyObject* write) : write_(write) {}

  void start(std::size_t, quorlane::Encoding target) override {
    target_ = target;
    used_ = 0;
  }
  char* room(std::size_t size) override {
    if (size > capacity_ - used_) {
      pass_on();
      if (size > capacity_) {
        capacity_ = std::max(size, kPieceSize);
        buffer_ = std::make_unique<char[]>(capacity_);
      }
    }
    return buffer_.get() + used_;
  }
  void wrote(std::size_t size) override { used_ += size; }
  bool stopped() const noexcept override { return static_cast<bool>(error_); }
  void finish() override { pass_on(); }
  quorlane::Encoding target() const noexcept { return target_; }
  // The exception a call raised, taken out of the error indicator; empty when none did.
  Ref take_error() noexcept { return std::move(error_); }

 private:
  static constexpr std::size_t kPieceSize = std::size_t{1} << 20;

  void pass_on() {
    const std::size_t size = std::exchange(used_, 0);
    if (size == 0 || error_) return;
    Ref bytes = Ref::steal(PyBytes_FromStringAndSize(buffer_.get(), static_cast<Py_ssize_t>(size)));
    Ref answer = bytes ? Ref::steal(PyObject_CallFunctionObjArgs(write_, bytes.get(), nullptr)) : Ref();
    if (!answer) error_ = quorlane_glue::take_pending_error();
  }

  PyObject* const write_;  // borrowed: the caller's argument
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  std::size_t used_ = 0;
  Ref error_;
  quorlane::Encoding target_ = quorlane::Encoding::Utf8;
};

// "\"я\" (U+044F)": a character as the package's messages name one.
std::string character(char32_t code_point) {
  char utf8[quorlane::kMaxUtf8Bytes];
  std::string text = quorlane::quoted(std::string_view(utf8, static_cast<std::size_t>(quorlane::put_utf8(utf8, code_point) - utf8)));
  char hex[16];
  std::snprintf(hex, sizeof hex, " (U+%04X)", static_cast<unsigned>(code_point));
  return text + hex;
}

// A single-byte encoding as the messages name it.
std::string single_byte_name(quorlane::Encoding encoding) {
  return encoding == quorlane::Encoding::Cp1251 ? "windows-1251" : std::string(quorlane::encoding_name(encoding));
}

PyObject* refuse(PyObject* write_error, const quorlane::Unconvertible& problem, quorlane::Encoding target) {
  if (const auto* unencodable = std::get_if<quorlane::Unencodable>(&problem)) {
    const std::string message = character(unencodable->code_point) + " at column " +
                                std::to_string(unencodable->column) + " cannot be encoded in " +
                                std::string(quorlane::encoding_name(target));
    return raise_problem(write_error, "line " + std::to_string(unencodable->lineno), std::nullopt, message,
                         {unencodable->column - 1, unencodable->lineno, unencodable->column});
  }
  if (const auto* cr = std::get_if<quorlane::CarriageReturnAtEnd>(&problem)) {
    const std::string message = "the line ends with a carriage return (column " + std::to_string(cr->column) +
                                "), which the reader takes away before a line feed alone (newline=\"\\r\\n\" keeps it)";
    return raise_problem(write_error, "line " + std::to_string(cr->lineno), std::nullopt, message,
                         {cr->column - 1, cr->lineno, cr->column});
  }
  const std::string written = single_byte_name(target);
  if (const auto* as = std::get_if<quorlane::ReadBackAs>(&problem)) {
    const std::string why = as->encoding == quorlane::Encoding::Cp1251
                                ? "its header does not declare Кодировка=DOS"
                                : "its header holds the cp866 form of Кодировка=DOS";
    return raise_problem(write_error, "statement", std::nullopt,
                         "the text in " + written + " would be read back as " + single_byte_name(as->encoding) + ": " +
                             why,
                         {});
  }
  return raise_problem(write_error, "statement", std::nullopt,
                       "the text in " + written + " would not be read back as a statement: too little of its start "
                       "is letters, digits, punctuation and blanks",
                       {});
}

// "utf-8", "cp1251", "cp866" or None; false with ValueError for any other.
bool target_of(PyObject* name, std::optional<quorlane::Encoding>& target) {
  if (name == Py_None) return true;
  const char* text = PyUnicode_Check(name) ? PyUnicode_AsUTF8(name) : nullptr;
  for (const quorlane::Encoding encoding :
       {quorlane::Encoding::Utf8, quorlane::Encoding::Cp1251, quorlane::Encoding::Cp866}) {
    if (text != nullptr && quorlane::encoding_name(encoding) == text) {
      target = encoding;
      return true;
    }
  }
  if (!PyErr_Occurred()) PyErr_SetString(PyExc_ValueError, "target must be \"utf-8\", \"cp1251\", \"cp866\" or None");
  return false;
}

// The arguments of both functions past the statement, checked: the target, and whether lines end in CRLF. False
// with an exception.
bool conversion_of(PyObject* target_name, PyObject* newline_name, std::optional<quorlane::Encoding>& target,
                   quorlane::Newline& newline) {
  if (!target_of(target_name, target)) return false;
  const char* name = PyUnicode_Check(newline_name) ? PyUnicode_AsUTF8(newline_name) : nullptr;
  if (name != nullptr && std::strcmp(name, "\r\n") == 0) {
    newline = quorlane::Newline::CrLf;
  } else if (name != nullptr && std::strcmp(name, "\n") == 0) {
    newline = quorlane::Newline::Lf;
  } else {
    if (!PyErr_Occurred()) PyErr_SetString(PyExc_ValueError, "newline must be \"\\r\\n\" or \"\\n\"");
    return false;
  }
  return true;
}

// Converts the statement (args[0]) as args[1] and args[2] say into `out`: true when the whole text is there; false
// with the reader's error, or the WriteError of what the text could not keep.
template <class Output>
bool convert_into(PyObject* module, PyObject* const* args, Output& out) {
  std::optional<quorlane::Encoding> target;
  quorlane::Newline newline = quorlane::Newline::CrLf;
  if (!conversion_of(args[1], args[2], target, newline)) return false;
  quorlane_glue::StatementInput input;
  if (!quorlane_glue::statement_input(args[0], input)) return false;
  const ModuleState& state = state_of(module);
  auto conversion = input.with(
      [&](auto text) { return quorlane::convert_statement(text, target, newline, out, package_reading()); });
  if (!conversion) {
    quorlane_glue::raise_statement_error(conversion.error(), *state.api->errors);
    return false;
  }
  if (!conversion.value()) {
    refuse(state.write_error, conversion.value().error(), out.target());
    return false;
  }
  return true;
}

}  // namespace

PyObject* convert(PyObject* module, PyObject* const* args, Py_ssize_t nargs) {
  if (nargs != 3) {
    PyErr_SetString(PyExc_TypeError, "convert(statement, target, newline) takes three arguments");
    return nullptr;
  }
  BytesOutput out;
  if (!convert_into(module, args, out)) return nullptr;
  return out.take();
}

PyObject* write_converted(PyObject* module, PyObject* const* args, Py_ssize_t nargs) {
  if (nargs != 4 || !PyCallable_Check(args[3])) {
    PyErr_SetString(PyExc_TypeError, "write_converted(statement, target, newline, write) takes three arguments and a "
                                     "callable");
    return nullptr;
  }
  PassedOnOutput out(args[3]);
  const bool converted = convert_into(module, args, out);
  // A call of write that raised stopped the conversion: its exception is what the caller gets.
  if (Ref raised = out.take_error()) {
    PyErr_Clear();
    quorlane_glue::restore_pending_error(std::move(raised));
    return nullptr;
  }
  if (!converted) return nullptr;
  Py_RETURN_NONE;
}

}  // namespace quorlane_accel
