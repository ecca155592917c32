#include "hook_dicts.h"

#include <utility>

#include "glue.h"

namespace quorlane_py {
namespace {

constexpr std::size_t kNoPosition = static_cast<std::size_t>(-1);

// Appends the UTF-8 form of a key or value the hook wrote, which must be a str. False with an exception set.
bool append_written(std::string& out, PyObject* object) {
  if (!PyUnicode_Check(object)) {
    set_conversion_error(object, "PyString");
    return false;
  }
  return append_utf8(out, object);
}

}  // namespace

const HookDicts::Key* HookDicts::key_of(std::string_view text, std::size_t position) {
  if (position < shape_keys_.size() && shape_keys_[position]->text == text) return shape_keys_[position];
  if (auto found = keys_.find(text); found != keys_.end()) return found->second.get();
  auto made = std::make_unique<Key>(Key{std::string(text), Ref::steal(new_str(text))});
  if (!made->str) return nullptr;
  const Key* key = made.get();
  const std::string_view stored = made->text;  // stays put: the Key lives on the heap
  keys_.emplace(stored, std::move(made));
  return key;
}

PyObject* HookDicts::new_attrs(const quorlane::AttributeMap& attrs) {
  handed_.clear();
  const auto entries = attrs.entries();
  bool same_keys = shape_ && shape_keys_.size() == entries.size();
  keys_now_.clear();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Key* key = key_of(entries[i].key, i);
    if (!key) return nullptr;
    same_keys = same_keys && shape_keys_[i] == key;
    keys_now_.push_back(key);
    handed_.push_back(Handed{key->str.get(), Ref(), entries[i].key, entries[i].value});
  }
  Ref dict = Ref::steal(same_keys ? PyDict_Copy(shape_.get()) : PyDict_New());
  if (!dict) return nullptr;
  for (std::size_t i = 0; i < handed_.size(); ++i) {
    Handed& handed = handed_[i];
    PyObject* value = last_values_.at(i, handed.value_text);
    if (!value) return nullptr;
    handed.value = Ref::borrow(value);
    if (same_keys && shape_values_[i] == handed.value.get()) continue;  // the copy holds it already
    if (PyDict_SetItem(dict.get(), handed.key, handed.value.get()) < 0) return nullptr;
  }
  if (!same_keys) {
    shape_ = Ref::steal(PyDict_Copy(dict.get()));
    if (!shape_) return nullptr;
    shape_keys_.swap(keys_now_);
    shape_values_.clear();
    for (const Handed& handed : handed_) shape_values_.push_back(handed.value.get());
  }
  return dict.release();
}

PyObject* HookDicts::new_header(const quorlane::AttributeMap& header) {
  if (!header_) {
    Ref dict = Ref::steal(PyDict_New());
    if (!dict) return nullptr;
    for (const quorlane::AttributeMap::Entry& entry : header.entries()) {
      const Key* key = key_of(entry.key, kNoPosition);
      if (!key) return nullptr;
      Ref value = Ref::steal(new_str(entry.value));
      if (!value || PyDict_SetItem(dict.get(), key->str.get(), value.get()) < 0) return nullptr;
    }
    header_ = std::move(dict);
  }
  return PyDict_Copy(header_.get());
}

bool HookDicts::write_back(PyObject* dict, quorlane::AttributeMap& attrs) {
  std::size_t matched = 0;
  bool done = write_values(dict, attrs, matched);
  if (done && matched < handed_.size()) done = rebuild(dict, attrs);
  handed_.clear();  // the objects may go now: nothing compares with them any more
  return done;
}

bool HookDicts::write_values(PyObject* dict, quorlane::AttributeMap& attrs, std::size_t& matched) {
  // Walked in step with the handed-out pairs: a key still in its place is known by identity, and so is a
  // value left as it was; only what the hook wrote is encoded. Keys past the handed-out ones are appended.
  Py_ssize_t pos = 0;
  PyObject* key = nullptr;
  PyObject* value = nullptr;
  while (PyDict_Next(dict, &pos, &key, &value)) {
    if (matched < handed_.size()) {
      const Handed& handed = handed_[matched];
      if (key != handed.key) return true;  // a key removed or moved: left to rebuild()
      ++matched;
      if (value == handed.value.get()) continue;
      text_.clear();
      if (!append_written(text_, value)) return false;
      attrs.insert_copy(handed.key_text, text_);  // in place: the key keeps its position
      continue;
    }
    text_.clear();
    if (!append_written(text_, key)) return false;
    const std::size_t key_size = text_.size();
    if (!append_written(text_, value)) return false;
    const std::string_view both = text_;
    attrs.insert_copy(both.substr(0, key_size), both.substr(key_size));
  }
  return true;
}

bool HookDicts::rebuild(PyObject* dict, quorlane::AttributeMap& attrs) {
  // Every text is copied before the map is emptied, since the handed-out ones view the map's storage.
  text_.clear();
  std::vector<std::size_t> ends;  // where each key and each value ends in text_, alternately
  Py_ssize_t pos = 0;
  PyObject* key = nullptr;
  PyObject* value = nullptr;
  for (std::size_t i = 0; PyDict_Next(dict, &pos, &key, &value); ++i) {
    const Handed* handed = i < handed_.size() ? &handed_[i] : nullptr;
    if (handed != nullptr && key == handed->key) {
      text_.append(handed->key_text);
    } else if (!append_written(text_, key)) {
      return false;
    }
    ends.push_back(text_.size());
    if (handed != nullptr && value == handed->value.get()) {
      text_.append(handed->value_text);
    } else if (!append_written(text_, value)) {
      return false;
    }
    ends.push_back(text_.size());
  }
  attrs.clear();
  const std::string_view all = text_;
  std::size_t start = 0;
  for (std::size_t i = 0; i < ends.size(); i += 2) {
    attrs.insert_copy(all.substr(start, ends[i] - start), all.substr(ends[i], ends[i + 1] - ends[i]));
    start = ends[i + 1];
  }
  return true;
}

}  // namespace quorlane_py
