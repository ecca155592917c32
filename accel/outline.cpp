// A statement read in two passes, for outputs that write its documents as they come: the first reads it to the
// reader's verdict and keeps everything but the documents (which it counts), the second reads it again and hands
// the documents on in batches. What a process holds is then the statement and a batch, whatever the number of
// documents: no output begins before the verdict is known, and none holds every document at once.
#include "outline.h"

#include <deque>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "class_creation.h"
#include "entry_point.h"
#include "module_state.h"
#include "pending_error.h"
#include "quorlane/parse.h"
#include "quorlane/sections.h"
#include "ref.h"
#include "sections.h"
#include "statement_errors.h"
#include "statement_input.h"
#include "statement_reading.h"
#include "str_conversion.h"
#include "without_lock.h"

namespace quorlane_accel {
namespace {

using quorlane_glue::Ref;

// The first pass's sink: it counts the documents and gathers the keys of their sections, in the order of their
// first appearance. It touches no Python object, so that the pass runs without the interpreter lock.
class Outliner final : public quorlane::DocumentSink {
 public:
  void start(const quorlane::StatementSections* sections) override {
    sections_ = sections;
    count_ = 0;
    names_.clear();
    known_.clear();
    last_.clear();
  }

  void take(const quorlane::DocumentRecord&, const quorlane::FieldLines&) override {
    ++count_;
    if (sections_ == nullptr) return;
    const quorlane::SectionSpan& span = sections_->sections.back();
    for (std::size_t i = 0; i < span.attribute_count; ++i) {
      const std::string_view key = sections_->attributes[span.first_attribute + i].key_text();
      if (i < last_.size() && last_[i] == key) continue;  // sections mostly repeat their keys in one order
      auto found = known_.find(key);
      if (found == known_.end()) found = known_.insert(names_.emplace_back(key)).first;
      if (i >= last_.size()) last_.resize(i + 1);
      last_[i] = *found;
    }
  }

  Py_ssize_t count() const noexcept { return count_; }

  // The keys as a tuple of str: new reference, or null with an exception.
  PyObject* keys(quorlane::Encoding text_encoding) const {
    Ref tuple = Ref::steal(PyTuple_New(static_cast<Py_ssize_t>(names_.size())));
    if (!tuple) return nullptr;
    for (std::size_t i = 0; i < names_.size(); ++i) {
      PyObject* name = quorlane_glue::new_str(names_[i], text_encoding);
      if (!name) return nullptr;
      PyTuple_SET_ITEM(tuple.get(), static_cast<Py_ssize_t>(i), name);
    }
    return tuple.release();
  }

 private:
  const quorlane::StatementSections* sections_ = nullptr;
  Py_ssize_t count_ = 0;
  std::deque<std::string> names_;                 // as written; a deque keeps them where they are
  std::unordered_set<std::string_view> known_;    // views of names_
  std::vector<std::string_view> last_;            // the key at each position of the section before
};

// The second pass's sink: it makes each document a quorlane_py.Document (and copies its section out of the
// reading, which forgets it), and calls take(documents, sections) with each batch of `size`. A call that raises
// ends the calls: the exception is kept for the end of the reading, which goes on to its end without them.
class Batches final : public quorlane::DocumentSink {
 public:
  Batches(const ModuleState& state, PyObject* take, std::size_t size) : state_(state), take_(take), size_(size) {}

  void start(const quorlane::StatementSections* sections) override {
    sections_ = sections;
    with_sections_ = sections != nullptr;
    if (sections != nullptr) {  // kept for the last batch, handed on once the reading (and `sections`) is gone
      batch_.encoding = sections->encoding;
      batch_.text_encoding = sections->text_encoding;
    }
    // The reading is made once, with the verdict of the first pass: it does not start over.
    if (handed_ && !error_) {
      PyErr_SetString(PyExc_RuntimeError, "the statement was read differently the second time");
      error_ = quorlane_glue::take_pending_error();
    }
  }

  void take(const quorlane::DocumentRecord& record, const quorlane::FieldLines&) override {
    if (error_) return;
    handed_ = true;
    Ref document = Ref::steal(state_.api->new_document(quorlane::keep_document(record, store_)));
    if (!document) return fail();
    documents_.push_back(std::move(document));
    if (with_sections_) copy(sections_->sections.back());
    if (documents_.size() == size_) pass_on();
  }

  // Hands on the last batch, if any. False with an exception: the one a call raised, or raised here.
  bool finish() {
    if (!error_) pass_on();
    if (!error_) return true;
    quorlane_glue::restore_pending_error(std::move(error_));
    return false;
  }

 private:
  void fail() { error_ = quorlane_glue::take_pending_error(); }

  // The section into the batch's own text, which its Section objects keep.
  void copy(const quorlane::SectionSpan& span) {
    quorlane::SectionSpan& made = batch_.sections.emplace_back(span);
    made.first_attribute = batch_.attributes.size();
    type_places_.push_back(append(span.type));
    for (std::size_t i = 0; i < span.attribute_count; ++i) {
      const quorlane::AttributeSpan& attribute = sections_->attributes[span.first_attribute + i];
      batch_.attributes.push_back(attribute);
      key_places_.push_back(append({attribute.key, attribute.key_size + 1 + attribute.value_size}));  // key=value
    }
  }

