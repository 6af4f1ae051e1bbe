#include "batch_watch/styled_line.h"

namespace batch_watch {
namespace {

const char* sequence(Colour colour) {
  switch (colour) {
    case Colour::None: return "";
    case Colour::Green: return "\x1b[32m";
    case Colour::Yellow: return "\x1b[33m";
    case Colour::Red: return "\x1b[31m";
    case Colour::Dim: return "\x1b[2m";
    case Colour::Bold: return "\x1b[1m";
  }
  return "";
}

bool continues_code_point(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// The longest prefix of `text` with at most `columns` code points; returns the columns used.
std::size_t prefix_within(std::string_view text, std::size_t columns, std::size_t& used) {
  std::size_t end = 0;
  used = 0;
  while (end < text.size()) {
    if (used == columns) break;
    ++end;
    while (end < text.size() && continues_code_point(text[end])) ++end;
    ++used;
  }
  return end;
}

}  // namespace

StyledLine& StyledLine::add(std::string_view text, Colour colour) {
  pieces_.push_back(Piece{std::string(text), colour});
  return *this;
}

std::string StyledLine::render(int columns, bool colour) const {
  std::string out;
  std::size_t left = columns > 0 ? static_cast<std::size_t>(columns) : 0;
  for (const Piece& piece : pieces_) {
    if (left == 0) break;
    std::size_t used = 0;
    const std::size_t bytes = prefix_within(piece.text, left, used);
    left -= used;
    const bool coloured = colour && piece.colour != Colour::None;
    if (coloured) out += sequence(piece.colour);
    out.append(piece.text, 0, bytes);
    if (coloured) out += "\x1b[0m";
  }
  return out;
}

std::string StyledLine::plain() const {
  std::string out;
  for (const Piece& piece : pieces_) out += piece.text;
  return out;
}

}  // namespace batch_watch
