#include "study_table/csv_writer.h"

#include <utility>

#include "common/utf8.h"
#include "platform/file_system.h"

namespace study_table {
namespace {

constexpr std::size_t kFlushSize = 1 << 20;

void append_field(std::string& out, std::string_view cell) {
  if (cell.find_first_of(",\"\r\n") == std::string_view::npos) {
    out += cell;
    return;
  }
  out += '"';
  for (const char c : cell) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

}  // namespace

void append_csv_record(std::string& out, const std::vector<std::string>& cells) {
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) out += ',';
    if (common::is_valid_utf8(cells[i])) {
      append_field(out, cells[i]);
    } else {
      append_field(out, common::to_valid_utf8_lossy(cells[i]));
    }
  }
  out += "\r\n";
}

CsvWriter::CsvWriter(std::filesystem::path path, platform::FileReplacement file)
    : path_(std::move(path)), file_(std::move(file)) {}

common::Result<CsvWriter> CsvWriter::create(const std::filesystem::path& path) {
  auto file = platform::FileReplacement::begin(path);
  if (!file) {
    return common::fail("Cannot write " + platform::path_text(path) + ": " + file.error().message);
  }
  return CsvWriter(path, std::move(*file));
}

common::Result<void> CsvWriter::write(const std::vector<std::string>& cells) {
  append_csv_record(buffer_, cells);
  return buffer_.size() >= kFlushSize ? flush() : common::Result<void>();
}

common::Result<void> CsvWriter::flush() {
  auto written = file_.write(buffer_);
  buffer_.clear();
  if (!written) {
    return common::fail("Cannot write " + platform::path_text(path_) + ": " +
                        written.error().message);
  }
  return {};
}

common::Result<void> CsvWriter::commit() {
  if (auto flushed = flush(); !flushed) return flushed;
  if (auto done = file_.commit(); !done) {
    return common::fail("Cannot write " + platform::path_text(path_) + ": " + done.error().message);
  }
  return {};
}

}  // namespace study_table
