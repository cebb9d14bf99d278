#include "base/sha256.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <algorithm>
#include <string>

namespace vespodar {

namespace {

std::string Hex(const Digest& digest) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::uint8_t byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

Digest OfText(const std::string& text) {
  Digest digest;
  Sha256Ranges({{reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}}, &digest);
  return digest;
}

Digest OpenSsl(const std::vector<std::uint8_t>& data) {
  Digest digest;
  unsigned int size = 0;
  EVP_Digest(data.data(), data.size(), digest.data(), &size, EVP_sha256(), nullptr);
  return digest;
}

std::vector<std::uint8_t> Bytes(std::size_t size) {
  std::vector<std::uint8_t> data(size);
  std::uint32_t seed = 2463534242u;
  for (std::uint8_t& byte : data) {
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    byte = static_cast<std::uint8_t>(seed);
  }
  return data;
}

// Each test runs with the plain C++ compression and, where this processor
// has them, with the SHA instructions: both must give the same digests.
class Sha256Test : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam() && !Sha256ProcessorSupport()) GTEST_SKIP() << "no SHA extensions here";
    Sha256UseProcessor(GetParam());
  }
  void TearDown() override { Sha256UseProcessor(true); }
};

INSTANTIATE_TEST_SUITE_P(Engines, Sha256Test, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "ShaInstructions" : "PlainCpp";
                         });

TEST(Sha256Engine, AskingForTheInstructionsFollowsTheProcessor) {
  Sha256State state;
  Sha256UseProcessor(false);
  Sha256Init(&state);
  const auto portable = state.compress;
  Sha256UseProcessor(true);
  Sha256Init(&state);
  EXPECT_EQ(state.compress != portable, Sha256ProcessorSupport());
}

TEST_P(Sha256Test, StandardVectors) {
  EXPECT_EQ(Hex(OfText("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(Hex(OfText("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Hex(OfText("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(Hex(OfText(std::string(1000000, 'a'))),
            "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

// Every length around the padding's edges (55, 56, 63, 64, 119, 120 bytes and
// their neighbours) against OpenSSL.
TEST_P(Sha256Test, EveryLengthUpToThreeBlocksMatchesOpenSsl) {
  const std::vector<std::uint8_t> data = Bytes(200);
  for (std::size_t size = 0; size <= data.size(); ++size) {
    const std::vector<std::uint8_t> part(data.begin(), data.begin() + size);
    Digest ours;
    Sha256Ranges({{part.data(), part.size()}}, &ours);
    EXPECT_EQ(Hex(ours), Hex(OpenSsl(part))) << size << " bytes";
  }
}

// The check feeds the covered ranges one after the other, of any sizes,
// some empty: the digest is that of the bytes joined.
TEST_P(Sha256Test, RangesInAnySplitGiveTheDigestOfTheWhole) {
  const std::vector<std::uint8_t> data = Bytes(5000);
  const std::string whole = Hex(OpenSsl(data));
  for (std::size_t first : {0, 1, 55, 63, 64, 65, 127, 1000}) {
    for (std::size_t second : {0, 1, 9, 64, 200}) {
      Digest digest;
      Sha256Ranges({{data.data(), first},
                    {data.data() + first, 0},
                    {data.data() + first, second},
                    {data.data() + first + second, data.size() - first - second}},
                   &digest);
      EXPECT_EQ(Hex(digest), whole) << first << "+" << second;
    }
  }
}

// The own-file check hashes 64 KiB at a time, many blocks per call, from
// addresses with any alignment.
TEST_P(Sha256Test, ManyBlocksPerCallFromAnyAlignment) {
  const std::vector<std::uint8_t> data = Bytes(3 * 65536 + 77);
  for (std::size_t offset : {0, 1, 3, 8, 15}) {
    const std::vector<std::uint8_t> part(data.begin() + offset, data.end());
    Sha256State state;
    Sha256Init(&state);
    for (std::size_t at = 0; at < part.size(); at += 65536)
      Sha256Update(&state, data.data() + offset + at, std::min<std::size_t>(65536, part.size() - at));
    EXPECT_EQ(Hex(Sha256Final(&state)), Hex(OpenSsl(part))) << "offset " << offset;
  }
}

}  // namespace

}  // namespace vespodar
