#include "ui/messages.h"

#include "base/product_identity.h"

namespace vespodar {

namespace {

const char kEnglishQuestionCaption[] = "Sound question";
const char kRussianQuestionCaption[] = "Резонный вопрос";

}  // namespace

Answer AnswerOf(int boxResult) {
  if (boxResult <= 0) return Answer::kNotShown;
  return boxResult == kAnswerYes ? Answer::kYes : Answer::kNo;
}

MessageBoxSpec ErrorBox(const UserLanguage& language, const BilingualText& text) {
  if (language.russianUi)
    return {language.productCaptionRu, text.russian, kErrorBoxStyle, kRussianBoxLanguage};
  return {language.productCaptionEn, text.english, kErrorBoxStyle, 0};
}

MessageBoxSpec QuestionBox(const UserLanguage& language, const BilingualText& text) {
  if (language.russianUi)
    return {kRussianQuestionCaption, text.russian, kQuestionBoxStyle, kRussianBoxLanguage};
  return {kEnglishQuestionCaption, text.english, kQuestionBoxStyle, 0};
}

int ShowBilingualError(const UserLanguage& language, MessageShower& shower,
                       const BilingualText& text) {
  return shower.ShowMessageBox(ErrorBox(language, text));
}

BilingualText NoRightsText() {
  return {"You have no right to install applications!",
          "У Вас нет права устанавливать программы!"};
}

BilingualText ProductMissingText() {
  return {"There's no subject of update - the " VESPODAR_PRODUCT_NAME " installed.\r\n"
          "Please, install the program at first.",
          "Нет предмета обновления - установленной программы \"" VESPODAR_PRODUCT_NAME_RU "\".\r\n"
          "Пожалуйста, сначала установите программу."};
}

BilingualText RegistryErrorText() {
  return {"No access to system registry", "Нет доступа к системному реестру"};
}

BilingualText InstallFailedText(const std::string& target) {
  return {"Can't install file " + target, "Не удается установить файл " + target};
}

BilingualText LangFileErrorText(const std::string& file) {
  return {"Can't handle the language support file " + file,
          "Не удаётся работать с файлом языковой поддержки " + file};
}

BilingualText InstallQuestionText(const UserLanguage& language,
                                  const std::string& packageDisplayName) {
  return {"Would you like to setup\r\n" + language.productCaptionEn + " -\r\n" +
              packageDisplayName + "?",
          "Вы действительно хотите установить\r\n" + language.productCaptionRu + " -\r\n" +
              packageDisplayName + "?"};
}

BilingualText DowngradeQuestionText(const std::string& target,
                                    const std::string& installedVersion,
                                    const std::string& packageVersion) {
  return {target + " file installing is of older version\r\n"
                   "than the same already installed.\r\n\r\n"
                   "Do you really want to replace existing\r\n"
                   "new file version " +
              installedVersion + " with an older file version " + packageVersion + "?",
          "Устанавливаемый файл " + target +
              "\r\n"
              "более старой версии, чем уже установленный.\r\n\r\n"
              "Действительно ли Вы хотите заменить уже имеющийся\r\n"
              "файл версии " +
              installedVersion + " на более старый версии " + packageVersion + "?"};
}

MessageBoxSpec LaunchQuestionBox(const UserLanguage& language,
                                 const std::string& packageDisplayName) {
  return {language.productCaptionEn,
          "На Ваш компьютер установлено\r\n" + language.productCaptionRu + " -\r\n" +
              packageDisplayName + "\r\n\r\nЗапустить программу?",
          kQuestionBoxStyle, kRussianBoxLanguage};
}

BilingualText OwnFileUnreadableText() {
  return {"Failed to check up the package file!",
          "Не удаётся проверить файл пакета установки!"};
}

BilingualText OwnFileDistortedText() {
  return {"The package file has been distorted!\r\nVirus?",
          "Файл пакета установки искажён!\r\nВирус?"};
}

BilingualText UsageText() {
  return {"VespodarUpdate.exe [modest [runapp]] [/quiet] [/runapp] [/log=file]\r\n"
          "modest: no questions\r\n"
          "/quiet (/S, /silent, /verysilent, /qn): no boxes\r\n"
          "runapp, /runapp: start " VESPODAR_PRODUCT_NAME " afterwards",
          "VespodarUpdate.exe [modest [runapp]] [/quiet] [/runapp] [/log=файл]\r\n"
          "modest: без вопросов\r\n"
          "/quiet (/S, /silent, /verysilent, /qn): без сообщений\r\n"
          "runapp, /runapp: затем запустить программу"};
}

}  // namespace vespodar
