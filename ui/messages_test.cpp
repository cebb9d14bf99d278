#include "ui/messages.h"

#include <gtest/gtest.h>

namespace vespodar {

namespace {

const char kDisplayName[] = "\"Тарвелин\" версии 1";

UserLanguage Context(bool russian) {
  return {russian, "Vespodar update", "Обновление программы \"Весподар\""};
}

TEST(MessagesTest, ErrorAndQuestionBoxesFollowTheUserLanguage) {
  const BilingualText text{"english", "русский"};
  EXPECT_EQ((MessageBoxSpec{"Vespodar update", "english", 0x00200010, 0}),
            ErrorBox(Context(false), text));
  EXPECT_EQ((MessageBoxSpec{"Обновление программы \"Весподар\"", "русский", 0x00200010, 0x19}),
            ErrorBox(Context(true), text));
  EXPECT_EQ((MessageBoxSpec{"Sound question", "english", 0x00042024, 0}),
            QuestionBox(Context(false), text));
  EXPECT_EQ((MessageBoxSpec{"Резонный вопрос", "русский", 0x00042024, 0x19}),
            QuestionBox(Context(true), text));
}

TEST(MessagesTest, ComposedTextsCarryTheirPartsVerbatim) {
  const UserLanguage context = Context(false);
  const BilingualText install = InstallQuestionText(context, kDisplayName);
  EXPECT_EQ("Would you like to setup\r\nVespodar update -\r\n\"Тарвелин\" версии 1?", install.english);
  EXPECT_EQ(
      "Вы действительно хотите установить\r\nОбновление программы \"Весподар\" -\r\n\"Тарвелин\" "
      "версии 1?",
      install.russian);

  // The launch question is Russian for everybody, under the English caption.
  for (bool russian : {false, true}) {
    const MessageBoxSpec launch = LaunchQuestionBox(Context(russian), kDisplayName);
    EXPECT_EQ("Vespodar update", launch.caption);
    EXPECT_EQ(0x19, launch.language);
    EXPECT_EQ(0x00042024u, launch.style);
    EXPECT_EQ(
        "На Ваш компьютер установлено\r\nОбновление программы \"Весподар\" -\r\n\"Тарвелин\" "
        "версии 1\r\n\r\nЗапустить программу?",
        launch.text);
  }

  const std::string path = " C:\\Игры\\ vdq2.cok ";
  EXPECT_EQ("Can't install file " + path, InstallFailedText(path).english);
  EXPECT_EQ("Не удается установить файл " + path, InstallFailedText(path).russian);
  EXPECT_EQ("Не удаётся работать с файлом языковой поддержки ru.lng",
            LangFileErrorText("ru.lng").russian);

  const BilingualText downgrade = DowngradeQuestionText("C:\\V\\a.pak", "7", "5");
  EXPECT_EQ(
      "C:\\V\\a.pak file installing is of older version\r\nthan the same already installed.\r\n\r\n"
      "Do you really want to replace existing\r\nnew file version 7 with an older file version 5?",
      downgrade.english);
  EXPECT_EQ(
      "Устанавливаемый файл C:\\V\\a.pak\r\nболее старой версии, чем уже установленный.\r\n\r\n"
      "Действительно ли Вы хотите заменить уже имеющийся\r\nфайл версии 7 на более старый версии 5?",
      downgrade.russian);
}

}  // namespace

}  // namespace vespodar
