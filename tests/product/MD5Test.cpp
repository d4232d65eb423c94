// The MD5 digest of the update check: the test suite of RFC 1321, fed whole and in uneven pieces.

#include "product/MD5Utils.h"

#include <gtest/gtest.h>

#include <string>

#include "core/StringUtils.h"

namespace corvane {
namespace {

std::u16string DigestOf(const std::string& Text, size_t Piece) {
  TMD5 Hash;
  const auto* Bytes = reinterpret_cast<const uint8_t*>(Text.data());
  for (size_t At = 0; At < Text.size(); At += Piece) Hash.Add(Bytes + At, std::min(Piece, Text.size() - At));
  return MD5DigestToStr(Hash.Finish());
}

TEST(MD5Test, DigestsOfTheReferenceSuite) {
  const std::pair<std::string, std::u16string> Cases[] = {
      {"", u"d41d8cd98f00b204e9800998ecf8427e"},
      {"a", u"0cc175b9c0f1b6a831c399e269772661"},
      {"abc", u"900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", u"f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", u"c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", u"d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       u"57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [Text, Digest] : Cases) {
    // Whole, and in pieces that cross the 64-byte blocks at every place.
    for (size_t Piece : {Text.size() + 1, size_t{1}, size_t{7}, size_t{63}}) {
      EXPECT_EQ(DigestOf(Text, Piece), Digest) << "\"" << Text << "\" in pieces of " << Piece;
    }
  }
}

}  // namespace
}  // namespace corvane
