// A scripted user for the end-to-end tests: starts a program, reads every
// message box that program shows and answers it from a script.
//
//   scripted_user.exe [--answers yes,no,...] [--log BOXES.jsonl] [--result RESULT.json]
//                     [--timeout SECONDS] [--cwd DIR] [--settle MS] [--look MS]
//                     [--shots DIR] [--watch CLASS --watch-log WATCHED.jsonl]
//                     -- PROGRAM [ARG...]
//
// Each box (a visible top-level "#32770" window of the started process whose
// static text 0xFFFF is set) becomes one JSON line in the log: its caption, its
// text, the labels of its buttons in z-order, the answer given and whether the
// script had one. Answers: yes, no, ok, cancel, close (WM_CLOSE). A box beyond
// the script, or one without the scripted button, is answered No, else Cancel,
// else OK, so that nothing waits for ever; the log marks it.
//
// Each line also lists the program's other visible top-level windows at that
// moment (class, title, screen rectangle, the texts of their children), so
// that a test can tell what else the user has in view beside the box. With
// --look MS the user first looks at the box for MS milliseconds: a window
// that another thread of the program shows along with the box is up by then.
//
// With --shots, each box is also saved as a picture (DIR\box-01.bmp, box-02.bmp,
// ... in the order of the boxes) before it is answered, and its log line names
// the file ("picture", or "picture_error" with the Win32 error); the whole
// screen goes beside it (DIR\screen-01.bmp ..., "screen"). Without a
// window manager the picture has no title bar (the empty screen shows there);
// on Wine's virtual desktop (HKCU\Software\Wine\Explorer: Desktop=Default,
// and Explorer\Desktops: Default=800x600) Wine draws the frame itself and
// the picture is the whole box.
//
// With --watch, the user also keeps an eye on the program's visible top-level
// windows of class CLASS (a progress window) while it runs: each time one
// comes up or its progress bar moves, a JSON line goes to the watch log (its
// title, the texts of its children, the bar's position, and with --shots a
// picture, watch-01.bmp ..., at first sight and each quarter of the bar).
//
// Before it starts the program the user waits (up to a minute) until the
// desktop's shell answers as a setup asks it, as it does on a desktop where
// somebody is logged on: Wine starts its shell with the first window of a
// prefix, and on a busy machine the shell may need longer for that than an
// elevated setup gives it to hand a start over. The result tells how long
// that took ("shell_ms", -1: it never answered).
//
// When the program has ended (or was ended after the timeout) the result file
// gets one JSON object: the exit code, the number of boxes, and, after the
// settle time, the class and title of the foreground window and whether it is
// minimised, so that a test can tell which window the user has in front.
#include <windows.h>
#include <commctrl.h>
#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "window_picture_win.h"

namespace {

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                   nullptr, 0, nullptr, nullptr);
  std::string narrow(length, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &narrow[0], length,
                      nullptr, nullptr);
  return narrow;
}

