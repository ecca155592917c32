#include "details.h"

#include <array>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <variant>

#include "glue.h"
#include "quorlane/quoted.h"

namespace quorlane_py {
namespace {

// The classes in registration order; the core's detail variants map onto them by name.
enum Kind : std::size_t {
  kUnexpectedSection,
  kUnexpectedAttribute,
  kUnrecognizedLine,
  kMissingField,
  kAccountParseError,
  kDocumentParseError,
  kHookError,
  kKindCount,
};

constexpr std::size_t kMaxTexts = 2;

// One detail class: its name, docstring (the text signature) and constructor parameters, lineno first.
struct ClassDef {
  const char* name;
  const char* doc;
  const char* new_name;
  std::array<const char*, 1 + kMaxTexts> params;
  std::size_t param_count;

  std::size_t text_count() const noexcept { return param_count - 1; }
};

constexpr ClassDef kClasses[kKindCount] = {
    {"UnexpectedSection", "UnexpectedSection(lineno, found, context)\n--\n\n", "UnexpectedSection.__new__()",
     {"lineno", "found", "context"}, 3},
    {"UnexpectedAttribute", "UnexpectedAttribute(lineno, key, value)\n--\n\n", "UnexpectedAttribute.__new__()",
     {"lineno", "key", "value"}, 3},
    {"UnrecognizedLine", "UnrecognizedLine(lineno, line)\n--\n\n", "UnrecognizedLine.__new__()",
     {"lineno", "line"}, 2},
    {"MissingField", "MissingField(lineno, field, context)\n--\n\n", "MissingField.__new__()",
     {"lineno", "field", "context"}, 3},
    {"AccountParseError", "AccountParseError(lineno, message)\n--\n\n", "AccountParseError.__new__()",
     {"lineno", "message"}, 2},
    {"DocumentParseError", "DocumentParseError(lineno, message)\n--\n\n", "DocumentParseError.__new__()",
     {"lineno", "message"}, 2},
    {"HookError", "HookError(lineno, message)\n--\n\n", "HookError.__new__()", {"lineno", "message"}, 2},
};

// The class objects, created once per process.
PyObject* detail_types[kKindCount] = {};

// What an instance holds, natively. Constructed in place right after allocation, destroyed in dealloc.
struct Fields {
  std::uint64_t lineno = 0;
  std::string texts[kMaxTexts];
};

struct DetailObject {
  PyObject_HEAD
  Fields fields;
};

Fields& fields_of(PyObject* self) noexcept { return reinterpret_cast<DetailObject*>(self)->fields; }

// The definition of one of our classes; null (with SystemError) for any other type.
const ClassDef* class_of(PyTypeObject* type) noexcept {
  for (std::size_t i = 0; i < kKindCount; ++i) {
    if (detail_types[i] == reinterpret_cast<PyObject*>(type)) return &kClasses[i];
  }
  PyErr_Format(PyExc_SystemError, "'%s' is not an error detail class", type->tp_name);
  return nullptr;
}

// A new instance of `kind` holding copies of the values. New reference, or null with an exception.
PyObject* make_detail(Kind kind, std::uint64_t lineno, std::span<const std::string_view> texts) {
  PyObject* type_object = detail_types[kind];
  if (!type_object) {
    PyErr_SetString(PyExc_SystemError, "error detail classes are not initialised");
    return nullptr;
  }
  auto* type = reinterpret_cast<PyTypeObject*>(type_object);
  Ref self = Ref::steal(type->tp_alloc(type, 0));
  if (!self) return nullptr;
  Fields& fields = *new (&fields_of(self.get())) Fields();  // from here on dealloc may run
  fields.lineno = lineno;
  for (std::size_t i = 0; i < texts.size(); ++i) fields.texts[i].assign(texts[i]);
  return self.release();
}

void detail_dealloc(PyObject* self) noexcept {
  fields_of(self).~Fields();
  free_instance(self);
}

// lineno: anything with __index__ whose value fits in 64 unsigned bits; the overflow error stays unprefixed.
bool read_lineno(PyObject* value, std::uint64_t& lineno) noexcept {
  Ref index = Ref::steal(PyNumber_Index(value));
  if (!index) return false;
  const unsigned long long number = PyLong_AsUnsignedLongLong(index.get());
  if (number == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return false;
  lineno = number;
  return true;
}

// A text parameter: a str (subclasses too) that encodes as strict UTF-8.
bool read_text(PyObject* value, std::string& text) {
  if (!PyUnicode_Check(value)) {
    set_conversion_error(value, "PyString");
    return false;
  }
  return append_utf8(text, value);
}

PyObject* detail_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  const ClassDef* def = class_of(type);
  if (!def) return nullptr;
  const Signature sig{def->new_name, std::span(def->params.data(), def->param_count), def->param_count};
  std::array<PyObject*, 1 + kMaxTexts> slots{};
  if (!bind_arguments(sig, args, kwargs, std::span(slots.data(), def->param_count))) return nullptr;

  std::uint64_t lineno = 0;
  if (!read_lineno(slots[0], lineno)) {
    wrap_argument_error(def->params[0]);
    return nullptr;
  }
  std::array<std::string, kMaxTexts> texts;
  std::array<std::string_view, kMaxTexts> views;
  for (std::size_t i = 0; i < def->text_count(); ++i) {
    if (!read_text(slots[i + 1], texts[i])) {
      wrap_argument_error(def->params[i + 1]);
      return nullptr;
    }
    views[i] = texts[i];
  }
  return make_detail(static_cast<Kind>(def - kClasses), lineno, std::span(views.data(), def->text_count()));
}

PyObject* detail_repr(PyObject* self) {
  const ClassDef* def = class_of(Py_TYPE(self));
  if (!def) return nullptr;
  const Fields& fields = fields_of(self);
  std::string text = def->name;
  text += "(lineno=";
  text += std::to_string(fields.lineno);
  for (std::size_t i = 0; i < def->text_count(); ++i) {
    text += ", ";
    text += def->params[i + 1];
    text += '=';
    quorlane::append_quoted(text, fields.texts[i]);
  }
  text += ')';
  return new_str(text);
}

// The constructor's arguments, so that copy and pickle can rebuild the object through the constructor.
PyObject* detail_getnewargs(PyObject* self, PyObject*) noexcept {
  const ClassDef* def = class_of(Py_TYPE(self));
  if (!def) return nullptr;
  const Fields& fields = fields_of(self);
  Ref args = Ref::steal(PyTuple_New(static_cast<Py_ssize_t>(def->param_count)));
  if (!args) return nullptr;
  PyObject* lineno = PyLong_FromUnsignedLongLong(fields.lineno);
  if (!lineno) return nullptr;
  PyTuple_SET_ITEM(args.get(), 0, lineno);
  for (std::size_t i = 0; i < def->text_count(); ++i) {
    PyObject* text = new_str(fields.texts[i]);
    if (!text) return nullptr;
    PyTuple_SET_ITEM(args.get(), static_cast<Py_ssize_t>(i + 1), text);
  }
  return args.release();
}

PyObject* get_lineno(PyObject* self, void*) noexcept { return PyLong_FromUnsignedLongLong(fields_of(self).lineno); }

// The closure is the index of the text among the fields.
PyObject* get_text(PyObject* self, void* closure) noexcept {
  return new_str(fields_of(self).texts[reinterpret_cast<std::uintptr_t>(closure)]);
}

void* text_at(std::uintptr_t index) noexcept { return reinterpret_cast<void*>(index); }

// Read-only attributes, one per constructor parameter.
PyGetSetDef unexpected_section_getset[] = {{"lineno", get_lineno, nullptr, nullptr, nullptr},
                                           {"found", get_text, nullptr, nullptr, text_at(0)},
                                           {"context", get_text, nullptr, nullptr, text_at(1)},
                                           {}};
PyGetSetDef unexpected_attribute_getset[] = {{"lineno", get_lineno, nullptr, nullptr, nullptr},
                                             {"key", get_text, nullptr, nullptr, text_at(0)},
                                             {"value", get_text, nullptr, nullptr, text_at(1)},
                                             {}};
PyGetSetDef unrecognized_line_getset[] = {{"lineno", get_lineno, nullptr, nullptr, nullptr},
                                          {"line", get_text, nullptr, nullptr, text_at(0)},
                                          {}};
PyGetSetDef missing_field_getset[] = {{"lineno", get_lineno, nullptr, nullptr, nullptr},
                                      {"field", get_text, nullptr, nullptr, text_at(0)},
                                      {"context", get_text, nullptr, nullptr, text_at(1)},
                                      {}};
PyGetSetDef message_getset[] = {{"lineno", get_lineno, nullptr, nullptr, nullptr},
                                {"message", get_text, nullptr, nullptr, text_at(0)},
                                {}};

// Indexed like kClasses. The three classes holding a message share their attributes.
PyGetSetDef* const kGetsets[kKindCount] = {unexpected_section_getset, unexpected_attribute_getset,
                                           unrecognized_line_getset,  missing_field_getset,
                                           message_getset,            message_getset,
                                           message_getset};

PyMethodDef detail_methods[] = {
    {"__getnewargs__", as_method(detail_getnewargs), METH_NOARGS,
     nullptr},
    {},
};

PyObject* create_class(const ClassDef& def, PyGetSetDef* getset) {
  PyType_Slot slots[] = {
      {Py_tp_doc, const_cast<char*>(def.doc)},
      {Py_tp_new, reinterpret_cast<void*>(entry_point<detail_new>)},
      {Py_tp_dealloc, reinterpret_cast<void*>(detail_dealloc)},
      {Py_tp_repr, reinterpret_cast<void*>(entry_point<detail_repr>)},
      {Py_tp_getset, getset},
      {Py_tp_methods, detail_methods},
      {0, nullptr},
  };
  // The interpreter keeps the name pointer (a literal, so it outlives the type) and copies the rest.
  PyType_Spec spec = {def.name, static_cast<int>(sizeof(DetailObject)), 0, Py_TPFLAGS_DEFAULT, slots};
  return new_class(spec, kModuleName);
}

}  // namespace

bool register_detail_classes(Registrar& registrar, ErrorClasses& classes) {
  static_assert(std::size(kClasses) == ErrorClasses::kDetailCount, "the detail classes in the mapping's order");
  classes.new_detail = [](ErrorClasses::Detail kind, std::uint64_t lineno, std::span<const std::string_view> texts) {
    return make_detail(static_cast<Kind>(kind), lineno, texts);
  };
  for (std::size_t i = 0; i < kKindCount; ++i) {
    if (!detail_types[i]) {
      detail_types[i] = create_class(kClasses[i], kGetsets[i]);
      if (!detail_types[i]) return false;
    }
    classes.details[i] = detail_types[i];
    if (!registrar.add(kClasses[i].name, detail_types[i])) return false;
  }
  return true;
}

}  // namespace quorlane_py
