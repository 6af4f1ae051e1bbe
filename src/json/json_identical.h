#pragma once

#include "json/json.h"

namespace json_text {

// Equal in the sense of the text they are written as. The library's own == is looser: it has 1
// equal to 1.0 and 0.0 to -0.0, which are written differently.
bool identical(const Json& a, const Json& b);

// Makes `copy` identical to `original` again, copying from it only the pieces that differ
// (objects down to `depth` levels are mended member by member, anything else whole): a copy of
// a large document that was edited in a few places is cheaper to mend than to make anew.
void restore(Json& copy, const Json& original, int depth = 3);

}  // namespace json_text