std::string Json(const std::wstring& text) {
  std::string in = ToUtf8(text);
  std::string out = "\"";
  for (unsigned char c : in) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::wstring WindowText(HWND window) {
  int length = GetWindowTextLengthW(window);
  std::wstring text(length + 1, L'\0');
  int got = GetWindowTextW(window, &text[0], length + 1);
  text.resize(got > 0 ? got : 0);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

bool AppendFile(const std::wstring& path, const std::string& bytes, bool truncate) {
  if (path.empty()) return true;
  HANDLE file = CreateFileW(path.c_str(), truncate ? GENERIC_WRITE : FILE_APPEND_DATA,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            truncate ? CREATE_ALWAYS : OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

// Quoting as CommandLineToArgvW and the C runtime undo it.
std::wstring QuoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') out.append(backslashes * 2 + 1, L'\\');
    else out.append(backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

struct Options {
  std::vector<std::wstring> answers;
  std::wstring log;
  std::wstring result;
  std::wstring cwd;
  std::wstring shots;
  DWORD timeoutMs = 60000;
  DWORD settleMs = 1000;
  DWORD lookMs = 0;
  std::wstring watchClass;
  std::wstring watchLog;
  std::vector<std::wstring> command;
};

std::vector<std::wstring> SplitList(const std::wstring& list) {
  std::vector<std::wstring> items;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(L',', start);
    if (comma == std::wstring::npos) comma = list.size();
    std::wstring item = list.substr(start, comma - start);
    if (!item.empty()) items.push_back(item);
    start = comma + 1;
  }
  return items;
}

bool ParseOptions(int argc, wchar_t** argv, Options* options) {
  int i = 1;
  for (; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg == L"--") {
      ++i;
      break;
    }
    if (i + 1 >= argc) return false;
    std::wstring value = argv[++i];
    if (arg == L"--answers") options->answers = SplitList(value);
    else if (arg == L"--log") options->log = value;
    else if (arg == L"--result") options->result = value;
    else if (arg == L"--cwd") options->cwd = value;
    else if (arg == L"--shots") options->shots = value;
    else if (arg == L"--timeout") options->timeoutMs = std::wcstoul(value.c_str(), nullptr, 10) * 1000;
    else if (arg == L"--settle") options->settleMs = std::wcstoul(value.c_str(), nullptr, 10);
    else if (arg == L"--look") options->lookMs = std::wcstoul(value.c_str(), nullptr, 10);
    else if (arg == L"--watch") options->watchClass = value;
    else if (arg == L"--watch-log") options->watchLog = value;
    else return false;
  }
  for (; i < argc; ++i) options->command.push_back(argv[i]);
  return !options->command.empty();
}

struct Search {
  DWORD processId;
  std::vector<HWND> boxes;
};

BOOL CALLBACK CollectBoxes(HWND window, LPARAM param) {
  Search* search = reinterpret_cast<Search*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  if (ClassOf(window) != L"#32770") return TRUE;
  HWND text = GetDlgItem(window, 0xFFFF);
  if (!text || WindowText(text).empty()) return TRUE;
  search->boxes.push_back(window);
  return TRUE;
}

struct OtherWindows {
  DWORD processId;
  HWND box;
  std::string json;
};

BOOL CALLBACK DescribeOtherWindow(HWND window, LPARAM param) {
  OtherWindows* others = reinterpret_cast<OtherWindows*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != others->processId || window == others->box || !IsWindowVisible(window))
    return TRUE;
  RECT rect = {};
  GetWindowRect(window, &rect);
  std::string item = "{\"class\":" + Json(ClassOf(window)) + ",\"title\":" +
                     Json(WindowText(window)) + ",\"rect\":[" + std::to_string(rect.left) + "," +
                     std::to_string(rect.top) + "," + std::to_string(rect.right) + "," +
                     std::to_string(rect.bottom) + "],\"texts\":[";
  bool first = true;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!first) item += ",";
    first = false;
    item += Json(WindowText(child));
  }
  item += "]}";
  if (!others->json.empty()) others->json += ",";
  others->json += item;
  return TRUE;
}

std::string OtherWindowsJson(HWND box) {
  OtherWindows others = {0, box, std::string()};
  GetWindowThreadProcessId(box, &others.processId);
  EnumWindows(DescribeOtherWindow, reinterpret_cast<LPARAM>(&others));
  return "[" + others.json + "]";
}

struct Button {
  int id;
  std::wstring label;
};

std::vector<Button> ButtonsOf(HWND box) {
  std::vector<Button> buttons;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassOf(child) != L"Button") continue;
    if (!(GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE)) continue;
    buttons.push_back({GetDlgCtrlID(child), WindowText(child)});
  }
  return buttons;
}

int IdOf(const std::wstring& answer) {
  if (answer == L"yes") return IDYES;
  if (answer == L"no") return IDNO;
  if (answer == L"ok") return IDOK;
  if (answer == L"cancel") return IDCANCEL;
  return 0;
}

bool Has(const std::vector<Button>& buttons, int id) {
  for (const Button& button : buttons)
    if (button.id == id) return true;
  return false;
}

// The answer of a user who wants nothing to happen.
int Refusal(const std::vector<Button>& buttons) {
  for (int id : {IDNO, IDCANCEL, IDOK})
    if (Has(buttons, id)) return id;
  return 0;
}

std::wstring NameOf(int id) {
  switch (id) {
    case IDYES: return L"yes";
    case IDNO: return L"no";
    case IDOK: return L"ok";
    case IDCANCEL: return L"cancel";
    default: return L"close";
  }
}

// A box is visible and has its text some time before it has painted it all
// (the buttons and the icon come last).
const DWORD kPaintMs = 200;

std::wstring PictureName(const wchar_t* what, int index) {
  std::wstring number = std::to_wstring(index + 1);
  if (number.size() < 2) number.insert(0, 1, L'0');
  return what + number + L".bmp";
}

// The picture's part of the box's log line.
std::string TakePicture(HWND box, int index, const Options& options) {
  if (options.shots.empty()) return std::string();
  Sleep(kPaintMs);
  std::wstring directory = options.shots;
  if (directory.back() != L'\\' && directory.back() != L'/') directory += L'\\';
  const std::wstring name = PictureName(L"box-", index);
  const DWORD error = SaveWindowPicture(box, directory + name);
  if (error) return ",\"picture\":null,\"picture_error\":" + std::to_string(error);
  // The whole screen too: what else the program shows around the box.
  const std::wstring screen = PictureName(L"screen-", index);
  const bool screenSaved = SaveWindowPicture(GetDesktopWindow(), directory + screen) == 0;
  return ",\"picture\":" + Json(name) + ",\"screen\":" + (screenSaved ? Json(screen) : "null");
}

