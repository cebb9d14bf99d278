#include "guard/version_probes.h"

#include <gtest/gtest.h>

#include <climits>

namespace vespodar {

namespace {

TEST(TryParseInt32Test, AcceptsTheNumberFormsOfVersionTexts) {
  const struct {
    const char* text;
    std::int32_t value;
  } cases[] = {
      {"0", 0},
      {"007", 7},
      {"  42", 42},
      {"+5", 5},
      {"-5", -5},
      {" -12", -12},
      {"2147483647", INT_MAX},
      {"-2147483648", INT_MIN},
      {"$1F", 31},
      {"x10", 16},
      {"0x10", 16},
      {"0XfF", 255},
      {"-$10", -16},
      // Eight hexadecimal digits are the 32-bit pattern.
      {"$FFFFFFFF", -1},
      {"$80000000", INT_MIN},
      {"0x00000000000000001", 1},
      {"-$FFFFFFFF", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto parsed = TryParseInt32(c.text);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(c.value, *parsed);
  }
}

TEST(TryParseInt32Test, RejectsEverythingElse) {
  const char* const cases[] = {
      "",            // nothing
      "   ",         // blanks only
      "-",           // a sign alone
      "+-1",         // two signs
      "- 1",         // a blank after the sign
      "12 ",         // anything after the number, even a blank
      "12\r",        //
      "1.5",         //
      "\t12",        // only spaces lead
      "$",           // a prefix without digits
      "0x",          //
      "x",           //
      "$-1",         // the sign goes first
      "0x1G",        // not a hexadecimal digit
      "12a",         // a hexadecimal digit in a decimal number
      "2147483648",  // past the signed range
      "-2147483649",
      "99999999999999999999",
      "$100000000",  // past 32 bits
      "0b101",
  };
  for (const char* text : cases) EXPECT_FALSE(TryParseInt32(text).has_value()) << "[" << text << "]";
  EXPECT_FALSE(TryParseInt32(std::string("12\0", 3)).has_value());
}

TEST(DecodeVersionFieldTest, LittleEndianFieldsAndShortReads) {
  EXPECT_EQ(258, DecodeVersionField(kPakVersionField, "\x02\x01"));
  EXPECT_EQ(1, DecodeVersionField(kCokVersionField, std::string("\x01\x00", 2)));
  EXPECT_EQ(7, DecodeVersionField(k3bsVersionField, "\x07"));
  // Unsigned: the top bit does not make it negative.
  EXPECT_EQ(65535, DecodeVersionField(kPakVersionField, "\xff\xff"));
  EXPECT_EQ(255, DecodeVersionField(k3bsVersionField, "\xff"));
  // A file that ends inside the field has no version.
  EXPECT_EQ(0, DecodeVersionField(kPakVersionField, "\x02"));
  EXPECT_EQ(0, DecodeVersionField(k3bsVersionField, ""));
}

TEST(LngVersionFromTextTest, TheLineAfterTheHeader) {
  EXPECT_EQ(12, LngVersionFromText("[main]\r\nhello\r\n[langver]\r\n12\r\n[other]\r\n3\r\n"));
  // Any letter case, blanks and text after the bracket.
  EXPECT_EQ(5, LngVersionFromText("[LANGVER]   \r\n5\r\nlast"));
  EXPECT_EQ(5, LngVersionFromText("[LangVer] the file's version\n5\n"));
  // The first header wins.
  EXPECT_EQ(1, LngVersionFromText("[langver]\r\n1\r\n[langver]\r\n2\r\n"));
  // The value line is read as stored: a leading blank is allowed, a trailing
  // one is not.
  EXPECT_EQ(9, LngVersionFromText("[langver]\r\n 9"));
  EXPECT_FALSE(LngVersionFromText("[langver]\r\n9 \r\n").has_value());
  EXPECT_EQ(-3, LngVersionFromText("[langver]\r-3\r"));
}

TEST(LngVersionFromTextTest, WithoutAHeaderTheLastLineDecides) {
  EXPECT_EQ(31, LngVersionFromText("[main]\r\ntext\r\n31\r\n"));
  EXPECT_EQ(31, LngVersionFromText("31"));
  // An indented header is no header; the last line is then no number.
  EXPECT_FALSE(LngVersionFromText(" [langver]\r\n4\r\ntext\r\n").has_value());
  EXPECT_EQ(4, LngVersionFromText(" [langver]\r\n4\r\n"));
  // A longer name is another key.
  EXPECT_FALSE(LngVersionFromText("[langversion]\r\n4\r\nend").has_value());
}

TEST(LngVersionFromTextTest, NoValueIsNoVersion) {
  EXPECT_FALSE(LngVersionFromText("").has_value());
  EXPECT_FALSE(LngVersionFromText("[langver]").has_value());
  EXPECT_FALSE(LngVersionFromText("[langver]\r\n").has_value());
  EXPECT_FALSE(LngVersionFromText("[langver]\r\n\r\n5\r\n").has_value());
  EXPECT_FALSE(LngVersionFromText("[langver]\r\nv5\r\n").has_value());
}

TEST(FileVersionQueryTest, LanguageAndCodePageInLowerCaseHex) {
  EXPECT_EQ("\\StringFileInfo\\041904e3\\FileVersion", FileVersionQuery(0x0419, 1251));
  EXPECT_EQ("\\StringFileInfo\\040904b0\\FileVersion", FileVersionQuery(0x0409, 1200));
  EXPECT_EQ("\\StringFileInfo\\00000000\\FileVersion", FileVersionQuery(0, 0));
  EXPECT_EQ("\\StringFileInfo\\ffffabcd\\FileVersion", FileVersionQuery(0xFFFF, 0xABCD));
}

TEST(IsOlderVersionTest, ComparesComponentsMostSignificantFirst) {
  const struct {
    const char* candidate;
    const char* installed;
    bool older;
  } cases[] = {
      {"1.0.0.5", "1.0.0.7", true},
      {"1.2.0.0", "1.1.9.9", false},
      {"1.2.3.4", "1.2.3.4", false},
      {"1.9.0.0", "1.10.0.0", true},  // numbers, not text
      {"2.0.0.0", "10.0.0.0", true},
      {"1.0.0.0", "0.9.9.9", false},
      {"-1.0.0.0", "0.0.0.0", true},  // signed components
      {"1.0.0.$A", "1.0.0.9", false},
      // Fewer components: each side keeps its last one where it has no dot.
      {"1.2.3", "1.2.4", true},
      {"1.2.4", "1.2.3", false},
      {"1.2", "1.3", true},
      {"5", "6", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.candidate) + " vs " + c.installed);
    EXPECT_EQ(c.older, IsOlderVersion(c.candidate, c.installed));
  }
}

TEST(IsOlderVersionTest, TextsThatAreNoNumbersDecideAgainstTheirSide) {
  const struct {
    const char* candidate;
    const char* installed;
    bool older;
  } cases[] = {
      {"1.0.0.beta", "1.0.0.1", true},
      {"1.0.0.1", "1.0.0.beta", false},
      {"a.0.0.0", "1.0.0.0", true},
      {"1.0.0.0", "a.0.0.0", false},
      {"a.0.0.0", "b.0.0.0", false},  // the installed side fails first
      // Past four components the candidate's rest is no number.
      {"1.2.3.4.5", "1.2.3.4", true},
      {"1.2.3.4", "1.2.3.4.5", false},
      // A difference in an earlier component decides before the bad part.
      {"2.x.0.0", "1.0.0.0", false},
      {"1.0.0.0", "2.x.0.0", true},
      // A component with blanks after it is no number.
      {"1 .0.0.0", "1.0.0.0", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.candidate) + " vs " + c.installed);
    EXPECT_EQ(c.older, IsOlderVersion(c.candidate, c.installed));
  }
}

TEST(IsOlderVersionTest, ASideWithoutUsableDotsStartsAtZero) {
  // Commas instead of dots: no component is taken, both stay 0 through the
  // passes, and the whole remaining text is no number.
  EXPECT_TRUE(IsOlderVersion("1,0,0,1", "1.0.0.1"));
  EXPECT_FALSE(IsOlderVersion("1.0.0.1", "1,0,0,1"));
  // An empty installed text: the candidate's 1 is greater than 0 in the
  // first pass.
  EXPECT_FALSE(IsOlderVersion("1.0.0.0", ""));
  // An empty candidate against 1.x: 1 > 0.
  EXPECT_TRUE(IsOlderVersion("", "1.0.0.0"));
  // Against a leading zero component the passes run through to the rest.
  EXPECT_TRUE(IsOlderVersion("", "0.0.0.0"));
  EXPECT_FALSE(IsOlderVersion("", ""));
  // A dot in front is not taken as a separator: ".5" stays whole and is no
  // number.
  EXPECT_TRUE(IsOlderVersion(".5", "0"));
  EXPECT_FALSE(IsOlderVersion("0", ".5"));
}

}  // namespace

}  // namespace vespodar
