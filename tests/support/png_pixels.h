#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
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

}  // namespace test_support