void Answer(HWND box, int index, const Options& options) {
  if (options.lookMs) Sleep(options.lookMs);
  const std::string picture = TakePicture(box, index, options);
  const std::wstring caption = WindowText(box);
  const std::wstring text = WindowText(GetDlgItem(box, 0xFFFF));
  const std::vector<Button> buttons = ButtonsOf(box);

  const bool scripted = index < static_cast<int>(options.answers.size());
  std::wstring wanted = scripted ? options.answers[index] : L"";
  bool mismatch = false;
  int id = 0;
  if (scripted && wanted == L"close") {
    id = 0;
  } else if (scripted && Has(buttons, IdOf(wanted))) {
    id = IdOf(wanted);
  } else {
    mismatch = scripted;
    id = Refusal(buttons);
  }

  std::string line = "{\"index\":" + std::to_string(index) + ",\"caption\":" + Json(caption) +
                     ",\"text\":" + Json(text) + ",\"buttons\":[";
  for (size_t i = 0; i < buttons.size(); ++i) {
    if (i) line += ",";
    line += Json(buttons[i].label);
  }
  line += "],\"button_ids\":[";
  for (size_t i = 0; i < buttons.size(); ++i) {
    if (i) line += ",";
    line += std::to_string(buttons[i].id);
  }
  line += "],\"answer\":" + Json(NameOf(id)) + ",\"scripted\":" + (scripted ? "true" : "false") +
          ",\"wanted\":" + Json(wanted) + ",\"mismatch\":" + (mismatch ? "true" : "false") +
          picture + ",\"windows\":" + OtherWindowsJson(box) + "}\n";
  AppendFile(options.log, line, false);

  HWND button = id ? GetDlgItem(box, id) : nullptr;
  if (button) SendMessageW(button, BM_CLICK, 0, 0);
  else SendMessageW(box, WM_CLOSE, 0, 0);
}

}  // namespace

// The watched windows of one program, as last seen.
struct Watch {
  DWORD processId;
  const Options* options;
  std::vector<std::pair<HWND, int>> seen;  // window, bar position
  int pictures = 0;
};

BOOL CALLBACK LookAtWatched(HWND window, LPARAM param) {
  Watch* watch = reinterpret_cast<Watch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != watch->processId || !IsWindowVisible(window) ||
      ClassOf(window) != watch->options->watchClass)
    return TRUE;
  int position = -1;
  std::string texts;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassOf(child) == L"msctls_progress32") {
      position = static_cast<int>(SendMessageW(child, PBM_GETPOS, 0, 0));
      continue;
    }
    if (!texts.empty()) texts += ",";
    texts += Json(WindowText(child));
  }
  int last = -2;
  for (auto& entry : watch->seen)
    if (entry.first == window) last = entry.second;
  if (position == last) return TRUE;
  if (last == -2) watch->seen.push_back({window, position});
  for (auto& entry : watch->seen)
    if (entry.first == window) entry.second = position;
  std::string picture;
  const Options& options = *watch->options;
  if (!options.shots.empty() && (last == -2 || position / 25 > last / 25)) {
    std::wstring directory = options.shots;
    if (directory.back() != L'\\' && directory.back() != L'/') directory += L'\\';
    const std::wstring name = PictureName(L"watch-", watch->pictures++);
    if (SaveWindowPicture(window, directory + name) == 0) picture = ",\"picture\":" + Json(name);
  }
  AppendFile(options.watchLog,
             "{\"class\":" + Json(ClassOf(window)) + ",\"title\":" + Json(WindowText(window)) +
                 ",\"texts\":[" + texts + "],\"position\":" + std::to_string(position) +
                 ",\"at_ms\":" + std::to_string(GetTickCount()) + picture + "}\n",
             false);
  return TRUE;
}

