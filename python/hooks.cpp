#include "hooks.h"

namespace quorlane_py {

// Placeholder until the hook entry is built.
quorlane::HookOutcome PythonHook::on_section(quorlane::SectionType, quorlane::AttributeMap&,
                                             const quorlane::AttributeMap&) {
  return quorlane::HookOutcome::Error("hooks are being built");
}

}  // namespace quorlane_py
