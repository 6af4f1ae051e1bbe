#include "model_editing/object_overlay.h"

namespace model_editing {

void overlay_object(Json& target, const Json& source) {
  if (!target.is_object() || !source.is_object()) return;
  for (const auto& [name, value] : source.items()) {
    target[name] = value;
  }
}

}  // namespace model_editing