  std::size_t append(std::string_view text) {
    const std::size_t place = text_.size();
    text_.insert(text_.end(), text.begin(), text.end());
    return place;
  }

  // The batch's sections as Section objects, or None when the reading collects none.
  Ref sections() {
    if (!with_sections_) return Ref::borrow(Py_None);
    for (std::size_t i = 0; i < batch_.sections.size(); ++i) {
      batch_.sections[i].type = {text_.data() + type_places_[i], batch_.sections[i].type.size()};
    }
    for (std::size_t i = 0; i < batch_.attributes.size(); ++i) batch_.attributes[i].key = text_.data() + key_places_[i];
    const quorlane::Encoding encoding = batch_.encoding;
    const quorlane::Encoding text_encoding = batch_.text_encoding;
    Ref made = Ref::steal(new_sections(state_, Py_None, std::move(batch_), std::move(text_)));
    batch_ = {};
    batch_.encoding = encoding;
    batch_.text_encoding = text_encoding;
    text_.clear();
    type_places_.clear();
    key_places_.clear();
    return made;
  }

  void pass_on() {
    if (documents_.empty()) return;
    Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(documents_.size())));
    if (!list) return fail();
    for (std::size_t i = 0; i < documents_.size(); ++i) {
      PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), documents_[i].release());
    }
    documents_.clear();
    Ref sections = this->sections();
    if (!sections) return fail();
    Ref answer = Ref::steal(PyObject_CallFunctionObjArgs(take_, list.get(), sections.get(), nullptr));
    if (!answer) return fail();
  }

  const ModuleState& state_;
  PyObject* const take_;  // borrowed: the caller's argument
  const std::size_t size_;
  const quorlane::StatementSections* sections_ = nullptr;  // the reading's: valid only while it reads
  bool with_sections_ = false;
  bool handed_ = false;
  Ref error_;
  quorlane::TextStore store_;   // the documents' texts, freed with the documents
  std::vector<Ref> documents_;  // of the batch
  quorlane::StatementSections batch_;
  std::vector<char> text_;                 // of the batch's sections
  std::vector<std::size_t> type_places_;   // in text_, of each section's document type
  std::vector<std::size_t> key_places_;    // and of each attribute
};

struct OutlineObject {
  PyObject_HEAD
  PyObject* module;     // quorlane._accel, whose state the second pass makes its objects with
  PyObject* input;      // the statement, read again by the second pass
  PyObject* statement;  // the first pass's Statement, without documents
  PyObject* keys;
  PyObject* sections;   // or None
  Py_ssize_t count;
  quorlane::Utf8Verdict utf8;  // what the first pass found of the statement's bytes
  bool reading;                // the second pass is running
};

// The second pass: read_documents(take, size).
PyObject* Outline_read_documents(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  auto* outline = reinterpret_cast<OutlineObject*>(self);
  if (nargs != 2 || !PyCallable_Check(args[0]) || !PyLong_Check(args[1])) {
    PyErr_SetString(PyExc_TypeError, "read_documents takes a callable and a batch size");
    return nullptr;
  }
  const Py_ssize_t size = PyLong_AsSsize_t(args[1]);
  if (size < 1) {
    if (!PyErr_Occurred()) PyErr_SetString(PyExc_ValueError, "the batch size must be positive");
    return nullptr;
  }
  if (outline->reading) {
    PyErr_SetString(PyExc_RuntimeError, "read_documents is already running for this outline");
    return nullptr;
  }
  quorlane_glue::StatementInput input;
  if (!quorlane_glue::statement_input(outline->input, input)) return nullptr;
  const ModuleState& state = state_of(outline->module);
  Batches batches(state, args[0], static_cast<std::size_t>(size));
  quorlane::ReadOptions options = package_reading();
  options.utf8 = outline->utf8;
  struct Running {  // the flag cleared on every way out, running out of memory included
    bool& flag;
    explicit Running(bool& f) : flag(f) { flag = true; }
    ~Running() { flag = false; }
  } running(outline->reading);
  const bool with_sections = outline->sections != Py_None;
  auto read = input.with([&](auto text) -> quorlane::Status<quorlane::StatementError> {
    if (with_sections) {
      auto reading = quorlane::read_sections(text, options, &batches, quorlane::KeptSections::NotHanded);
      if (!reading) return quorlane::Err(std::move(reading).error());
      return {};
    }
    auto reading = quorlane::parse_statement(text, {}, options, &batches);
    if (!reading) return quorlane::Err(std::move(reading).error());
    return {};
  });
  if (!batches.finish()) return nullptr;
  if (!read) {  // the statement read well the first time: this is no more than a safeguard
    quorlane_glue::raise_statement_error(read.error(), *state.api->errors);
    return nullptr;
  }
  Py_RETURN_NONE;
}

