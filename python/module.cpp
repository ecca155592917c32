// The module quorlane_py: its initialisation and the `parse` entry.
#include <algorithm>
#include <variant>
#include <string_view>
#include <vector>

#include "glue.h"
#include "details.h"
#include "exceptions.h"
#include "hooks.h"
#include "quorlane/parse.h"
#include "statement_assembly.h"
#include "section_type.h"

namespace quorlane_py {
namespace {

PyObject* parse(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

PyDoc_STRVAR(parse_doc,
             "parse(statement, hooks=None)\n"
             "--\n"
             "\n"
             "Парсит выписку 1CClientBankExchange из байтов или строки.\n"
             "\n"
             "# Аргументы\n"
             "\n"
             "* `statement` - Сырые байты или строка файла выписки (поддерживает кодировки CP1251 и UTF-8)\n"
             "* `hooks` - Опциональный список callable для модификации секций во время парсинга.\n"
             "  Сигнатура hook: `(section_type: SectionType, attrs: dict, header: dict) -> None`\n"
             "  - `section_type`: тип секции (`SectionType.Document` или `SectionType.Account`)\n"
             "  - attrs: словарь атрибутов секции (можно модифицировать)\n"
             "  - header: словарь заголовка выписки (только для чтения)\n"
             "\n"
             "# Возвращает\n"
             "\n"
             "Объект Statement с атрибутами:\n"
             "- encoding: \"cp1251\" или \"utf-8\"\n"
             "- header: словарь пар ключ-значение заголовка\n"
             "- accounts: словарь номер счёта -> объект Account\n"
             "- documents: список объектов Document\n"
             "- warnings: список кортежей (lineno, message)\n"
             "\n"
             "# Ошибки\n"
             "\n"
             "* `NotStatementError` - Если входные данные не являются выпиской 1C\n"
             "* `EmptyInputError` - Если входные данные пусты\n"
             "* `UnfinishedError` - Если выписка не завершена корректно\n"
             "* `SyntaxError` - Если в выписке синтаксическая ошибка (включая ошибки hooks)\n"
             "* `ParseError` - Для прочих ошибок парсинга");

PyMethodDef parse_def = {"parse", as_method(entry_point<parse>),
                         METH_FASTCALL | METH_KEYWORDS, parse_doc};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    kModuleName,
    "Python-модуль для парсинга банковских выписок 1CClientBankExchange.",
    0,        // no per-module state
    nullptr,  // no method table: initialisation adds every attribute
};

// The module object, created once per process; a second initialisation returns it again.
PyObject* the_module = nullptr;

// Registers the module's 18 attributes in their fixed order.
bool register_all(PyObject* module) {
  Registrar registrar(module);
  if (!register_result_classes(registrar) || !register_section_type(registrar) ||
      !register_detail_classes(registrar)) {
    return false;
  }
  Ref module_name = Ref::steal(PyUnicode_FromString(kModuleName));
  if (!module_name) return false;
  Ref function = Ref::steal(PyCFunction_NewEx(&parse_def, module, module_name.get()));
  if (!function || !registrar.add("parse", function.get())) return false;
  return register_exceptions(registrar);
}

// The hooks argument: None or absent means no hooks; otherwise any sequence but a str, whose items are
// taken by iterating it. False with the exception to raise set.
bool collect_hooks(PyObject* arg, std::vector<Ref>& hooks) {
  if (!arg || arg == Py_None) return true;
  if (PyUnicode_Check(arg)) {
    PyErr_SetString(PyExc_TypeError, "Can't extract `str` to `Vec`");
  } else if (!PySequence_Check(arg)) {
    set_conversion_error(arg, "Sequence");
  } else {
    // The length is only a capacity hint: a failing or absurd __len__ must not stop (or crash) the call.
    constexpr Py_ssize_t kMaxHint = 1024;
    Py_ssize_t length = PySequence_Size(arg);
    if (length < 0) PyErr_Clear();
    hooks.reserve(static_cast<std::size_t>(std::clamp<Py_ssize_t>(length, 0, kMaxHint)));
    Ref iterator = Ref::steal(PyObject_GetIter(arg));
    if (iterator) {
      while (Ref item = Ref::steal(PyIter_Next(iterator.get()))) hooks.push_back(std::move(item));
      if (!PyErr_Occurred()) return true;
    }
  }
  wrap_argument_error("hooks");
  return false;
}

constexpr const char* kStatementTypeMessage = "statement must be bytes or str";

// The statement as the core takes it: bytes (and an ASCII str) read in place, or the code points of any
// other str, which the core turns into UTF-8 itself (piece by piece when the text is large), so that the
// caller's str is not given a cached UTF-8 copy as large as itself.
struct StatementInput {
  std::string_view bytes;
  quorlane::CodePoints text;
  bool is_text = false;
};

// False with TypeError set. The caller keeps the argument alive while the input is used.
bool statement_input(PyObject* arg, StatementInput& input) {
  if (PyUnicode_Check(arg)) {
#if PY_VERSION_HEX < 0x030C0000
    if (PyUnicode_READY(arg) < 0) {
      PyErr_Clear();
      PyErr_SetString(PyExc_TypeError, kStatementTypeMessage);
      return false;
    }
#endif
    const auto length = static_cast<std::size_t>(PyUnicode_GET_LENGTH(arg));
    if (PyUnicode_IS_ASCII(arg)) {
      input.bytes = {static_cast<const char*>(PyUnicode_DATA(arg)), length};  // ASCII is its own UTF-8
    } else {
      input.text = {PyUnicode_DATA(arg), length, static_cast<unsigned>(PyUnicode_KIND(arg))};
      input.is_text = true;
    }
    return true;
  }
  if (PyBytes_Check(arg)) {
    input.bytes = {PyBytes_AS_STRING(arg), static_cast<std::size_t>(PyBytes_GET_SIZE(arg))};
    return true;
  }
  PyErr_SetString(PyExc_TypeError, kStatementTypeMessage);
  return false;
}

// The interpreter lock stays held throughout.
PyObject* parse(PyObject* /*module*/, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  static const char* const params[] = {"statement", "hooks"};
  PyObject* slots[2] = {nullptr, nullptr};
  if (!bind_arguments(Signature{"parse()", params, 1}, args, nargs, kwnames, slots)) return nullptr;

  std::vector<Ref> hook_objects;
  if (!collect_hooks(slots[1], hook_objects)) return nullptr;
  Ref statement = Ref::borrow(slots[0]);  // its bytes or code points are read in place for the whole call
  StatementInput input;
  if (!statement_input(statement.get(), input)) return nullptr;

  PythonHooks python_hooks(std::move(hook_objects));
  const quorlane::HookList hooks = python_hooks.list();

  auto result = input.is_text ? quorlane::parse_statement(input.text, hooks) : quorlane::parse_statement(input.bytes, hooks);
  if (!result) {
    if (std::holds_alternative<quorlane::NotUtf8>(result.error())) {
      // A str holding a lone surrogate: it has no UTF-8 form, so it is no text the statement can be.
      PyErr_SetString(PyExc_TypeError, kStatementTypeMessage);
    } else {
      raise_statement_error(result.error());
    }
    return nullptr;
  }
  return build_statement(std::move(result).value());
}

PyObject* init_module() {
  if (the_module) return Ref::borrow(the_module).release();
  Ref module = Ref::steal(PyModule_Create(&module_def));
  if (!module || !register_all(module.get())) return nullptr;
  the_module = Ref::borrow(module.get()).release();
  return module.release();
}

}  // namespace
}  // namespace quorlane_py

PyMODINIT_FUNC PyInit_quorlane_py() { return quorlane_py::entry_point<quorlane_py::init_module>(); }
