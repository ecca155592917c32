// Every section of a statement as written, read by the core. The sections' texts stay in the core's form until
// a section's attributes are asked for: most callers look at a few sections, or a few keys of each.
#include "sections.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "quorlane/attribute_map.h"
#include "quorlane/records.h"
#include "quorlane/sections.h"
#include "class_creation.h"
#include "entry_point.h"
#include "module_state.h"
#include "ref.h"
#include "statement_errors.h"
#include "statement_reading.h"
#include "statement_input.h"
#include "str_conversion.h"

namespace quorlane_accel {
namespace {

using quorlane_glue::Ref;

constexpr const char* kCapsuleName = "quorlane._accel.sections";

// The core's sections, what their texts lie in (the statement, the core's text, or a copy), and the str made so
// far: each key's and document type's (they recur across sections), and the key, value and pair at each position
// of the section made last (sections repeat their keys in the same order, and many of their values).
struct Sections {
  Ref statement;
  const quorlane_glue::ModuleApi* api = nullptr;
  quorlane::StatementSections core;
  std::vector<char> copied;
  std::unordered_map<std::string_view, Ref> keys;
  struct LastPair {
    std::string_view key_text;    // views into the statement's texts, which live as long as this
    std::string_view value_text;
    PyObject* key = nullptr;  // borrowed from `keys`
    Ref value;
    Ref pair;
  };
  std::vector<LastPair> last_pairs;

  // The str of a text that recurs (a key, a document type), made once: borrowed, or null with an exception.
  PyObject* shared(std::string_view text) {
    auto found = keys.find(text);
    if (found == keys.end()) {
      Ref made = Ref::steal(quorlane_glue::new_str(text, core.text_encoding));
      if (!made) return nullptr;
      found = keys.emplace(text, std::move(made)).first;
    }
    return found->second.get();
  }

  // The (key, value) tuple of the attribute at `position` of a section: the one made before for the same line
  // text where it is still kept (most sections repeat most of their pairs: the statement's own account, its
  // banks, dates), else the one made for the section before at that position where both are equal. New
  // reference, or null with an exception.
  PyObject* pair(std::size_t position, const quorlane::AttributeSpan& attribute) {
    const std::string_view line(attribute.key, attribute.key_size + 1 + attribute.value_size);
    if (auto found = recent.find(line); found != recent.end()) return Ref::borrow(found->second.get()).release();
    if (position >= last_pairs.size()) last_pairs.resize(position + 1);
    LastPair& last = last_pairs[position];
    const std::string_view key_text = attribute.key_text();
    const std::string_view value_text = attribute.value_text();
    const bool same_key = last.key != nullptr && last.key_text == key_text;
    const bool same_value = last.value && last.value_text == value_text;
    if (!same_key || !same_value || !last.pair) {
      PyObject* key_str = same_key ? last.key : shared(key_text);
      if (!key_str) return nullptr;
      if (!same_value) {
        Ref made = Ref::steal(quorlane_glue::new_str(value_text, core.text_encoding));
        if (!made) return nullptr;
        last.value = std::move(made);
        last.value_text = value_text;
      }
      Ref made = Ref::steal(PyTuple_New(2));
      if (!made) return nullptr;
      PyTuple_SET_ITEM(made.get(), 0, Ref::borrow(key_str).release());
      PyTuple_SET_ITEM(made.get(), 1, Ref::borrow(last.value.get()).release());
      // Tuples of str take part in no cycle: untracked now, the collector does not walk millions of them (it
      // would untrack them itself, but only after walking them once).
      PyObject_GC_UnTrack(made.get());
      last.key = key_str;
      last.key_text = key_text;
      last.pair = std::move(made);
    }
    if (recent.size() >= kMostRecent) recent.clear();  // a bound on what is kept alive for later sections
    recent.emplace(line, Ref::borrow(last.pair.get()));
    return Ref::borrow(last.pair.get()).release();
  }