void Outline_dealloc(PyObject* self) {
  auto* outline = reinterpret_cast<OutlineObject*>(self);
  Py_XDECREF(outline->module);
  Py_XDECREF(outline->input);
  Py_XDECREF(outline->statement);
  Py_XDECREF(outline->keys);
  Py_XDECREF(outline->sections);
  quorlane_glue::free_instance(self);
}

PyObject* Outline_count(PyObject* self, void*) noexcept {
  return PyLong_FromSsize_t(reinterpret_cast<OutlineObject*>(self)->count);
}

PyGetSetDef outline_getset[] = {
    {"statement", quorlane_glue::member_getter<&OutlineObject::statement>, nullptr,
     "What quorlane_py.parse returns for the statement, but for its documents: read_documents gives them.", nullptr},
    {"count", Outline_count, nullptr, "The number of the statement's documents.", nullptr},
    {"keys", quorlane_glue::member_getter<&OutlineObject::keys>, nullptr,
     "Every key of the documents' sections, in the order of its first appearance (empty without sections).",
     nullptr},
    {"sections", quorlane_glue::member_getter<&OutlineObject::sections>, nullptr,
     "The sections read_documents does not give, in file order: the header's, the accounts', and those of the\n"
     "documents that became warnings; None when the outline was read without sections.",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef outline_methods[] = {
    {"read_documents", quorlane_glue::as_method(quorlane_glue::entry_point<Outline_read_documents>), METH_FASTCALL,
     "read_documents($self, take, size, /)\n--\n\n"
     "Reads the statement again and calls take(documents, sections) for each batch of at most `size` of its\n"
     "documents, in file order: a list of quorlane_py.Document, and a tuple of their Sections (None without\n"
     "sections). An exception that take raises ends the calls and is raised at the end of the reading."},
    {nullptr, nullptr, 0, nullptr},
};

PyType_Slot outline_slots[] = {
    {Py_tp_doc, const_cast<char*>("A statement read to the reader's verdict, its documents counted and to be read "
                                  "again (quorlane._accel.read_outline makes them).")},
    {Py_tp_new, reinterpret_cast<void*>(quorlane_glue::refuse_construction)},
    {Py_tp_dealloc, reinterpret_cast<void*>(Outline_dealloc)},
    {Py_tp_getset, outline_getset},
    {Py_tp_methods, outline_methods},
    {0, nullptr},
};

PyType_Spec outline_spec = {"Outline", sizeof(OutlineObject), 0, Py_TPFLAGS_DEFAULT, outline_slots};

}  // namespace

PyTypeObject* new_outline_type() {
  return reinterpret_cast<PyTypeObject*>(quorlane_glue::new_class(outline_spec, "quorlane._accel"));
}

PyObject* read_outline(PyObject* module, PyObject* const* args, Py_ssize_t nargs) {
  if (nargs != 2) {
    PyErr_SetString(PyExc_TypeError, "read_outline takes a statement and whether to read its sections");
    return nullptr;
  }
  const int with_sections = PyObject_IsTrue(args[1]);
  if (with_sections < 0) return nullptr;
  quorlane_glue::StatementInput input;
  if (!quorlane_glue::statement_input(args[0], input)) return nullptr;
  const ModuleState& state = state_of(module);
  Outliner outliner;
  // The reading touches no Python object, and the statement (bytes or a str, both immutable) stays referenced by
  // the caller's argument for the whole call.
  auto read = [&] {
    quorlane_glue::WithoutLock unlocked;
    return input.with([&](auto text) -> quorlane::Result<quorlane::SectionsReading, quorlane::StatementError> {
      if (with_sections) {
        return quorlane::read_sections(text, package_reading(), &outliner, quorlane::KeptSections::NotHanded);
      }
      auto reading = quorlane::parse_statement(text, {}, package_reading(), &outliner);
      if (!reading) return quorlane::Err(std::move(reading).error());
      return quorlane::SectionsReading{std::move(reading).value(), {}};
    });
  }();
  if (!read) {
    quorlane_glue::raise_statement_error(read.error(), *state.api->errors);
    return nullptr;
  }
  quorlane::SectionsReading& reading = read.value();
  const quorlane::Utf8Verdict utf8 = quorlane::verdict_after(reading.statement.encoding);
  Ref keys = Ref::steal(outliner.keys(reading.sections.text_encoding));
  if (!keys) return nullptr;
  Ref sections = Ref::borrow(Py_None);
  if (with_sections) {
    // The texts lie in the statement, read in place, or in the core's text.
    sections = Ref::steal(new_sections(state, args[0], std::move(reading.sections)));
    if (!sections) return nullptr;
  }
  Ref statement = Ref::steal(package_statement(state, std::move(reading.statement)));
  if (!statement) return nullptr;
  auto* outline = PyObject_New(OutlineObject, state.outline_type);
  if (!outline) return nullptr;
  outline->module = Ref::borrow(module).release();
  outline->input = Ref::borrow(args[0]).release();
  outline->statement = statement.release();
  outline->keys = keys.release();
  outline->sections = sections.release();
  outline->count = outliner.count();
  outline->utf8 = utf8;
  outline->reading = false;
  return reinterpret_cast<PyObject*>(outline);
}

}  // namespace quorlane_accel
