#ifndef VESPODAR_UI_MESSAGES_H_
#define VESPODAR_UI_MESSAGES_H_

#include <cstdint>
#include <string>

namespace vespodar {

// Message box type flags, as Win32 names them.
constexpr std::uint32_t kErrorBoxStyle = 0x00200010;     // MB_OK | MB_ICONHAND | MB_SERVICE_NOTIFICATION
// The usage box on /?: MB_OK | MB_ICONINFORMATION | MB_SERVICE_NOTIFICATION.
constexpr std::uint32_t kInformationBoxStyle = 0x00200040;
constexpr std::uint32_t kQuestionBoxStyle = 0x00042024;  // MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL | MB_TOPMOST
// LANG_RUSSIAN with SUBLANG_NEUTRAL: the language of every Russian box.
constexpr std::uint16_t kRussianBoxLanguage = 0x0019;
constexpr int kAnswerYes = 6;  // IDYES

// What became of a question: a box that could not be shown (no desktop, no
// memory) is nobody's answer, so it must not pass for a No; nor is a question
// that nobody was there to answer (an unattended run, a window station nobody
// sees).
enum class Answer { kYes, kNo, kUnanswered, kNotShown };
// The answer of a box's result: 0 when it could not be shown (Wine gives -1).
Answer AnswerOf(int boxResult);

// One message box, fully decided: what the user will read and click. A
// language of 0 means a box shown without a language identifier.
struct MessageBoxSpec {
  std::string caption;
  std::string text;
  std::uint32_t style = 0;
  std::uint16_t language = 0;
};

inline bool operator==(const MessageBoxSpec& a, const MessageBoxSpec& b) {
  return a.caption == b.caption && a.text == b.text && a.style == b.style &&
         a.language == b.language;
}

// Shows a box and returns the button the user pressed (0 when the box could
// not be shown). The Win32 build shows real boxes; tests record them.
class MessageShower {
 public:
  virtual ~MessageShower() = default;
  virtual int ShowMessageBox(const MessageBoxSpec& box) = 0;
};

// Whom the boxes speak to: the user's language, and the setup's captions in
// both languages (the title of every error box).
struct UserLanguage {
  bool russianUi = false;
  std::string productCaptionEn;
  std::string productCaptionRu;
};

// An English and a Russian text of one catalog entry.
struct BilingualText {
  std::string english;
  std::string russian;
};

// The error box for a catalog text, in the user's language.
MessageBoxSpec ErrorBox(const UserLanguage& language, const BilingualText& text);
// The Yes/No question box for a catalog text, in the user's language.
MessageBoxSpec QuestionBox(const UserLanguage& language, const BilingualText& text);

// Shows the error box of a catalog text; the answer is the shower's (0 when
// the box could not be shown).
int ShowBilingualError(const UserLanguage& language, MessageShower& shower,
                       const BilingualText& text);

// The catalog: every text the setup shows, by entry.
BilingualText NoRightsText();                                  // entry 1
BilingualText ProductMissingText();                            // entry 2
BilingualText RegistryErrorText();                             // entry 3
BilingualText InstallFailedText(const std::string& target);    // entry 4
BilingualText LangFileErrorText(const std::string& file);      // entry 5
BilingualText InstallQuestionText(const UserLanguage& language,  // entry 6
                                  const std::string& packageDisplayName);
BilingualText DowngradeQuestionText(const std::string& target,   // entry 7
                                    const std::string& installedVersion,
                                    const std::string& packageVersion);
// Entry 8: Russian for every user, under the English caption.
MessageBoxSpec LaunchQuestionBox(const UserLanguage& language,
                                 const std::string& packageDisplayName);
BilingualText OwnFileUnreadableText();
BilingualText OwnFileDistortedText();
// The command line's switches: on /?, and with an unknown switch.
BilingualText UsageText();

}  // namespace vespodar

#endif  // VESPODAR_UI_MESSAGES_H_
