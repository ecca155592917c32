// The hooks of one parse: each Python hook called through the core's hook interface.
#pragma once

#include <vector>

#include "hook_dicts.h"
#include "glue.h"
#include "quorlane/reader.h"

namespace quorlane_py {

// One Python hook as the core calls it.
class PythonHook final : public quorlane::SectionHook {
 public:
  // Takes over one reference to the hook object; `dicts` outlives the hook.
  PythonHook(Ref hook, HookDicts& dicts) noexcept : hook_(std::move(hook)), dicts_(&dicts) {}
  quorlane::HookOutcome on_section(quorlane::SectionKind type, quorlane::AttributeMap& attrs,
                                   const quorlane::AttributeMap& header) override;

 private:
  Ref hook_;
  HookDicts* dicts_;
};

// Every hook of a parse, in list order, sharing what their dictionaries are made of.
class PythonHooks {
 public:
  explicit PythonHooks(std::vector<Ref> objects);
  PythonHooks(const PythonHooks&) = delete;
  PythonHooks& operator=(const PythonHooks&) = delete;

  quorlane::HookList list() const noexcept { return pointers_; }

 private:
  HookDicts dicts_;
  std::vector<PythonHook> hooks_;
  std::vector<quorlane::SectionHook*> pointers_;
};

}  // namespace quorlane_py
