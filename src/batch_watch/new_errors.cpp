#include "batch_watch/new_errors.h"

namespace batch_watch {
namespace {

// Each field preceded by its length, so no two different errors share a key whatever their
// texts hold.
std::string identity(const ErrorEntry& error) {
  std::string key;
  for (const std::string* part :
       {&error.job_id, &error.timestamp, &error.code, &error.model_name, &error.message}) {
    key += std::to_string(part->size());
    key += ':';
    key += *part;
  }
  return key;
}

}  // namespace

std::vector<const ErrorEntry*> NewErrors::take(const std::vector<ErrorEntry>& errors) {
  std::vector<const ErrorEntry*> fresh;
  for (const ErrorEntry& error : errors) {
    if (shown_.insert(identity(error)).second) fresh.push_back(&error);
  }
  return fresh;
}

}  // namespace batch_watch
