#include "native_runner/combination_walk.h"

#include <new>
#include <stdexcept>
#include <string>
#include <utility>

namespace native_runner {

CombinationWalk::CombinationWalk(const std::vector<ParameterList>& lists)
    : lists_(lists), every_(std::in_place, lists) {}

CombinationWalk::CombinationWalk(const std::vector<ParameterList>& lists, CombinationSample sample)
    : lists_(lists), sample_(std::move(sample)) {}

bool CombinationWalk::has_current() const {
  return every_ ? every_->has_current() : position_ < sample_->size();
}

const common::BigCount& CombinationWalk::index() const {
  return every_ ? index_ : sample_->index(static_cast<std::size_t>(position_));
}

std::vector<std::string_view> CombinationWalk::current() const {
  if (every_) return every_->current();
  if (!has_current()) return {};
  return values_at(lists_, sample_->digits(static_cast<std::size_t>(position_)));
}

bool CombinationWalk::advance() {
  if (!has_current()) return false;
  ++position_;
  if (!every_) return has_current();
  index_.increment();
  return every_->advance();
}

common::Result<GroupSelection> select_combinations(const std::vector<ParameterList>& lists,
                                                   const std::optional<SampleRequest>& request) {
  if (!request) {
    const auto count = count_combinations(lists);
    if (!count) return std::unexpected(count.error());
    return GroupSelection{common::BigCount(*count), *count, false, CombinationWalk(lists)};
  }
  const std::vector<std::uint64_t> lengths = list_lengths(lists);
  common::BigCount size = common::product_of(lengths);
  if (size <= common::BigCount(request->size)) {
    const std::uint64_t count = *size.to_u64();
    return GroupSelection{std::move(size), count, false, CombinationWalk(lists)};
  }
  // The sample is held whole (its rows sorted into index order), so a size beyond the memory
  // of the machine ends here, not in an abort.
  try {
    CombinationSample sample = choose_sample(lengths, *request);
    return GroupSelection{std::move(size), request->size, true,
                          CombinationWalk(lists, std::move(sample))};
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  return common::fail("a " + std::string(sample_method_name(request->method)) + " sample of " +
                      std::to_string(request->size) + " combinations of " + size.decimal() +
                      " does not fit in memory (choose a smaller --sample)");
}

}  // namespace native_runner