// True once the desktop's shell answers the whole way that a setup asks it
// to start a program: its window list has the desktop, whose browser has a
// view, whose automation object hands out the shell's IShellDispatch2. Under
// load Wine has listed the desktop while the setup's way through it still
// failed for seconds.
bool ShellAnswers() {
  std::vector<IUnknown*> held;  // released at the end, the last first
  // FindWindowSW says S_FALSE when the desktop is not listed (yet).
  // The object is read once the call has returned: it is taken by reference,
  // as an argument's value could be read before the call fills it in.
  const auto got = [&](HRESULT result, auto*& object) {
    if (object) held.push_back(object);
    return SUCCEEDED(result) && result != S_FALSE && object;
  };
  IShellWindows* windows = nullptr;
  IDispatch* desktop = nullptr;
  IServiceProvider* services = nullptr;
  IShellBrowser* browser = nullptr;
  IShellView* view = nullptr;
  IDispatch* background = nullptr;
  IShellFolderViewDual* folderView = nullptr;
  IDispatch* application = nullptr;
  IShellDispatch2* shell = nullptr;
  VARIANT empty;
  VariantInit(&empty);
  LONG desktopWindow = 0;
  const bool answers =
      got(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                           reinterpret_cast<void**>(&windows)),
          windows) &&
      got(windows->FindWindowSW(&empty, &empty, SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH, &desktop),
          desktop) &&
      got(desktop->QueryInterface(IID_IServiceProvider, reinterpret_cast<void**>(&services)), services) &&
      got(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, reinterpret_cast<void**>(&browser)),
          browser) &&
      got(browser->QueryActiveShellView(&view), view) &&
      got(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, reinterpret_cast<void**>(&background)),
          background) &&
      got(background->QueryInterface(IID_IShellFolderViewDual, reinterpret_cast<void**>(&folderView)),
          folderView) &&
      got(folderView->get_Application(&application), application) &&
      got(application->QueryInterface(IID_IShellDispatch2, reinterpret_cast<void**>(&shell)), shell);
  for (auto it = held.rbegin(); it != held.rend(); ++it) (*it)->Release();
  return answers;
}

long WaitForShell() {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return -1;
  const DWORD start = GetTickCount();
  long waited = -1;
  while (GetTickCount() - start < 60000) {
    if (ShellAnswers()) {
      waited = static_cast<long>(GetTickCount() - start);
      break;
    }
    Sleep(100);
  }
  CoUninitialize();
  return waited;
}

int wmain(int argc, wchar_t** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr,
                 "usage: scripted_user [--answers a,b] [--log F] [--result F] [--timeout S]"
                 " [--cwd DIR] [--settle MS] [--look MS] [--shots DIR] [--watch CLASS --watch-log F]"
                 " -- PROGRAM [ARG...]\n");
    return 2;
  }
  if (!options.log.empty()) AppendFile(options.log, std::string(), true);
  if (!options.watchLog.empty()) AppendFile(options.watchLog, std::string(), true);

  std::wstring commandLine;
  for (size_t i = 0; i < options.command.size(); ++i) {
    if (i) commandLine += L" ";
    commandLine += QuoteArgument(options.command[i]);
  }

  const long shellMs = WaitForShell();

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      options.cwd.empty() ? nullptr : options.cwd.c_str(), &startup, &process)) {
    DWORD error = GetLastError();
    AppendFile(options.result,
               "{\"status\":\"not-started\",\"error\":" + std::to_string(error) + "}\n", true);
    std::fprintf(stderr, "scripted_user: CreateProcess failed with %lu\n", error);
    return 3;
  }
  CloseHandle(process.hThread);

  std::set<HWND> answered;
  Watch watch = {process.dwProcessId, &options, {}};
  int index = 0;
  const DWORD started = GetTickCount();
  bool timedOut = false;
  while (WaitForSingleObject(process.hProcess, 25) == WAIT_TIMEOUT) {
    // A closed box's handle may come back for a later box.
    for (auto it = answered.begin(); it != answered.end();)
      it = IsWindow(*it) ? std::next(it) : answered.erase(it);

    if (!options.watchClass.empty()) EnumWindows(LookAtWatched, reinterpret_cast<LPARAM>(&watch));
    Search search = {process.dwProcessId, {}};
    EnumWindows(CollectBoxes, reinterpret_cast<LPARAM>(&search));
    for (HWND box : search.boxes) {
      if (answered.count(box)) continue;
      answered.insert(box);
      Answer(box, index++, options);
    }
    if (GetTickCount() - started > options.timeoutMs) {
      timedOut = true;
      TerminateProcess(process.hProcess, 259);
      WaitForSingleObject(process.hProcess, 5000);
      break;
    }
  }

  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hProcess);

  if (options.settleMs) Sleep(options.settleMs);
  HWND front = GetForegroundWindow();
  std::string result = std::string("{\"status\":") + (timedOut ? "\"timeout\"" : "\"exited\"") +
                       ",\"exit_code\":" + std::to_string(exitCode) +
                       ",\"boxes\":" + std::to_string(index) +
                       ",\"shell_ms\":" + std::to_string(shellMs) +
                       ",\"foreground_class\":" + Json(front ? ClassOf(front) : L"") +
                       ",\"foreground_title\":" + Json(front ? WindowText(front) : L"") +
                       ",\"foreground_iconic\":" + (front && IsIconic(front) ? "true" : "false") +
                       "}\n";
  AppendFile(options.result, result, true);
  return 0;
}
