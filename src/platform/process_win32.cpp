#include <windows.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string_view>
#include <vector>

#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/time_limit.h"
#include "platform/win32_handle.h"
#include "platform/win32_stop_wake.h"
#include "platform/win32_text.h"
#include "platform/windows_command_line.h"

namespace platform {
namespace {

struct Pipe {
  UniqueHandle read_end;
  UniqueHandle write_end;
};

// Only the child's end may be inherited; an inherited read end would keep the pipe open forever.
common::Result<void> open_pipe(Pipe& pipe) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  if (!::CreatePipe(pipe.read_end.out(), pipe.write_end.out(), &inherit, 0) ||
      !::SetHandleInformation(pipe.read_end.get(), HANDLE_FLAG_INHERIT, 0)) {
    return std::unexpected(os_error(static_cast<int>(::GetLastError())));
  }
  return {};
}

common::Result<void> open_null_input(UniqueHandle& input) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  *input.out() = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                               OPEN_EXISTING, 0, nullptr);
  if (!input.valid()) {
    return std::unexpected(os_error(static_cast<int>(::GetLastError())));
  }
  return {};
}

// Windows compares variable names without regard to case.
bool same_name(std::wstring_view a, std::wstring_view b) {
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// Entries such as "=C:=C:\dir" start with '=', so the name ends at the first '=' after that.
std::wstring_view entry_name(std::wstring_view entry) {
  const auto equals = entry.find(L'=', 1);
  return equals == std::wstring_view::npos ? entry : entry.substr(0, equals);
}

// Empty when nothing is added: the child then inherits our block as it is.
std::wstring environment_block(const std::vector<std::pair<std::string, std::string>>& added) {
  if (added.empty()) return {};
  std::vector<std::wstring> entries;
  if (wchar_t* inherited = ::GetEnvironmentStringsW()) {
    for (const wchar_t* entry = inherited; *entry != L'\0'; entry += wcslen(entry) + 1) {
      entries.emplace_back(entry);
    }
    ::FreeEnvironmentStringsW(inherited);
  }
  for (const auto& [name, value] : added) {
    const std::wstring wide_name = widen(name);
    std::erase_if(entries, [&](const std::wstring& entry) {
      return same_name(entry_name(entry), wide_name);
    });
    entries.push_back(wide_name + L"=" + widen(value));
  }
  std::wstring block;
  for (const std::wstring& entry : entries) {
    block += entry;
    block.push_back(L'\0');
  }
  block.push_back(L'\0');
  return block;
}

// A bare name must go through the command line alone, the only way CreateProcessW searches PATH.
bool is_bare_name(std::string_view program) {
  return program.find_first_of("\\/:") == std::string_view::npos;
}

struct StreamReader {
  HANDLE pipe;
  std::string* sink;
};

DWORD WINAPI read_stream(void* argument) {
  const auto* reader = static_cast<StreamReader*>(argument);
  char buffer[65536];
  DWORD read = 0;
  while (::ReadFile(reader->pipe, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    reader->sink->append(buffer, read);
  }
  return 0;
}

// A job that ends every process in it when its last handle closes, so no stopped engine's children
// outlive the run even if we end early.
common::Result<UniqueHandle> open_kill_on_close_job() {
  UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (!job.valid() || !::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation,
                                                 &limits, sizeof(limits))) {
    return std::unexpected(os_error(static_cast<int>(::GetLastError())));
  }
  return job;
}

common::Result<PROCESS_INFORMATION> start(const ProcessRequest& request, HANDLE input,
                                          HANDLE output, HANDLE error, DWORD extra_flags) {
  std::wstring command_line = widen(windows_command_line(request.program, request.arguments));
  const std::wstring application = widen(request.program);
  std::wstring environment = environment_block(request.added_variables);

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = error;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(is_bare_name(request.program) ? nullptr : application.c_str(),
                        command_line.data(), nullptr, nullptr, TRUE,
                        CREATE_UNICODE_ENVIRONMENT | extra_flags,
                        environment.empty() ? nullptr : environment.data(), nullptr, &startup,
                        &process)) {
    return std::unexpected(os_error(static_cast<int>(::GetLastError())));
  }
  return process;
}

using Clock = std::chrono::steady_clock;

enum class EndReason { kNone, kStop, kTimeLimit };

// Milliseconds until `when`, rounded up so that the wake-up is never early; INFINITE without one.
DWORD milliseconds_until(std::optional<Clock::time_point> when) {
  if (!when) return INFINITE;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*when - Clock::now());
  return static_cast<DWORD>(std::clamp<std::int64_t>(left.count(), 0, INFINITE - 1));
}

