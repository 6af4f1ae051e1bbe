#include "native_runner/parsed_files.h"

#include <utility>

#include "json/json_identical.h"

namespace native_runner {

common::Result<std::optional<ParsedFiles::Document>> ParsedFiles::find(
    const std::filesystem::path& path) {
  const auto stamp = files_.stamp(path);
  // Without a stamp the store decides, as it did before anything was kept.
  if (!stamp && !files_.exists(path)) return std::nullopt;
  if (stamp) {
    if (Document document = kept(path, *stamp)) return document;
  }
  auto parsed = parse(path, stamp);
  if (!parsed) return std::unexpected(parsed.error());
  return std::move(*parsed);
}

common::Result<ParsedFiles::Document> ParsedFiles::read(const std::filesystem::path& path) {
  const auto stamp = files_.stamp(path);
  if (stamp) {
    if (Document document = kept(path, *stamp)) return document;
  }
  return parse(path, stamp);
}

std::shared_ptr<const json_text::PrettyTexts> ParsedFiles::texts(const std::filesystem::path& path,
                                                                 const Document& document) {
  {
    std::scoped_lock lock(mutex_);
    const auto found = entries_.find(path);
    if (found == entries_.end() || found->second.document != document) return nullptr;
    if (found->second.texts) return found->second.texts;
  }
  // Made outside the lock: it is a whole pretty write, and other workers need the other files.
  auto made = std::make_shared<const json_text::PrettyTexts>(document);
  std::scoped_lock lock(mutex_);
  const auto found = entries_.find(path);
  if (found != entries_.end() && found->second.document == document && !found->second.texts) {
    found->second.texts = made;
  }
  return made;
}

json_text::Json ParsedFiles::take_copy(const std::filesystem::path& path,
                                       const Document& document) {
  {
    std::scoped_lock lock(mutex_);
    const auto found = entries_.find(path);
    if (found != entries_.end() && found->second.document == document &&
        !found->second.spare_copies.empty()) {
      json_text::Json copy = std::move(found->second.spare_copies.back());
      found->second.spare_copies.pop_back();
      return copy;
    }
  }
  return *document;
}

void ParsedFiles::give_back(const std::filesystem::path& path, const Document& document,
                            json_text::Json copy) {
  // A worker has one copy out at a time; the bound keeps a batch of very many workers small.
  constexpr std::size_t kMostSpares = 64;
  json_text::restore(copy, *document);
  std::scoped_lock lock(mutex_);
  const auto found = entries_.find(path);
  if (found != entries_.end() && found->second.document == document &&
      found->second.spare_copies.size() < kMostSpares) {
    found->second.spare_copies.push_back(std::move(copy));
  }
}

void ParsedFiles::forget() {
  std::scoped_lock lock(mutex_);
  entries_.clear();
}

ParsedFiles::Document ParsedFiles::kept(const std::filesystem::path& path,
                                        const platform::FileStamp& stamp) {
  std::scoped_lock lock(mutex_);
  const auto found = entries_.find(path);
  if (found == entries_.end() || found->second.stamp != stamp) return nullptr;
  return found->second.document;
}

common::Result<ParsedFiles::Document> ParsedFiles::parse(
    const std::filesystem::path& path, const std::optional<platform::FileStamp>& stamp) {
  auto parsed = read_json(files_, path);
  if (!parsed) return std::unexpected(parsed.error());
  auto document = std::make_shared<const json_text::Json>(std::move(*parsed));
  // Kept under the stamp seen before the read: a file edited in between has a newer stamp by
  // the next look and is read again then.
  if (stamp) {
    std::scoped_lock lock(mutex_);
    entries_.insert_or_assign(path, Entry{*stamp, document, nullptr, {}});
  }
  return document;
}

}  // namespace native_runner
