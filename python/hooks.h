// The hook entry: calls one Python hook for a section through the core's hook interface.
#pragma once

#include <string>

#include "ref.h"
#include "quorlane/reader.h"

namespace quorlane_py {

class PythonHook final : public quorlane::SectionHook {
 public:
  // Takes over one reference to the hook object.
  explicit PythonHook(Ref hook) noexcept : hook_(std::move(hook)) {}
  quorlane::HookOutcome on_section(quorlane::SectionType type, quorlane::AttributeMap& attrs,
                                   const quorlane::AttributeMap& header) override;

 private:
  Ref hook_;
};

}  // namespace quorlane_py
