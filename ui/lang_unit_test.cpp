#include "ui/lang_unit.h"

#include <gtest/gtest.h>

#include "ui/lang_unit_fake_test.h"

namespace vespodar {

namespace {

const char kDir[] = "C:\\Vespodar\\language\\";

// Files: 0 "russian.lng" (Russian default), 1 "english.lng" (other default),
// 2 "chosen.lng".
class LangUnitTest : public ::testing::Test {
 protected:
  LangUnitTest() : defaultReader(files), chosenReader(files) {
    unit.defaultReader = &defaultReader;
    unit.chosenReader = &chosenReader;
    ConfigureLangUnit(unit, {"russian.lng", "english.lng", "chosen.lng"}, 0, 1, 2, 0x0422);
  }
  void Put(const std::string& name, const std::string& text) { files.contents[kDir + name] = text; }
  std::string ErrorFor(const std::string& name) { return name; }
  std::vector<std::string> BoxTexts() { return errors.files; }

  RecordingLangErrors errors;
  LangReading context{"C:\\Vespodar\\", false, errors};
  FakeLangFiles files;
  FakeLangFileReader defaultReader;
  FakeLangFileReader chosenReader;
  LangUnit unit;
};

TEST(TextLinesTest, EveryLineBreakAndALastLineWithoutOne) {
  const std::string bytes = "a\r\nb\nc\rd\r\n\r\n\ne";
  std::size_t position = 0;
  std::string line;
  std::vector<std::string> lines;
  while (NextTextLine(bytes, &position, &line)) lines.push_back(line);
  EXPECT_EQ((std::vector<std::string>{"a", "b", "c", "d", "", "", "e"}), lines);

  position = 0;
  lines.clear();
  while (NextTextLine("x\r\n", &position, &line)) lines.push_back(line);
  EXPECT_EQ((std::vector<std::string>{"x"}), lines);
  position = 0;
  EXPECT_FALSE(NextTextLine("", &position, &line));
}

TEST(IsLangKeyHeaderTest, MatchesTheKeyInAnyAsciiCaseOnlyInTheFirstColumn) {
  EXPECT_TRUE(IsLangKeyHeader("[soundquest]", "soundquest"));
  EXPECT_TRUE(IsLangKeyHeader("[SoundQuest]  \t", "soundquest"));
  EXPECT_TRUE(IsLangKeyHeader("[soundquest] a comment", "SOUNDQUEST"));
  EXPECT_FALSE(IsLangKeyHeader(" [soundquest]", "soundquest"));
  EXPECT_FALSE(IsLangKeyHeader("[soundquestion]", "soundquest"));
  EXPECT_FALSE(IsLangKeyHeader("[sound]", "soundquest"));
  EXPECT_FALSE(IsLangKeyHeader("soundquest]", "soundquest"));
  EXPECT_FALSE(IsLangKeyHeader("", "soundquest"));
  // Only A-Z are folded.
  EXPECT_TRUE(IsLangKeyHeader("[вопрос]", "вопрос"));
  EXPECT_FALSE(IsLangKeyHeader("[Вопрос]", "вопрос"));
}

TEST(SubstituteLangParametersTest, EachPlaceholderOnlyAfterAllLowerOnes) {
  EXPECT_EQ("a X b Y X", SubstituteLangParameters("a %1 b %2 %1", {"X", "Y"}));
  EXPECT_EQ("no %2 here", SubstituteLangParameters("no %2 here", {"X", "Y"}));
  EXPECT_EQ("1 2 %4", SubstituteLangParameters("%1 %2 %4", {"1", "2", "3", "4"}));
  EXPECT_EQ("1 2 3 4", SubstituteLangParameters("%1 %2 %3 %4", {"1", "2", "3", "4"}));
  // Each step works on the result of the one before.
  EXPECT_EQ("Y!", SubstituteLangParameters("%1!", {"%2", "Y"}));
  // The text a parameter brings in is not searched again by its own step.
  EXPECT_EQ("%1%1", SubstituteLangParameters("%1", {"%1%1"}));
  // A placeholder without a parameter stays visible.
  EXPECT_EQ("C:\\x %2", SubstituteLangParameters("%1 %2", {"C:\\x"}));
  EXPECT_EQ("%1", SubstituteLangParameters("%1", {}));
}

TEST(AnsiCodePageOfLanguageTest, ScriptsOfTheLanguages) {
  EXPECT_EQ(1251u, AnsiCodePageOfLanguage(0x0419));  // Russian
  EXPECT_EQ(1251u, AnsiCodePageOfLanguage(0x0C1A));  // Serbian, Cyrillic
  EXPECT_EQ(1250u, AnsiCodePageOfLanguage(0x081A));  // Serbian, Latin
  EXPECT_EQ(1252u, AnsiCodePageOfLanguage(0x0409));  // English
  EXPECT_EQ(1254u, AnsiCodePageOfLanguage(0x042C));  // Azeri, Latin
  EXPECT_EQ(1251u, AnsiCodePageOfLanguage(0x082C));  // Azeri, Cyrillic
  EXPECT_EQ(936u, AnsiCodePageOfLanguage(0x0804));   // Chinese, PRC
  EXPECT_EQ(950u, AnsiCodePageOfLanguage(0x0404));   // Chinese, Taiwan
  EXPECT_EQ(1252u, AnsiCodePageOfLanguage(0xFFFF));  // no such language
}

TEST_F(LangUnitTest, NothingIsChosenUntilConfigured) {
  LangUnit fresh;
  fresh.chosenReader = &chosenReader;
  EXPECT_FALSE(LangFileChosen(fresh));
  EXPECT_TRUE(LangFileChosen(unit));
  ConfigureLangUnit(unit, {"a.lng"}, -1, -1, 1, -1);
  EXPECT_FALSE(LangFileChosen(unit));
  ConfigureLangUnit(unit, {"a.lng"}, -1, -1, 0, -1);
  EXPECT_TRUE(LangFileChosen(unit));
  EXPECT_EQ(0xFFFF, ChosenBoxLanguage(unit));
}

TEST_F(LangUnitTest, OneLineValueIsTheLineAfterTheHeaderAsStored) {
  Put("chosen.lng", "[other]\r\nx\r\n[Caption]   \r\n  Sound question  \r\nmore\r\n");
  unit.continuationPending = false;
  EXPECT_EQ("  Sound question  ", ReadLangLine(unit, context, "caption"));
  // The first header wins.
  Put("chosen.lng", "[caption]\r\nfirst\r\n[caption]\r\nsecond\r\n");
  EXPECT_EQ("first", ReadLangLine(unit, context, "caption"));
  EXPECT_TRUE(errors.files.empty());
  // The chosen file, in its own language, every time from its start.
  EXPECT_EQ((std::vector<std::string>{std::string(kDir) + "chosen.lng@1058",
                                      std::string(kDir) + "chosen.lng@1058"}),
            files.opened);
}

TEST_F(LangUnitTest, MultiLineValueEndsAtABlankLine) {
  Put("chosen.lng", "[text]\r\nfirst line\r\n second line \r\n \t \r\nthird line\r\n");
  EXPECT_EQ("first line\r\n second line ", ReadLangText(unit, context, "text", false));
  EXPECT_EQ(" second line ", ReadLangText(unit, context, "text", true));
  // The end of the file ends it too; a header right after the value is part
  // of it.
  Put("chosen.lng", "[text]\r\na\r\n[next]\r\nb");
  EXPECT_EQ("a\r\n[next]\r\nb", ReadLangText(unit, context, "text", false));
  // A blank first line does not end the value (in the chosen file it would
  // fall back to the default file, so the default file shows it).
  Put("english.lng", "[text]\r\n\r\nb\r\n");
  EXPECT_EQ("\r\nb", ReadDefaultLangText(unit, context, "text", false));
  EXPECT_TRUE(errors.files.empty());
}

TEST_F(LangUnitTest, AHeaderOnTheLastLineHasAnEmptyValue) {
  Put("chosen.lng", "[text]\r\nvalue\r\n[last]");
  Put("english.lng", "[last]\r\n");
  EXPECT_EQ("", ReadLangText(unit, context, "last", false));
  EXPECT_EQ("", ReadLangLine(unit, context, "last"));
  EXPECT_TRUE(errors.files.empty());
}

TEST_F(LangUnitTest, AKeyMissingInTheChosenFileComesFromTheUiLanguagesDefault) {
  Put("chosen.lng", "[other]\r\nx\r\n");
  Put("english.lng", "[text]\r\nEnglish one\r\nEnglish two\r\n\r\n");
  Put("russian.lng", "[text]\r\nРусский один\r\nРусский два\r\n\r\n");
  EXPECT_EQ("English one\r\nEnglish two", ReadLangText(unit, context, "text", false));
  // skipFirst is not applied to a text from the default file.
  EXPECT_EQ("English one\r\nEnglish two", ReadLangText(unit, context, "text", true));
  context.russianUi = true;
  EXPECT_EQ("Русский один\r\nРусский два", ReadLangText(unit, context, "text", false));
  EXPECT_EQ(std::string(kDir) + "english.lng@1033", files.opened.at(1));
  EXPECT_EQ(std::string(kDir) + "russian.lng@1049", files.opened.back());
  // The multi-line read closes the default file again.
  EXPECT_FALSE(defaultReader.IsOpen());
  // An empty value line in the chosen file counts as a missing key.
  Put("chosen.lng", "[text]\r\n\r\nnot read\r\n");
  EXPECT_EQ("Русский один", ReadLangLine(unit, context, "text"));
  EXPECT_TRUE(errors.files.empty());
}

TEST_F(LangUnitTest, AOneLineFallbackWhileAContinuationIsPendingReadsTheWholeValue) {
  Put("chosen.lng", "[found]\r\nchosen\r\n");
  Put("english.lng", "[text]\r\none\r\ntwo\r\n");
  // At start the continuation is pending.
  EXPECT_EQ("one\r\ntwo", ReadLangLine(unit, context, "text"));
  // Once a one-line fallback has cleared it, one line.
  EXPECT_EQ("one", ReadLangLine(unit, context, "text"));
  // A multi-line read that found its key in the chosen file leaves it set.
  EXPECT_EQ("chosen", ReadLangText(unit, context, "found", false));
  EXPECT_EQ("one\r\ntwo", ReadLangLine(unit, context, "text"));
}

TEST_F(LangUnitTest, DefaultLineInsideAMultiLineReadLeavesTheFileOpenAtTheValue) {
  Put("english.lng", "[text]\r\none\r\ntwo\r\n");
  unit.continuationPending = true;
  EXPECT_EQ("one", ReadDefaultLangLine(unit, context, "text"));
  EXPECT_FALSE(unit.continuationPending);
  ASSERT_TRUE(defaultReader.IsOpen());
  std::string next;
  EXPECT_EQ(LineStatus::kLine, defaultReader.ReadLine(&next));
  EXPECT_EQ("two", next);
  // A one-line read of its own closes the file.
  EXPECT_EQ("one", ReadDefaultLangLine(unit, context, "text"));
  EXPECT_FALSE(defaultReader.IsOpen());
}

TEST_F(LangUnitTest, MissingKeyEverywhereIsEmptyWithoutAWord) {
  Put("chosen.lng", "[a]\r\nx\r\n");
  Put("english.lng", "[b]\r\ny\r\n");
  EXPECT_EQ("", ReadLangText(unit, context, "text", false));
  EXPECT_EQ("", ReadLangLine(unit, context, "text"));
  EXPECT_EQ("", ReadDefaultLangText(unit, context, "text", false));
  EXPECT_TRUE(errors.files.empty());
}

TEST_F(LangUnitTest, ChosenFileThatCannotBeOpenedIsReportedTwiceByAMultiLineRead) {
  Put("english.lng", "[text]\r\nfallback\r\n");
  // Not on disk at all: no fallback either.
  EXPECT_EQ("", ReadLangLine(unit, context, "text"));
  EXPECT_EQ((std::vector<std::string>{ErrorFor("chosen.lng")}), BoxTexts());
  errors.files.clear();
  EXPECT_EQ("\r\n", ReadLangText(unit, context, "text", false));
  EXPECT_EQ((std::vector<std::string>{ErrorFor("chosen.lng"), ErrorFor("chosen.lng")}), BoxTexts());
  errors.files.clear();
  EXPECT_EQ("", ReadLangText(unit, context, "text", true));
  EXPECT_EQ(2u, errors.files.size());
  // The box names the file without its folder, in the user's language.
  context.russianUi = true;
  errors.files.clear();
  ReadLangLine(unit, context, "text");
  ASSERT_EQ(1u, errors.files.size());
  EXPECT_EQ("chosen.lng", errors.files[0]);
}

TEST_F(LangUnitTest, DefaultFileThatCannotBeOpenedIsReportedTwiceByAMultiLineRead) {
  Put("english.lng", "[text]\r\nx\r\n");
  files.unopenable.insert(std::string(kDir) + "english.lng");
  EXPECT_EQ("\r\n", ReadDefaultLangText(unit, context, "text", false));
  EXPECT_EQ((std::vector<std::string>{ErrorFor("english.lng"), ErrorFor("english.lng")}), BoxTexts());
  // The one-line read keeps the pending continuation after its failure.
  EXPECT_TRUE(unit.continuationPending);
  errors.files.clear();
  unit.continuationPending = false;
  EXPECT_EQ("", ReadDefaultLangLine(unit, context, "text"));
  EXPECT_EQ(1u, errors.files.size());
}

TEST_F(LangUnitTest, FallbackThatFailsGoesOnInTheChosenFile) {
  // The chosen value line is empty and the default file is missing: the
  // continuation is still pending, so the rest of the chosen value is read.
  Put("chosen.lng", "[text]\r\n\r\nsecond\r\n\r\n");
  EXPECT_EQ("\r\n\r\nsecond", ReadLangText(unit, context, "text", false));
  EXPECT_EQ((std::vector<std::string>{ErrorFor("english.lng"), ErrorFor("english.lng")}), BoxTexts());
}

TEST_F(LangUnitTest, ReadFailureInTheContinuationReturnsWhatWasGathered) {
  Put("chosen.lng", "[text]\r\none\r\ntwo\r\nthree\r\n");
  files.failAfterLines[std::string(kDir) + "chosen.lng"] = 3;
  // The text so far keeps its last line break: the read stopped mid-value.
  EXPECT_EQ("one\r\ntwo\r\n", ReadLangText(unit, context, "text", false));
  EXPECT_EQ((std::vector<std::string>{ErrorFor("chosen.lng")}), BoxTexts());

  errors.files.clear();
  Put("english.lng", "[text]\r\nuno\r\ndos\r\n");
  files.failAfterLines[std::string(kDir) + "english.lng"] = 2;
  EXPECT_EQ("uno\r\n", ReadDefaultLangText(unit, context, "text", false));
  EXPECT_EQ((std::vector<std::string>{ErrorFor("english.lng")}), BoxTexts());
}

TEST_F(LangUnitTest, DefaultIndexesOutsideTheListReadAsNoFile) {
  Put("chosen.lng", "[a]\r\nx\r\n");
  for (const std::int32_t index : {-1, 3, 1000}) {
    SCOPED_TRACE(index);
    ConfigureLangUnit(unit, {"russian.lng", "english.lng", "chosen.lng"}, index, index, 2, 0x0409);
    EXPECT_EQ("", ReadLangText(unit, context, "text", false));
    EXPECT_EQ("", ReadLangLine(unit, context, "text"));
    EXPECT_EQ("", ReadDefaultLangText(unit, context, "text", true));
    EXPECT_EQ("", ReadDefaultLangLine(unit, context, "text"));
  }
  EXPECT_TRUE(errors.files.empty());
  // Only the chosen file was ever opened.
  for (const auto& opened : files.opened) EXPECT_NE(std::string::npos, opened.find("chosen.lng"));
}

TEST_F(LangUnitTest, GetLangTextSubstitutesTheParameters) {
  Put("chosen.lng",
      "[olderfilever]\r\nThe file %1\r\nis older (%2).\r\n\r\n[only2]\r\nkeeps %2\r\n");
  EXPECT_EQ("The file C:\\V\\a.pak\r\nis older (7).",
            GetLangText(unit, context, "olderfilever", {"C:\\V\\a.pak", "7"}, false));
  // Without its first line the text holds no "%1", so "%2" stays too.
  EXPECT_EQ("is older (%2).",
            GetLangText(unit, context, "olderfilever", {"C:\\V\\a.pak", "7"}, true));
  EXPECT_EQ("keeps %2", GetLangText(unit, context, "only2", {"a", "b"}, false));
}

}  // namespace

}  // namespace vespodar
