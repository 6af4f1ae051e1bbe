#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace batch_watch {

enum class Colour { None, Green, Yellow, Red, Dim, Bold };

// One line of the live view built from pieces that may be coloured. It is cut to a number of
// columns before the colour sequences go in, so a line never wraps and the redraw can count
// lines; characters are counted as code points (wide characters are rare in model names).
class StyledLine {
 public:
  StyledLine& add(std::string_view text, Colour colour = Colour::None);
  std::string render(int columns, bool colour) const;
  std::string plain() const;

 private:
  struct Piece {
    std::string text;
    Colour colour;
  };
  std::vector<Piece> pieces_;
};

}  // namespace batch_watch