// Returns as soon as the process has ended and both readers are done: each is waited for in
// turn together with the stop event, so the wait ends the moment the last of them does, or a
// stop arrives, or the time limit passes. Nothing wakes in between. Ending the job ends every
// process in it, which closes every write end of the pipes and so ends the reads too.
EndReason wait_for_run(HANDLE job, const std::array<HANDLE, 3>& ends, HANDLE stop_event,
                       std::optional<Clock::time_point> time_limit) {
  EndReason reason = EndReason::kNone;
  for (const HANDLE end : ends) {
    for (;;) {
      const std::array<HANDLE, 2> waits{end, stop_event};
      const bool watching = reason == EndReason::kNone;
      const DWORD count = watching && stop_event != nullptr ? 2 : 1;
      const DWORD woke = ::WaitForMultipleObjects(
          count, waits.data(), FALSE, watching ? milliseconds_until(time_limit) : INFINITE);
      if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED) break;
      if (woke == WAIT_OBJECT_0 + 1) {
        reason = EndReason::kStop;
      } else if (time_limit && Clock::now() >= *time_limit) {
        reason = EndReason::kTimeLimit;
      } else {
        continue;  // The limit was capped to what one wait can last.
      }
      ::TerminateJobObject(job, 1);
    }
  }
  return reason;
}

// The child and our copies of its ends of the pipes, which must go before reading, or the
// reads would never see the end.
struct StartedChild {
  UniqueHandle process;
  UniqueHandle job;
  Pipe out;
  Pipe err;
};

// In a job when it must be stoppable: suspended until it is in the job, so not even its first
// child can escape.
common::Result<StartedChild> start_child(const ProcessRequest& request, bool in_job) {
  StartedChild child;
  if (in_job) {
    auto opened = open_kill_on_close_job();
    if (!opened) return std::unexpected(opened.error());
    child.job = std::move(*opened);
  }
  UniqueHandle input;
  if (auto opened = open_null_input(input); !opened) return std::unexpected(opened.error());
  if (auto opened = open_pipe(child.out); !opened) return std::unexpected(opened.error());
  if (auto opened = open_pipe(child.err); !opened) return std::unexpected(opened.error());
  auto started = start(request, input.get(), child.out.write_end.get(), child.err.write_end.get(),
                       in_job ? CREATE_SUSPENDED : 0);
  if (!started) return std::unexpected(started.error());
  child.process = UniqueHandle(started->hProcess);
  UniqueHandle thread(started->hThread);
  child.out.write_end.reset();
  child.err.write_end.reset();
  if (in_job) {
    if (!::AssignProcessToJobObject(child.job.get(), child.process.get())) {
      const DWORD error = ::GetLastError();
      ::TerminateProcess(child.process.get(), 1);
      return std::unexpected(os_error(static_cast<int>(error)));
    }
    ::ResumeThread(thread.get());
  }
  return child;
}

}  // namespace

common::Result<ProcessOutcome> run_process(const ProcessRequest& request, std::stop_token stop) {
  if (stop.stop_requested()) {
    ProcessOutcome outcome;
    outcome.cancelled = true;
    return outcome;
  }
  std::optional<Clock::time_point> time_limit;
  if (request.time_limit) time_limit = deadline_after(*request.time_limit);
  std::optional<StopWake> stop_wake;
  if (stop.stop_possible()) {
    auto made = StopWake::make(stop);
    if (!made) return std::unexpected(made.error());
    stop_wake.emplace(std::move(*made));
  }
  auto child = start_child(request, stop_wake.has_value() || time_limit.has_value());
  if (!child) return std::unexpected(child.error());
  const HANDLE process = child->process.get();

  // Both streams are read at once, each on its own thread: a child that fills one pipe while we
  // wait on the other would never finish.
  ProcessOutcome outcome;
  StreamReader out_reader{child->out.read_end.get(), &outcome.standard_output};
  StreamReader err_reader{child->err.read_end.get(), &outcome.standard_error};
  UniqueHandle out_thread(::CreateThread(nullptr, 0, read_stream, &out_reader, 0, nullptr));
  UniqueHandle err_thread(out_thread.valid()
                              ? ::CreateThread(nullptr, 0, read_stream, &err_reader, 0, nullptr)
                              : nullptr);
  if (!out_thread.valid() || !err_thread.valid()) {
    const DWORD error = ::GetLastError();
    ::TerminateProcess(process, 1);
    if (child->job.valid()) ::TerminateJobObject(child->job.get(), 1);
    if (out_thread.valid()) ::WaitForSingleObject(out_thread.get(), INFINITE);
    return std::unexpected(os_error(static_cast<int>(error)));
  }

  const EndReason reason =
      wait_for_run(child->job.get(), {process, out_thread.get(), err_thread.get()},
                   stop_wake ? stop_wake->event() : nullptr, time_limit);
  ::WaitForSingleObject(out_thread.get(), INFINITE);
  ::WaitForSingleObject(err_thread.get(), INFINITE);
  ::WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  if (!::GetExitCodeProcess(process, &code)) {
    return std::unexpected(os_error(static_cast<int>(::GetLastError())));
  }
  outcome.exit_code = static_cast<std::int32_t>(code);
  outcome.cancelled = reason == EndReason::kStop;
  outcome.timed_out = reason == EndReason::kTimeLimit;
  return outcome;
}

}  // namespace platform
