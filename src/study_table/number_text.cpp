#include "study_table/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace study_table {
namespace {

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Plain decimals of up to 15 digits ("-12.375"), the bulk of a time series, without the general
// reader: the digits make an integer below 2^53 and the power of ten is exact, so the one
// division is rounded exactly as reading the text would round it.
std::optional<double> read_plain_decimal(std::string_view cell) {
  std::size_t at = cell.front() == '-' ? 1 : 0;
  std::uint64_t digits = 0;
  int count = 0;
  int decimals = 0;
  bool point = false;
  for (; at < cell.size(); ++at) {
    const char c = cell[at];
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (c < '0' || c > '9' || ++count > 15) return std::nullopt;
    digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
    decimals += point ? 1 : 0;
  }
  if (count == 0) return std::nullopt;
  const double value = static_cast<double>(digits) / kPowersOfTen[decimals];
  return cell.front() == '-' ? -value : value;
}

}  // namespace

std::optional<double> read_number(std::string_view cell) {
  while (!cell.empty() && (cell.front() == ' ' || cell.front() == '\t')) cell.remove_prefix(1);
  while (!cell.empty() && (cell.back() == ' ' || cell.back() == '\t')) cell.remove_suffix(1);
  // from_chars takes no '+', which spreadsheets and some engines write.
  if (cell.size() > 1 && cell.front() == '+' && cell[1] != '-') cell.remove_prefix(1);
  if (cell.empty()) return std::nullopt;
  if (const auto plain = read_plain_decimal(cell)) return plain;
  double value = 0.0;
  const auto [end, error] = std::from_chars(cell.data(), cell.data() + cell.size(), value);
  if (error != std::errc() || end != cell.data() + cell.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

std::string shortest_text(double value) {
  char buffer[32];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return error == std::errc() ? std::string(buffer, end) : std::string();
}

}  // namespace study_table
