#include "native_runner/diagnostics.h"

#include <spdlog/logger.h>
#include <spdlog/spdlog.h>

#include <string>

namespace native_runner {
namespace {

std::shared_ptr<spdlog::logger> create_or_reuse_logger() {
  const std::string name(kDiagnosticsTarget);
  if (auto existing = spdlog::get(name)) return existing;
  auto logger = std::make_shared<spdlog::logger>(name);
  logger->set_level(spdlog::level::info);
  try {
    spdlog::register_logger(logger);
  } catch (const spdlog::spdlog_ex&) {
    // Another thread or the host registered the name first; use theirs so sinks attached there
    // see our events.
    if (auto existing = spdlog::get(name)) return existing;
  }
  return logger;
}

}  // namespace

std::shared_ptr<spdlog::logger> diagnostics_logger() {
  // A function-local static gives thread-safe one-time creation.
  static const std::shared_ptr<spdlog::logger> logger = create_or_reuse_logger();
  return logger;
}

void emit_diagnostic(std::string_view message) {
  try {
    // The text is an argument, never the pattern, so braces in paths or JSON are not read as
    // format fields.
    diagnostics_logger()->log(spdlog::level::info, "{}", message);
  } catch (...) {
    // Diagnostics are best effort; a failing sink must not break the batch.
  }
}

}  // namespace native_runner
