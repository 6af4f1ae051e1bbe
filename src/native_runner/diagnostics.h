#pragma once

#include <memory>
#include <string_view>

namespace spdlog {
class logger;
}

namespace native_runner {

// Target of the module's structured diagnostic events.
inline constexpr std::string_view kDiagnosticsTarget = "app_lib::native_runner";

// The logger behind the events: named after the target, level INFO, and without sinks until a
// host (or a test) attaches one, so by default every event is dropped.
std::shared_ptr<spdlog::logger> diagnostics_logger();

// Emits one INFO event whose single field "message" holds `message`.
void emit_diagnostic(std::string_view message);

}  // namespace native_runner
