// The dictionaries a hook is called with, and the writing back of its attrs into the section's map. One object
// serves every hook call of one parse, so that what stays the same between calls is made once.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "glue.h"
#include "strs_by_position.h"
#include "quorlane/attribute_map.h"

namespace quorlane_py {

class HookDicts {
 public:
  // A new dict of the section's pairs, in their order. New reference, or null with an exception.
  PyObject* new_attrs(const quorlane::AttributeMap& attrs);
  // A new dict of the header's pairs, in their order. New reference, or null with an exception.
  PyObject* new_header(const quorlane::AttributeMap& header);
  // Makes `attrs` hold the pairs of `dict`, the attrs dict last handed out, in its order: every key and value
  // must be a str that has a UTF-8 form. False with an exception set at the first that is not.
  bool write_back(PyObject* dict, quorlane::AttributeMap& attrs);

 private:
  struct Key {
    std::string text;
    Ref str;
  };
  // The key of a text, whose str is made on its first use in the parse (a str cannot change, so every dict
  // shares it). `position` is the key's place in its section: sections mostly repeat their keys in the same
  // order, and a key found where the shape has it needs no lookup. Null with an exception.
  const Key* key_of(std::string_view text, std::size_t position);
  // A pair as handed out in the last attrs dict: the objects, and the texts of the map they came from.
  struct Handed {
    PyObject* key;  // held by keys_
    Ref value;      // held here too, so that no other object can take its address while the hook runs
    std::string_view key_text;
    std::string_view value_text;
  };
  // Whether `dict` holds exactly the handed-out pairs but for some values, which are then written in place.
  // Stops at the first pair that differs otherwise (it then returns true with `matched` below the size).
  bool write_values(PyObject* dict, quorlane::AttributeMap& attrs, std::size_t& matched);
  // The slow way, for keys added, removed or reordered: the map is built anew from the dict.
  bool rebuild(PyObject* dict, quorlane::AttributeMap& attrs);

  std::unordered_map<std::string_view, std::unique_ptr<Key>> keys_;  // views of Key::text
  // The last attrs dict made with keys unlike the one before: a dict for a section with the same keys in the
  // same order is made as a copy of it, values then replaced, which spares growing a dict key by key.
  Ref shape_;
  std::vector<const Key*> shape_keys_;  // its keys, in order
  std::vector<const Key*> keys_now_;    // the keys of the dict being made
  std::vector<PyObject*> shape_values_;  // the values of shape_, which holds them, in order
  // The value last handed out at each position of a section: an equal text at the same position is given the
  // same str, which a hook cannot tell apart from a new one.
  StrsByPosition last_values_;
  Ref header_;  // the header's dict, made at the first call: the header is complete before the first section
  std::vector<Handed> handed_;
  std::string text_;  // the UTF-8 form of the strs a hook wrote
};

}  // namespace quorlane_py