  static constexpr std::size_t kMostRecent = 4096;
  std::unordered_map<std::string_view, Ref> recent;  // by the line's text "key=value"
};

void free_sections(PyObject* capsule) {
  delete static_cast<Sections*>(PyCapsule_GetPointer(capsule, kCapsuleName));
}

// One section: a Python object of the class Section, made for every section of a reading; its attributes are
// made into str when they are first asked for.
struct SectionObject {
  PyObject_HEAD
  PyObject* kind;        // "header", "account" or "document", shared
  PyObject* doc_type;    // a document's type (shared among the sections of a reading), or None
  PyObject* handle;      // the capsule holding the reading's Sections
  Py_ssize_t index;
  PyObject* attributes;  // the (key, value) pairs, once made; null before
};

Sections* sections_of(SectionObject* self) {
  return static_cast<Sections*>(PyCapsule_GetPointer(self->handle, kCapsuleName));
}

const quorlane::SectionSpan& span_of(SectionObject* self) {
  return sections_of(self)->core.sections[static_cast<std::size_t>(self->index)];
}

PyObject* make_attributes(SectionObject* self) {
  Sections* sections = sections_of(self);
  const quorlane::SectionSpan& span = span_of(self);
  Ref pairs = Ref::steal(PyTuple_New(static_cast<Py_ssize_t>(span.attribute_count)));
  if (!pairs) return nullptr;
  for (std::size_t i = 0; i < span.attribute_count; ++i) {
    PyObject* pair = sections->pair(i, sections->core.attributes[span.first_attribute + i]);
    if (!pair) return nullptr;
    PyTuple_SET_ITEM(pairs.get(), static_cast<Py_ssize_t>(i), pair);
  }
  PyObject_GC_UnTrack(pairs.get());
  return pairs.release();
}

// The attribute pairs, made on first use; a borrowed reference, or null with an exception.
PyObject* attributes_of(SectionObject* self) {
  if (!self->attributes) self->attributes = make_attributes(self);
  return self->attributes;
}

PyObject* Section_attributes(PyObject* self, void*) {
  PyObject* pairs = attributes_of(reinterpret_cast<SectionObject*>(self));
  Py_XINCREF(pairs);
  return pairs;
}

PyObject* Section_lines(PyObject* self, void*) {
  auto* section = reinterpret_cast<SectionObject*>(self);
  const Sections* sections = sections_of(section);
  const quorlane::SectionSpan& span = span_of(section);
  Ref lines = Ref::steal(PyTuple_New(static_cast<Py_ssize_t>(span.attribute_count)));
  if (!lines) return nullptr;
  for (std::size_t i = 0; i < span.attribute_count; ++i) {
    PyObject* number = PyLong_FromUnsignedLongLong(sections->core.attributes[span.first_attribute + i].lineno);
    if (!number) return nullptr;
    PyTuple_SET_ITEM(lines.get(), static_cast<Py_ssize_t>(i), number);
  }
  return lines.release();
}

// The values of `key`, last first: calls found(value) for each until it answers false. False with an exception
// where the pairs cannot be made or a comparison fails.
template <class Found>
bool each_value(SectionObject* self, PyObject* key, bool last_first, Found found) {
  PyObject* pairs = attributes_of(self);
  if (!pairs) return false;
  const Py_ssize_t n = PyTuple_GET_SIZE(pairs);
  for (Py_ssize_t k = 0; k < n; ++k) {
    PyObject* pair = PyTuple_GET_ITEM(pairs, last_first ? n - 1 - k : k);
    const int equal = PyObject_RichCompareBool(PyTuple_GET_ITEM(pair, 0), key, Py_EQ);
    if (equal < 0) return false;
    if (equal && !found(PyTuple_GET_ITEM(pair, 1))) break;
  }
  return true;
}

PyObject* Section_get(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  if (nargs < 1 || nargs > 2) {
    PyErr_Format(PyExc_TypeError, "get expected 1 or 2 arguments, got %zd", nargs);
    return nullptr;
  }
  PyObject* result = nargs == 2 ? args[1] : Py_None;
  const bool ok = each_value(reinterpret_cast<SectionObject*>(self), args[0], true, [&](PyObject* value) {
    result = value;
    return false;
  });
  if (!ok) return nullptr;
  Py_INCREF(result);
  return result;
}

PyObject* Section_get_all(PyObject* self, PyObject* key) {
  Ref values = Ref::steal(PyList_New(0));
  if (!values) return nullptr;
  bool appended = true;
  const bool ok = each_value(reinterpret_cast<SectionObject*>(self), key, false, [&](PyObject* value) {
    appended = PyList_Append(values.get(), value) == 0;
    return appended;
  });
  if (!ok || !appended) return nullptr;
  return values.release();
}

// The interval an account section converts to, as the reader converts it: alone, where the statement's
// intervals are merged by account and stripped of duplicates.
PyObject* Section_interval(PyObject* self, PyObject*) {
  auto* section = reinterpret_cast<SectionObject*>(self);
  Sections* sections = sections_of(section);
  const quorlane::SectionSpan& span = span_of(section);
  if (span.kind != quorlane::SectionKind::Account) {
    PyErr_SetString(PyExc_ValueError, "only an account section has an interval");
    return nullptr;
  }
  quorlane::AttributeMap attributes;
  for (std::size_t i = 0; i < span.attribute_count; ++i) {
    const quorlane::AttributeSpan& attribute = sections->core.attributes[span.first_attribute + i];
    const quorlane::Encoding encoding = sections->core.text_encoding;
    attributes.insert_copy(quorlane::to_utf8(attribute.key_text(), encoding),
                           quorlane::to_utf8(attribute.value_text(), encoding));
  }
  auto interval = quorlane::convert_interval(attributes, span.end_line);
  if (!interval) {
    PyErr_SetString(PyExc_ValueError, interval.error().c_str());
    return nullptr;
  }
  return sections->api->new_interval(interval.value());
}

PyObject* Section_repr(PyObject* self) {
  auto* section = reinterpret_cast<SectionObject*>(self);
  const quorlane::SectionSpan& span = span_of(section);
  if (section->doc_type == Py_None) {
    return PyUnicode_FromFormat("<Section %U lines %llu-%llu, %zd attributes>", section->kind,
                                static_cast<unsigned long long>(span.start_line),
                                static_cast<unsigned long long>(span.end_line),
                                static_cast<Py_ssize_t>(span.attribute_count));
  }
  return PyUnicode_FromFormat("<Section %U %R lines %llu-%llu, %zd attributes>", section->kind, section->doc_type,
                              static_cast<unsigned long long>(span.start_line),
                              static_cast<unsigned long long>(span.end_line),
                              static_cast<Py_ssize_t>(span.attribute_count));
}

void Section_dealloc(PyObject* self) {
  auto* section = reinterpret_cast<SectionObject*>(self);
  Py_XDECREF(section->kind);
  Py_XDECREF(section->doc_type);
  Py_XDECREF(section->handle);
  Py_XDECREF(section->attributes);
  quorlane_glue::free_instance(self);
}

// A line of the section, made into an int when it is asked for.
template <std::uint64_t quorlane::SectionSpan::*Line>
PyObject* line(PyObject* self, void*) noexcept {
  return PyLong_FromUnsignedLongLong(span_of(reinterpret_cast<SectionObject*>(self)).*Line);
}

PyGetSetDef section_getset[] = {
    {"kind", quorlane_glue::member_getter<&SectionObject::kind>, nullptr,
     "\"header\", \"account\" or \"document\".", nullptr},
    {"doc_type", quorlane_glue::member_getter<&SectionObject::doc_type>, nullptr,
     "A document's type, the text after \"СекцияДокумент=\"; None for the other kinds.", nullptr},
    {"start_line", line<&quorlane::SectionSpan::start_line>, nullptr,
     "The opening line: 1 for the header (\"1CClientBankExchange\"), \"СекцияРасчСчет\", \"СекцияДокумент=...\".",
     nullptr},
    {"end_line", line<&quorlane::SectionSpan::end_line>, nullptr,
     "The closing line: \"КонецРасчСчет\", \"КонецДокумента\"; the header's last attribute line.", nullptr},
    {"attributes", quorlane_glue::entry_point<Section_attributes>, nullptr,
     "The (key, value) pairs in file order, repeated keys kept, values as written.", nullptr},
    {"lines", quorlane_glue::entry_point<Section_lines>, nullptr, "The line of each attribute, in the same order.",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef section_methods[] = {
    {"get", quorlane_glue::as_method(quorlane_glue::entry_point<Section_get>),
     METH_FASTCALL, "get($self, key, default=None, /)\n--\n\nThe key's last value (the one the reader keeps), or default."},
    {"get_all", quorlane_glue::entry_point<Section_get_all>, METH_O,
     "get_all($self, key, /)\n--\n\nEvery value of the key, in file order."},
    {"interval", quorlane_glue::entry_point<Section_interval>, METH_NOARGS,
     "interval($self, /)\n--\n\nThe quorlane_py.Interval an account section converts to, on its own (a statement's own\n"
     "intervals are merged by account); ValueError for another kind of section."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot section_slots[] = {
    {Py_tp_doc, const_cast<char*>("One section of a statement as written (quorlane.read_sections makes them).")},
    {Py_tp_new, reinterpret_cast<void*>(quorlane_glue::refuse_construction)},
    {Py_tp_dealloc, reinterpret_cast<void*>(Section_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(quorlane_glue::entry_point<Section_repr>)},
    {Py_tp_getset, section_getset},
    {Py_tp_methods, section_methods},
    {0, nullptr},
};

PyType_Spec section_spec = {"Section", sizeof(SectionObject), 0, Py_TPFLAGS_DEFAULT, section_slots};

// A Section of the reading for each of its sections, in file order.
PyObject* section_objects(PyTypeObject* type, Sections& sections, PyObject* handle) {
  using quorlane::SectionKind;
  Ref kinds[3];  // by SectionKind, named by the core
  for (const SectionKind kind : {SectionKind::Document, SectionKind::Account, SectionKind::Header}) {
    const std::string_view name = quorlane::section_kind_name(kind);
    kinds[static_cast<int>(kind)] =
        Ref::steal(PyUnicode_FromStringAndSize(name.data(), static_cast<Py_ssize_t>(name.size())));
    if (!kinds[static_cast<int>(kind)]) return nullptr;
  }
  const auto& spans = sections.core.sections;
  Ref list = Ref::steal(PyTuple_New(static_cast<Py_ssize_t>(spans.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < spans.size(); ++i) {
    const quorlane::SectionSpan& span = spans[i];
    Ref type_text = Ref::borrow(Py_None);
    if (span.kind == quorlane::SectionKind::Document) {
      PyObject* shared = sections.shared(span.type);  // a handful of document types, each made once
      if (!shared) return nullptr;
      type_text = Ref::borrow(shared);
    }
    auto* section = PyObject_New(SectionObject, type);  // a heap class's instance holds a reference to it
    if (!section) return nullptr;
    section->kind = Ref::borrow(kinds[static_cast<int>(span.kind)].get()).release();
    section->doc_type = type_text.release();
    section->handle = Ref::borrow(handle).release();
    section->index = static_cast<Py_ssize_t>(i);
    section->attributes = nullptr;
    PyTuple_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), reinterpret_cast<PyObject*>(section));
  }
  return list.release();
}

// ---- SectionReading ----

struct ReadingObject {
  PyObject_HEAD
  PyObject* statement;
  PyObject* sections;
  PyObject* header;
  PyObject* documents;
};

void Reading_dealloc(PyObject* self) {
  auto* reading = reinterpret_cast<ReadingObject*>(self);
  Py_XDECREF(reading->statement);
  Py_XDECREF(reading->sections);
  Py_XDECREF(reading->header);
  Py_XDECREF(reading->documents);
  quorlane_glue::free_instance(self);
}

PyObject* Reading_repr(PyObject* self) {
  auto* reading = reinterpret_cast<ReadingObject*>(self);
  Ref encoding = Ref::steal(PyObject_GetAttrString(reading->statement, "encoding"));
  if (!encoding) return nullptr;
  return PyUnicode_FromFormat("<SectionReading %U, %zd sections, %zd documents>", encoding.get(),
                              PyTuple_GET_SIZE(reading->sections), PyTuple_GET_SIZE(reading->documents));
}

PyGetSetDef reading_getset[] = {
    {"statement", quorlane_glue::member_getter<&ReadingObject::statement>, nullptr,
     "The statement, as quorlane_py.parse returns it (read as the package reads: its `encoding` may be \"cp866\", "
     "its warnings are DroppedDocument pairs).", nullptr},
    {"sections", quorlane_glue::member_getter<&ReadingObject::sections>, nullptr,
     "Every section in file order: the header first; documents that became warnings included.", nullptr},
    {"header", quorlane_glue::member_getter<&ReadingObject::header>, nullptr, "The header's section.", nullptr},
    {"documents", quorlane_glue::member_getter<&ReadingObject::documents>, nullptr,
     "The section of each of statement.documents, in the same order.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot reading_slots[] = {
    {Py_tp_doc, const_cast<char*>("A statement read whole (quorlane.read_sections makes them): the statement as "
                                  "quorlane_py.parse returns it, and its sections as written.")},
    {Py_tp_new, reinterpret_cast<void*>(quorlane_glue::refuse_construction)},
    {Py_tp_dealloc, reinterpret_cast<void*>(Reading_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(quorlane_glue::entry_point<Reading_repr>)},
    {Py_tp_getset, reading_getset},
    {0, nullptr},
};

PyType_Spec reading_spec = {"SectionReading", sizeof(ReadingObject), 0, Py_TPFLAGS_DEFAULT, reading_slots};

// The place of each section of a document the statement kept: a document that became a warning is named by its
// closing line.
std::vector<std::size_t> kept_documents(const std::vector<quorlane::StatementWarning>& warnings,
                                        const std::vector<quorlane::SectionSpan>& spans) {
  std::vector<std::uint64_t> dropped;
  for (const quorlane::StatementWarning& warning : warnings) dropped.push_back(warning.lineno);
  std::vector<std::size_t> kept;
  for (std::size_t i = 0; i < spans.size(); ++i) {
    const quorlane::SectionSpan& span = spans[i];
    if (span.kind != quorlane::SectionKind::Document) continue;
    if (std::find(dropped.begin(), dropped.end(), span.end_line) != dropped.end()) continue;
    kept.push_back(i);
  }
  return kept;
}

// The items of `sections` at the places given, as a tuple.
PyObject* picked(PyObject* sections, const std::vector<std::size_t>& places) {
  Ref tuple = Ref::steal(PyTuple_New(static_cast<Py_ssize_t>(places.size())));
  if (!tuple) return nullptr;
  for (std::size_t i = 0; i < places.size(); ++i) {
    PyObject* section = PyTuple_GET_ITEM(sections, static_cast<Py_ssize_t>(places[i]));
    PyTuple_SET_ITEM(tuple.get(), static_cast<Py_ssize_t>(i), Ref::borrow(section).release());
  }
  return tuple.release();
}

}  // namespace

PyTypeObject* new_section_type() {
  return reinterpret_cast<PyTypeObject*>(quorlane_glue::new_class(section_spec, "quorlane"));
}

PyTypeObject* new_section_reading_type() {
  return reinterpret_cast<PyTypeObject*>(quorlane_glue::new_class(reading_spec, "quorlane"));
}

PyObject* new_sections(const ModuleState& state, PyObject* keeper, quorlane::StatementSections&& core,
                       std::vector<char>&& copied) {
  auto sections = std::make_unique<Sections>();
  sections->statement = Ref::borrow(keeper);
  sections->api = state.api;
  sections->core = std::move(core);
  sections->copied = std::move(copied);  // a vector keeps its elements where they are when it is moved
  Sections& held = *sections;
  Ref capsule = Ref::steal(PyCapsule_New(sections.get(), kCapsuleName, free_sections));
  if (!capsule) return nullptr;
  sections.release();  // the capsule owns them now
  return section_objects(state.section_type, held, capsule.get());
}

PyObject* read_sections(PyObject* module, PyObject* statement) {
  quorlane_glue::StatementInput input;
  if (!quorlane_glue::statement_input(statement, input)) return nullptr;
  const ModuleState& state = state_of(module);
  auto read = input.with([](auto text) { return quorlane::read_sections(text, package_reading()); });
  if (!read) {
    quorlane_glue::raise_statement_error(read.error(), *state.api->errors);
    return nullptr;
  }
  quorlane::SectionsReading& reading = read.value();
  const std::vector<std::size_t> kept = kept_documents(reading.statement.warnings, reading.sections.sections);
  // The texts lie in the statement, read in place, or in the core's text.
  Ref objects = Ref::steal(new_sections(state, statement, std::move(reading.sections)));
  if (!objects) return nullptr;
  Ref documents = Ref::steal(picked(objects.get(), kept));
  if (!documents) return nullptr;
  Ref parsed = Ref::steal(package_statement(state, std::move(reading.statement)));
  if (!parsed) return nullptr;
  auto* object = PyObject_New(ReadingObject, state.section_reading_type);
  if (!object) return nullptr;
  object->statement = parsed.release();
  object->header = Ref::borrow(PyTuple_GET_ITEM(objects.get(), 0)).release();
  object->sections = objects.release();
  object->documents = documents.release();
  return reinterpret_cast<PyObject*>(object);
}

}  // namespace quorlane_accel
