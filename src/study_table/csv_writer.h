#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"
#include "platform/file_system.h"

namespace study_table {

// Appends one RFC 4180 record ended by CRLF. A cell holding a comma, a quote or a line break is
// quoted, its quotes doubled; text that is not UTF-8 has its bad bytes replaced by U+FFFD, so
// the table is always UTF-8 whatever an engine wrote.
void append_csv_record(std::string& out, const std::vector<std::string>& cells);

// A CSV table written record by record under a temporary name and renamed into place at the
// end: a reader never sees half a table, and a run that fails keeps the previous one. Records
// are gathered into large writes, so memory stays flat however many rows there are.
class CsvWriter {
 public:
  // Fails, naming the path, when the temporary file beside it cannot be created.
  static common::Result<CsvWriter> create(const std::filesystem::path& path);

  common::Result<void> write(const std::vector<std::string>& cells);
  common::Result<void> commit();

 private:
  CsvWriter(std::filesystem::path path, platform::FileReplacement file);
  common::Result<void> flush();

  std::filesystem::path path_;
  platform::FileReplacement file_;
  std::string buffer_;
};

}  // namespace study_table
