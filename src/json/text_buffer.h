#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace json_text {

// Appends to a std::string through a raw cursor. Writers ask for room once per token
// (`reserve`), then store bytes without the per-call capacity and terminator bookkeeping of
// std::string::append, which dominated serialising large documents. The string is cut to the
// bytes written when the buffer is destroyed.
class TextBuffer {
 public:
  explicit TextBuffer(std::string& out) : out_(out), used_(out.size()) {}
  ~TextBuffer() { out_.resize(used_); }
  TextBuffer(const TextBuffer&) = delete;
  TextBuffer& operator=(const TextBuffer&) = delete;

  // A cursor with room for at least `bytes` bytes; hand back the end with `commit`.
  char* reserve(std::size_t bytes) {
    if (out_.size() - used_ < bytes) grow(bytes);
    return out_.data() + used_;
  }
  void commit(char* end) { used_ = static_cast<std::size_t>(end - out_.data()); }

  void put(char c) {
    char* at = reserve(1);
    *at = c;
    commit(at + 1);
  }
  void put(std::string_view text) {
    char* at = reserve(text.size());
    std::memcpy(at, text.data(), text.size());
    commit(at + text.size());
  }

 private:
  // Extends the string to its capacity first, and doubles it when that is not enough. The bytes
  // past `used_` are scratch space, so they are left uninitialised where the library allows.
  void grow(std::size_t bytes) {
    std::size_t size = out_.capacity();
    if (size - used_ < bytes) size = std::max({2 * size, used_ + bytes, std::size_t{256}});
#if defined(__cpp_lib_string_resize_and_overwrite)
    out_.resize_and_overwrite(size, [](char*, std::size_t n) { return n; });
#else
    out_.resize(size);
#endif
  }

  std::string& out_;
  std::size_t used_;
};

}  // namespace json_text
