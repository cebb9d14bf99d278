#include "ui/messages.h"

#include "setup/setup_context.h"

namespace {

const char kEnglishQuestionCaption[] = "Sound question";
const char kRussianQuestionCaption[] = "Резонный вопрос";

}  // namespace

MessageBoxSpec ErrorBox(const SetupContext& context, const BilingualText& text) {
  if (context.russianUi)
    return {context.productCaptionRu, text.russian, kErrorBoxStyle, kRussianBoxLanguage};
  return {context.productCaptionEn, text.english, kErrorBoxStyle, 0};
}

MessageBoxSpec QuestionBox(const SetupContext& context, const BilingualText& text) {
  if (context.russianUi)
    return {kRussianQuestionCaption, text.russian, kQuestionBoxStyle, kRussianBoxLanguage};
  return {kEnglishQuestionCaption, text.english, kQuestionBoxStyle, 0};
}

void ShowBilingualError(const SetupContext& context, MessageShower& shower,
                        const BilingualText& text) {
  shower.ShowMessageBox(ErrorBox(context, text));
}

bool AskBilingualQuestion(const SetupContext& context, MessageShower& shower,
                          const BilingualText& text) {
  return shower.ShowMessageBox(QuestionBox(context, text)) == kAnswerYes;
}

BilingualText NoRightsText() {
  return {"You have no right to install applications!",
          "У Вас нет права устанавливать программы!"};
}

BilingualText ProductMissingText() {
  return {"There's no subject of update - the Vespodar installed.\r\n"
          "Please, install the program at first.",
          "Нет предмета обновления - установленной программы \"Весподар\".\r\n"
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

BilingualText InstallQuestionText(const SetupContext& context) {
  return {"Would you like to setup\r\n" + context.productCaptionEn + " -\r\n" +
              context.packageDisplayName + "?",
          "Вы действительно хотите установить\r\n" + context.productCaptionRu + " -\r\n" +
              context.packageDisplayName + "?"};
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

MessageBoxSpec LaunchQuestionBox(const SetupContext& context) {
  return {context.productCaptionEn,
          "На Ваш компьютер установлено\r\n" + context.productCaptionRu + " -\r\n" +
              context.packageDisplayName + "\r\n\r\nЗапустить программу?",
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
