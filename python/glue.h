// The module's name, and the glue it shares with the package's extension (glue/), used unqualified here.
#pragma once

#include "args.h"
#include "class_creation.h"
#include "entry_point.h"
#include "pending_error.h"
#include "ref.h"
#include "registrar.h"
#include "str_conversion.h"

namespace quorlane_py {

using namespace quorlane_glue;

inline constexpr const char kModuleName[] = "quorlane_py";

}  // namespace quorlane_py
