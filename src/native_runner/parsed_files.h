#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "common/error.h"
#include "json/json.h"
#include "json/pretty_texts.h"
#include "native_runner/files.h"

namespace native_runner {

// JSON files that every combination of a group reads (its base model above all), parsed once
// and handed out again while the file's stamp stays the same. A file edited while the batch
// runs has a new stamp at its next use and is read again, so each combination sees the file
// as it is when the combination starts, as if it had read it itself. Only what parsed is kept:
// a missing or broken file is looked at afresh each time and fails the same way each time.
// Shared by the worker threads.
class ParsedFiles {
 public:
  using Document = std::shared_ptr<const json_text::Json>;

  explicit ParsedFiles(const Files& files) : files_(files) {}

  // Nothing when Files::exists says there is nothing at `path`; otherwise the document, or the
  // error of read_json.
  common::Result<std::optional<Document>> find(const std::filesystem::path& path);
  // As read_json, for a file that is expected to be there.
  common::Result<Document> read(const std::filesystem::path& path);

  // The pretty texts of the document kept for `path`, made at the first call; nothing when
  // `document` is not (or no longer) the one kept, which is then written afresh.
  std::shared_ptr<const json_text::PrettyTexts> texts(const std::filesystem::path& path,
                                                      const Document& document);

  // A copy of the document kept for `path` to edit: a spare one handed back earlier when there
  // is one, else a new copy. Copying a large base model for every combination, and freeing the
  // copy after, costs far more than putting back the few places a combination changed.
  json_text::Json take_copy(const std::filesystem::path& path, const Document& document);
  // Takes an edited copy back: mended to be identical to `document` again, it is kept for the
  // next take_copy while `document` is still the one kept for `path`.
  void give_back(const std::filesystem::path& path, const Document& document, json_text::Json copy);

  // Lets go of every document, e.g. once a group is done with its base model.
  void forget();

 private:
  struct Entry {
    platform::FileStamp stamp;
    Document document;
    std::shared_ptr<const json_text::PrettyTexts> texts;
    std::vector<json_text::Json> spare_copies;
  };

  // The kept document when `stamp` is still its file's.
  Document kept(const std::filesystem::path& path, const platform::FileStamp& stamp);
  common::Result<Document> parse(const std::filesystem::path& path,
                                 const std::optional<platform::FileStamp>& stamp);

  const Files& files_;
  std::mutex mutex_;
  std::map<std::filesystem::path, Entry> entries_;
};

}  // namespace native_runner
