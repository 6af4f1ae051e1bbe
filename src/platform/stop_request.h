#pragma once

#include <stop_token>

namespace platform {

// Requests a stop on `source` and wakes at once every run_process() waiting on one of its
// tokens. Stops meant to end a running child are requested through here: on POSIX this is
// simply source.request_stop(), whose callback wakes the run; on Windows a run cannot be given a
// stop callback (the MinGW runtime can hang removing one while another thread runs it), so it
// waits on an event that only this function sets. A stop requested on the source directly is
// still seen there, but only when the child has ended by itself.
void request_stop(std::stop_source& source);

}  // namespace platform
