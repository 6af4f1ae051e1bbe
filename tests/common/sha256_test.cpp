#include "common/sha256.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace common {
namespace {

struct DigestCase {
  std::string name;
  std::string message;
  std::string hex;
};

std::string all_byte_values() {
  std::string bytes;
  for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  return bytes;
}

// The FIPS 180 examples, then lengths on either side of the padding boundaries (55 bytes is the
// longest message whose length still fits its last block) and every byte value.
const std::vector<DigestCase>& digest_cases() {
  static const std::vector<DigestCase> cases = {
      {"one block", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"two blocks", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"896 bits",
       "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlm"
       "nopqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {"one million a", std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
      {"55 bytes", std::string(55, 'a'),
       "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {"56 bytes", std::string(56, 'a'),
       "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
      {"63 bytes", std::string(63, 'a'),
       "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
      {"64 bytes", std::string(64, 'a'),
       "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
      {"65 bytes", std::string(65, 'a'),
       "635361c48bb9eab14198e76ea8ab7f1a41685d6ad62aa9146d301d4f17eb0ae0"},
      {"119 bytes", std::string(119, 'a'),
       "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
      {"120 bytes", std::string(120, 'a'),
       "2f3d335432c70b580af0e8e1b3674a7c020d683aa5f73aaaedfdc55af904c21c"},
      {"every byte value", all_byte_values(),
       "40aff2e9d2d8922e47afd4648e6967497158785fbd1da870e7110266bf944880"},
  };
  return cases;
}

TEST(Sha256Test, MatchesKnownDigests) {
  for (const auto& c : digest_cases()) EXPECT_EQ(sha256_hex(c.message), c.hex) << c.name;
}

// A message fed in two pieces, split anywhere, hashes like the whole; this crosses every
// position inside a block and the block boundary itself.
TEST(Sha256Test, PiecesHashLikeTheWholeMessage) {
  const DigestCase& c = digest_cases()[3];
  for (std::size_t split = 0; split <= c.message.size(); ++split) {
    Sha256 hash;
    hash.update(std::string_view(c.message).substr(0, split));
    hash.update(std::string_view(c.message).substr(split));
    EXPECT_EQ(to_hex(hash.finish()), c.hex) << "split at " << split;
  }
}

}  // namespace
}  // namespace common
