// The tools' quoting and JSON come from the lint library, which the editor shares.
#pragma once

#include "lint/text.h"

namespace klp::tools {

using lint::JsonString;
using lint::JsonWriter;
using lint::Quoted;
using lint::Utf8SequenceAt;

}  // namespace klp::tools
