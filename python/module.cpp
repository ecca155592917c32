// The module quorlane_py: its initialisation and the `parse` entry.
#include "args.h"
#include "common.h"
#include "details.h"
#include "exceptions.h"
#include "hooks.h"
#include "results.h"
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

PyMethodDef parse_def = {"parse", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(parse)),
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
bool register_all(PyObject* module) noexcept {
  Registrar registrar(module);
  if (!register_result_classes(registrar) || !register_section_type(registrar) ||
      !register_detail_classes(registrar)) {
    return false;
  }
  Ref module_name = Ref::steal(PyModule_GetNameObject(module));
  if (!module_name) return false;
  Ref function = Ref::steal(PyCFunction_NewEx(&parse_def, module, module_name.get()));
  if (!function || !registrar.add("parse", function.get())) return false;
  return register_exceptions(registrar);
}

PyObject* parse(PyObject* /*module*/, PyObject* const* /*args*/, Py_ssize_t /*nargs*/, PyObject* /*kwnames*/) {
  PyErr_SetString(PyExc_NotImplementedError, "parse is being built");
  return nullptr;
}

}  // namespace
}  // namespace quorlane_py

PyMODINIT_FUNC PyInit_quorlane_py() {
  using namespace quorlane_py;
  if (the_module) return Ref::borrow(the_module).release();
  Ref module = Ref::steal(PyModule_Create(&module_def));
  if (!module || !register_all(module.get())) return nullptr;
  the_module = Ref::borrow(module.get()).release();
  return module.release();
}
