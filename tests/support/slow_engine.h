// A stand-in engine for tests that watch a batch while it runs: it takes a while and fails on
// request, so a watcher sees combinations running, finishing and failing.
#pragma once

namespace test_support {

// Sleeps SLOW_ENGINE_SECONDS (default 0.5) and exits 3 when the model file it is given holds the
// text "fail-me" (a parameter value can put it there), 0 otherwise.
inline const char* const kSlowEngineScript = R"(#!/bin/bash
sleep "${SLOW_ENGINE_SECONDS:-0.5}"
if grep -q 'fail-me' "$1"; then
  echo "stand-in engine: asked to fail" >&2
  exit 3
fi
exit 0
)";

}  // namespace test_support
