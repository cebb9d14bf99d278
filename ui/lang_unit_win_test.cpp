#include "ui/lang_unit_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "ui/lang_unit_fake_test.h"
#include "base/win32_test_support_test.h"

namespace vespodar {

namespace {

class LangUnitWinTest : public ::testing::Test {
 protected:
  std::string Put(const std::string& name, const std::string& bytes) {
    const std::string path = scratch.path + name;
    EXPECT_TRUE(WriteWholeFile(path, bytes));
    return path;
  }
  ScratchDirectory scratch{"lang-Весподар"};
};

TEST_F(LangUnitWinTest, LinesAreConvertedFromTheCodePageOfTheFilesLanguage) {
  // The same bytes mean different letters in different languages, whatever
  // the system's own code page.
  const std::string path = Put("texts.lng", "[key]\r\n\xc2\xe5\xf1\r\nplain\n");
  Win32LangFileReader reader;
  std::string line;
  ASSERT_TRUE(reader.Open(path, 0x0419));
  ASSERT_EQ(LineStatus::kLine, reader.ReadLine(&line));
  EXPECT_EQ("[key]", line);
  ASSERT_EQ(LineStatus::kLine, reader.ReadLine(&line));
  EXPECT_EQ("Вес", line);
  ASSERT_EQ(LineStatus::kLine, reader.ReadLine(&line));
  EXPECT_EQ("plain", line);
  EXPECT_EQ(LineStatus::kEnd, reader.ReadLine(&line));

  ASSERT_TRUE(reader.Open(path, 0x0409));  // again from the start
  reader.ReadLine(&line);
  reader.ReadLine(&line);
  EXPECT_EQ("Âåñ", line);
  ASSERT_TRUE(reader.Open(path, 0x0408));
  reader.ReadLine(&line);
  reader.ReadLine(&line);
  EXPECT_EQ("Βερ", line);
}

TEST_F(LangUnitWinTest, OpenFileMayBeReadButNotWrittenByOthers) {
  const std::string path = Put("held.lng", "[a]\r\nb\r\n");
  Win32LangFileReader reader;
  ASSERT_TRUE(reader.Open(path, 0x0409));
  HANDLE writer = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(INVALID_HANDLE_VALUE, writer);
  EXPECT_NE("<missing>", ReadWholeFile(path));
  reader.Close();
  std::string line;
  EXPECT_EQ(LineStatus::kError, reader.ReadLine(&line));
}

TEST_F(LangUnitWinTest, FilesThatCannotBeOpened) {
  Win32LangFileReader reader;
  std::string line;
  EXPECT_FALSE(reader.Open(scratch.path + "missing.lng", 0x0409));
  EXPECT_EQ(LineStatus::kError, reader.ReadLine(&line));
  const std::string path = Put("locked.lng", "[a]\r\nb\r\n");
  HANDLE holder = CreateFileW(Widen(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, holder);
  EXPECT_FALSE(reader.Open(path, 0x0409));
  CloseHandle(holder);
  std::string bytes;
  EXPECT_FALSE(ReadTextFileBytes(scratch.path + "missing.lng", &bytes));
  EXPECT_TRUE(ReadTextFileBytes(path, &bytes));
  EXPECT_EQ("[a]\r\nb\r\n", bytes);
}

TEST(LanguageCodePageTest, SystemAnswerWithTheTableBehindIt) {
  EXPECT_EQ(1251u, LanguageCodePage(0x0419));
  EXPECT_EQ(1252u, LanguageCodePage(0x0409));
  EXPECT_EQ(1250u, LanguageCodePage(0x0415));
  EXPECT_EQ(932u, LanguageCodePage(0x0411));
  // No such language: the table's default.
  EXPECT_EQ(1252u, LanguageCodePage(0xFFFF));
}

TEST_F(LangUnitWinTest, ProcessUnitReadsRealFilesWithFallback) {
  LangUnit& unit = ProcessLangUnit();
  EXPECT_FALSE(LangFileChosen(unit));  // as the setup leaves it

  RecordingLangErrors errors;
  const LangReading context{scratch.path, false, errors};
  ASSERT_TRUE(CreateDirectoryW(Widen(scratch.path + "language").c_str(), nullptr));
  Put("language\\english.lng", "[text]\r\nline one\r\nline two\r\n\r\n[caption]\r\nCaption\r\n");
  // Windows-1251: "[caption]", "Заголовок".
  Put("language\\chosen.lng", "[caption]\r\n\xc7\xe0\xe3\xee\xeb\xee\xe2\xee\xea\r\n");
  ConfigureLangUnit(unit, {"english.lng", "chosen.lng", "absent.lng"}, 0, 0, 1, 0x0419);
  EXPECT_EQ("Заголовок", ReadLangLine(unit, context, "caption"));
  EXPECT_EQ("line one\r\nline two", ReadLangText(unit, context, "text", false));
  EXPECT_EQ("line two", ReadDefaultLangText(unit, context, "text", true));
  EXPECT_TRUE(errors.files.empty());

  // A chosen file that is not there: the box names it without its folder.
  ConfigureLangUnit(unit, {"english.lng", "chosen.lng", "absent.lng"}, 0, 0, 2, 0x0419);
  EXPECT_EQ("", ReadLangLine(unit, context, "caption"));
  EXPECT_EQ(std::vector<std::string>{"absent.lng"}, errors.files);
  ConfigureLangUnit(unit, {}, -1, -1, -1, -1);
}

}  // namespace

}  // namespace vespodar
