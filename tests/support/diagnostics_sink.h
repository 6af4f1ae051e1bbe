#pragma once

#include <spdlog/logger.h>
#include <spdlog/sinks/base_sink.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "native_runner/diagnostics.h"

namespace test_support {

struct DiagnosticEvent {
  std::string logger_name;
  spdlog::level::level_enum level;
  std::string message;

  friend bool operator==(const DiagnosticEvent&, const DiagnosticEvent&) = default;
};

// Collects the raw payloads of the events that reach it, unformatted.
class CollectingSink : public spdlog::sinks::base_sink<std::mutex> {
 public:
  std::vector<DiagnosticEvent> events() {
    std::lock_guard lock(mutex_);
    return events_;
  }

  // Only the payloads, for tests that check the texts alone.
  std::vector<std::string> messages() {
    std::vector<std::string> texts;
    for (const auto& event : events()) texts.push_back(event.message);
    return texts;
  }

 protected:
  void sink_it_(const spdlog::details::log_msg& msg) override {
    events_.push_back({std::string(msg.logger_name.data(), msg.logger_name.size()), msg.level,
                       std::string(msg.payload.data(), msg.payload.size())});
  }
  void flush_() override {}

 private:
  std::vector<DiagnosticEvent> events_;
};

// Attaches a CollectingSink to the module's diagnostics logger for the lifetime of the object.
class ScopedDiagnosticsCapture {
 public:
  ScopedDiagnosticsCapture() : sink_(std::make_shared<CollectingSink>()) {
    native_runner::diagnostics_logger()->sinks().push_back(sink_);
  }
  ~ScopedDiagnosticsCapture() {
    auto& sinks = native_runner::diagnostics_logger()->sinks();
    sinks.erase(std::remove(sinks.begin(), sinks.end(), sink_), sinks.end());
  }
  ScopedDiagnosticsCapture(const ScopedDiagnosticsCapture&) = delete;
  ScopedDiagnosticsCapture& operator=(const ScopedDiagnosticsCapture&) = delete;

  std::vector<DiagnosticEvent> events() { return sink_->events(); }
  std::vector<std::string> messages() { return sink_->messages(); }

 private:
  std::shared_ptr<CollectingSink> sink_;
};

}  // namespace test_support
