// The statement's own text in another encoding and with other line ends: one reading that checks the statement
// as parse does and writes its text into a bytes object as it goes.
#include "convert.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <variant>

#include "module_state.h"
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
// written are never touched, and so take no memory.
class BytesOutput final : public quorlane::TextOutput {
 public:
  char* buffer(std::size_t most, quorlane::Encoding target) override {
    target_ = target;
    bytes_ = Ref::steal(PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(most)));
    if (!bytes_) {
      PyErr_Clear();
      throw std::bad_alloc();
    }
    return PyBytes_AS_STRING(bytes_.get());
  }
  void finish(std::size_t size) noexcept override { size_ = size; }
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
  Ref bytes_;
  std::size_t size_ = 0;
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

}  // namespace

PyObject* convert(PyObject* module, PyObject* const* args, Py_ssize_t nargs) {
  if (nargs != 3) {
    PyErr_SetString(PyExc_TypeError, "convert(statement, target, newline) takes three arguments");
    return nullptr;
  }
  std::optional<quorlane::Encoding> target;
  if (!target_of(args[1], target)) return nullptr;
  const char* newline_name = PyUnicode_Check(args[2]) ? PyUnicode_AsUTF8(args[2]) : nullptr;
  const bool crlf = newline_name != nullptr && std::strcmp(newline_name, "\r\n") == 0;
  if (!crlf && (newline_name == nullptr || std::strcmp(newline_name, "\n") != 0)) {
    if (!PyErr_Occurred()) PyErr_SetString(PyExc_ValueError, "newline must be \"\\r\\n\" or \"\\n\"");
    return nullptr;
  }
  quorlane_glue::StatementInput input;
  if (!quorlane_glue::statement_input(args[0], input)) return nullptr;
  const ModuleState& state = state_of(module);
  BytesOutput out;
  const quorlane::Newline newline = crlf ? quorlane::Newline::CrLf : quorlane::Newline::Lf;
  auto conversion = input.with(
      [&](auto text) { return quorlane::convert_statement(text, target, newline, out, package_reading()); });
  if (!conversion) {
    quorlane_glue::raise_statement_error(conversion.error(), *state.api->errors);
    return nullptr;
  }
  if (!conversion.value()) return refuse(state.write_error, conversion.value().error(), out.target());
  return out.take();
}

}  // namespace quorlane_accel
