// The module quorlane_py: its initialisation and the `parse` entry.
#include <algorithm>
#include <variant>
#include <string_view>
#include <vector>

#include "glue.h"
#include "module_api.h"
#include "result_classes.h"
#include "statement_input.h"
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

// The classes the reader's errors become, filled as they are created (once per process).
ErrorClasses error_classes;

// What the package's extension takes from the module (see module_api.h).
ModuleApi module_api = {sizeof(ModuleApi), &error_classes, nullptr, document_record, build_statement, new_interval,
                        new_document};

// Registers the module's 18 attributes in their fixed order, and the capsule beside them.
bool register_all(PyObject* module) {
  Registrar registrar(module);
  if (!register_result_classes(registrar) || !register_section_type(registrar) ||
      !register_detail_classes(registrar, error_classes)) {
    return false;
  }
  Ref module_name = Ref::steal(PyUnicode_FromString(kModuleName));
  if (!module_name) return false;
  Ref function = Ref::steal(PyCFunction_NewEx(&parse_def, module, module_name.get()));
  if (!function || !registrar.add("parse", function.get())) return false;
  if (!register_exceptions(registrar, error_classes)) return false;
  module_api.document_type = reinterpret_cast<PyTypeObject*>(document_class());
  Ref capsule = Ref::steal(PyCapsule_New(&module_api, kModuleApiCapsule, nullptr));
  return capsule && PyObject_SetAttrString(module, kModuleApiAttribute, capsule.get()) == 0;
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

  auto result = input.with([&](auto text) { return quorlane::parse_statement(text, hooks); });
  if (!result) {
    raise_statement_error(result.error(), error_classes);
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
