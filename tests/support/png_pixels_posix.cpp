#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "support/png_pixels.h"

namespace test_support {
namespace {

std::uint32_t big_endian(const std::string& data, std::size_t at) {
  return (std::uint32_t(std::uint8_t(data[at])) << 24) |
         (std::uint32_t(std::uint8_t(data[at + 1])) << 16) |
         (std::uint32_t(std::uint8_t(data[at + 2])) << 8) | std::uint8_t(data[at + 3]);
}

int paeth(int a, int b, int c) {
  const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

}  // namespace

std::optional<Image> read_png(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (data.size() < 33 || data.compare(1, 3, "PNG") != 0) return std::nullopt;
  Image image;
  int channels = 0;
  std::string compressed;
  for (std::size_t at = 8; at + 8 <= data.size();) {
    const std::uint32_t length = big_endian(data, at);
    const std::string type = data.substr(at + 4, 4);
    if (at + 12 + length > data.size()) return std::nullopt;
    if (type == "IHDR") {
      image.width = big_endian(data, at + 8);
      image.height = big_endian(data, at + 12);
      const int depth = data[at + 16], colour = data[at + 17], interlace = data[at + 20];
      if (depth != 8 || interlace != 0 || (colour != 2 && colour != 6)) return std::nullopt;
      channels = colour == 2 ? 3 : 4;
    } else if (type == "IDAT") {
      compressed.append(data, at + 8, length);
    }
    at += 12 + length;
  }
  const std::size_t stride = std::size_t(image.width) * channels;
  std::vector<std::uint8_t> raw((stride + 1) * image.height);
  uLongf raw_size = raw.size();
  if (channels == 0 ||
      uncompress(raw.data(), &raw_size, reinterpret_cast<const Bytef*>(compressed.data()),
                 compressed.size()) != Z_OK ||
      raw_size != raw.size()) {
    return std::nullopt;
  }
  std::vector<std::uint8_t> previous(stride, 0), row(stride);
  for (std::uint32_t y = 0; y < image.height; ++y) {
    const std::uint8_t* line = &raw[y * (stride + 1)];
    for (std::size_t x = 0; x < stride; ++x) {
      const int a = x >= std::size_t(channels) ? row[x - channels] : 0;
      const int b = previous[x];
      const int c = x >= std::size_t(channels) ? previous[x - channels] : 0;
      const int predictors[] = {0, a, b, (a + b) / 2, paeth(a, b, c)};
      if (line[0] > 4) return std::nullopt;
      row[x] = std::uint8_t(line[1 + x] + predictors[line[0]]);
    }
    for (std::uint32_t x = 0; x < image.width; ++x) {
      image.pixels.push_back(Rgb{row[x * channels], row[x * channels + 1], row[x * channels + 2]});
    }
    previous = row;
  }
  return image;
}

long pixels_near(const Image& image, Rgb colour) {
  long count = 0;
  for (const auto& p : image.pixels) {
    if (std::abs(p.r - colour.r) + std::abs(p.g - colour.g) + std::abs(p.b - colour.b) <= 12) {
      ++count;
    }
  }
  return count;
}

int count_of(const std::string& text, const std::string& piece) {
  int count = 0;
  for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++count;
  return count;
}

}  // namespace test_support
