"""What the user must see: every box of the setup as (caption, text, buttons).

Written out here in full, independently of the setup's own sources, so that a
changed word in the setup shows up as a failing case.
"""
CAPTION_EN = "Vespodar update"
# The window class of the engine's progress window.
PROGRESS_WINDOW = "PlainWindow"
CAPTION_RU = "Обновление программы \"Весподар\""
DISPLAY_NAME = "\"Тарвелин\" версии 1"

YES_NO = {"en": ["&Yes", "&No"], "ru": ["&Да", "&Нет"]}
OK = {"en": ["OK"], "ru": ["ОК"]}  # the Russian one is Cyrillic O and K

QUESTION_CAPTION = {"en": "Sound question", "ru": "Резонный вопрос"}


def install_question(lang: str, display_name: str = DISPLAY_NAME):
    if lang == "ru":
        return (QUESTION_CAPTION["ru"],
                f"Вы действительно хотите установить\r\n{CAPTION_RU} -\r\n{display_name}?",
                YES_NO["ru"])
    return (QUESTION_CAPTION["en"],
            f"Would you like to setup\r\n{CAPTION_EN} -\r\n{display_name}?", YES_NO["en"])


def launch_question(display_name: str = DISPLAY_NAME):
    """Russian for every user, under the English caption."""
    return (CAPTION_EN,
            f"На Ваш компьютер установлено\r\n{CAPTION_RU} -\r\n{display_name}"
            "\r\n\r\nЗапустить программу?",
            YES_NO["ru"])


INSTALL_QUESTION = {lang: install_question(lang) for lang in ("en", "ru")}
LAUNCH_QUESTION = launch_question()


def downgrade_question(lang: str, target: str, installed: str, package: str):
    """Asked before a newer installed file is replaced by the older package."""
    if lang == "ru":
        return (QUESTION_CAPTION["ru"],
                f"Устанавливаемый файл {target}\r\n"
                "более старой версии, чем уже установленный.\r\n\r\n"
                "Действительно ли Вы хотите заменить уже имеющийся\r\n"
                f"файл версии {installed} на более старый версии {package}?",
                YES_NO["ru"])
    return (QUESTION_CAPTION["en"],
            f"{target} file installing is of older version\r\n"
            "than the same already installed.\r\n\r\n"
            "Do you really want to replace existing\r\n"
            f"new file version {installed} with an older file version {package}?",
            YES_NO["en"])

_ERRORS = {
    "no_rights": ("You have no right to install applications!",
                  "У Вас нет права устанавливать программы!"),
    "product_missing": ("There's no subject of update - the Vespodar installed.\r\n"
                        "Please, install the program at first.",
                        "Нет предмета обновления - установленной программы \"Весподар\".\r\n"
                        "Пожалуйста, сначала установите программу."),
    "registry": ("No access to system registry",
                 "Нет доступа к системному реестру"),
    "distorted": ("The package file has been distorted!\r\nVirus?",
                  "Файл пакета установки искажён!\r\nВирус?"),
    "unreadable": ("Failed to check up the package file!",
                   "Не удаётся проверить файл пакета установки!"),
}


def error_box(kind: str, lang: str):
    english, russian = _ERRORS[kind]
    if lang == "ru":
        return (CAPTION_RU, russian, OK["ru"])
    return (CAPTION_EN, english, OK["en"])


def language_file_error_box(path: str, lang: str):
    if lang == "ru":
        return (CAPTION_RU, "Не удаётся работать с файлом языковой поддержки " + path, OK["ru"])
    return (CAPTION_EN, "Can't handle the language support file " + path, OK["en"])


def install_error_box(target: str, lang: str):
    if lang == "ru":
        return (CAPTION_RU, "Не удается установить файл " + target, OK["ru"])
    return (CAPTION_EN, "Can't install file " + target, OK["en"])


_USAGE = ("VespodarUpdate.exe [modest [runapp]] [/quiet] [/runapp] [/log=file]\r\n"
          "modest: no questions\r\n"
          "/quiet (/S, /silent, /verysilent, /qn): no boxes\r\n"
          "runapp, /runapp: start Vespodar afterwards",
          "VespodarUpdate.exe [modest [runapp]] [/quiet] [/runapp] [/log=файл]\r\n"
          "modest: без вопросов\r\n"
          "/quiet (/S, /silent, /verysilent, /qn): без сообщений\r\n"
          "runapp, /runapp: затем запустить программу")


def usage_box(lang: str):
    """On /? (an information box) and on an unknown switch (an error box): the
    same caption, text and button."""
    if lang == "ru":
        return (CAPTION_RU, _USAGE[1], OK["ru"])
    return (CAPTION_EN, _USAGE[0], OK["en"])


# Exit codes an administrator deploying the update relies on.
EXIT_SUCCESS = 0
EXIT_NO_RIGHTS = 5
EXIT_INVALID_PARAMETER = 87
EXIT_DECLINED = 1602
EXIT_FAILURE = 1603
EXIT_PRODUCT_MISSING = 1605
EXIT_ALREADY_RUNNING = 1618
EXIT_UNREADABLE = 1619
EXIT_DISTORTED = 1620
EXIT_RESTART_REQUIRED = 3010

# The stand-in product's window class, as the foreground check reports it.
PRODUCT_WINDOW = "TVDMainForm"
