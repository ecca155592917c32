// The str made for each position of the last section, handed out again for an equal text at the same position
// of the next: the sections of a statement repeat most of their keys and many of their values (the statement's
// own account, bank and name on one side of every document), so that a reading makes far fewer str.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "str_conversion.h"

namespace quorlane_glue {

class StrsByPosition {
 public:
  // The str of `text` (written in `encoding`) at `position`: borrowed, valid until the next call for that
  // position; null with an exception.
  PyObject* at(std::size_t position, std::string_view text,
               quorlane::Encoding encoding = quorlane::Encoding::Utf8) {
    if (position >= last_.size()) last_.resize(position + 1);
    Last& last = last_[position];
    if (!last.str || last.text != text) {
      Ref made = Ref::steal(new_str(text, encoding));
      if (!made) return nullptr;
      last.text.assign(text);
      last.str = std::move(made);
    }
    return last.str.get();
  }

 private:
  struct Last {
    std::string text;
    Ref str;
  };
  std::vector<Last> last_;
};

}  // namespace quorlane_glue
