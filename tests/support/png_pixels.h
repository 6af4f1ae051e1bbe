#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace test_support {

struct Rgb {
  std::uint8_t r, g, b;
};

struct Image {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<Rgb> pixels;  // row by row
};

// Decodes an 8-bit, non-interlaced RGB or RGBA PNG (what a headless browser's screenshot is);
// nothing for anything else or a damaged file.
std::optional<Image> read_png(const std::filesystem::path& path);

// Pixels within a small distance of a colour (anti-aliased edges aside).
long pixels_near(const Image& image, Rgb colour);

// How often `piece` occurs in a page's text (the DOM a browser dumped), overlaps included.
int count_of(const std::string& text, const std::string& piece);

}  // namespace test_support
