// Test driver that runs inside Wine next to the program and works its windows for the end-to-end tests.
//
// It is a long-lived console server: one command per line on stdin, one answer line on stdout.
// A command is words separated by single blanks; an answer is "OK" or "ERR" followed by fields.
// Every word and field is percent-encoded: bytes outside 0x21..0x7E and the characters % , = are
// written %XX, so texts travel as raw code page 1251 bytes and the caller converts them.
// Window handles are written 0x... and accepted in any base strtoull understands.
//
// Texts of other processes' controls are read with WM_GETTEXT through SendMessageTimeout:
// GetWindowTextA returns an empty string for a control that belongs to another process.
// Everything that could start a modal loop in the target (commands, clicks, notifications) is
// posted, never sent, so the driver cannot hang on a dialog it just opened.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr UINT kSendTimeoutMs = 5000;

std::string Encode(const std::string& bytes) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    if (c < 0x21 || c > 0x7E || c == '%' || c == ',' || c == '=') {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Decode(const std::string& word) {
  std::string out;
  for (size_t i = 0; i < word.size(); ++i) {
    if (word[i] == '%' && i + 2 < word.size() && HexDigit(word[i + 1]) >= 0 &&
        HexDigit(word[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(word[i + 1]) * 16 + HexDigit(word[i + 2]));
      i += 2;
    } else {
      out += word[i];
    }
  }
  return out;
}

std::string Hex(unsigned long long value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "0x%llX", value);
  return buffer;
}

std::string Number(long long value) { return std::to_string(value); }

std::string HandleText(HWND window) { return Hex(reinterpret_cast<uintptr_t>(window)); }

HWND ParseHandle(const std::string& text) {
  return reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoull(text.c_str(), nullptr, 0)));
}

long long ParseNumber(const std::string& text) { return std::strtoll(text.c_str(), nullptr, 0); }

// One answer line being assembled: "OK" or "ERR" and encoded fields.
struct Answer {
  bool ok = true;
  std::vector<std::string> fields;
  void Add(const std::string& raw) { fields.push_back(Encode(raw)); }
  void AddEncoded(const std::string& encoded) { fields.push_back(encoded); }
  void Fail(const std::string& why) {
    ok = false;
    fields.clear();
    Add(why);
  }
};

std::string ClassOf(HWND window) {
  char buffer[256] = {};
  GetClassNameA(window, buffer, sizeof buffer);
  return buffer;
}

// The caption as the window manager keeps it; works for other processes' top-level windows
// without sending them a message.
std::string CaptionOf(HWND window) {
  char buffer[1024] = {};
  GetWindowTextA(window, buffer, sizeof buffer);
  return buffer;
}

// Wide text to code page 1251 bytes (the ANSI code page under the Bulgarian locale).
std::string Narrow(const wchar_t* text, size_t length) {
  if (length == 0) return std::string();
  int size = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr,
                                 nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), &out[0], size, nullptr, nullptr);
  return out;
}

// The text the window itself reports through WM_GETTEXT (controls of other processes).
// Texts are read wide and narrowed here: Wine hands an ANSI caller of CB_GETLBTEXT in another
// process wide characters, so the wide messages are the ones that behave the same everywhere.
bool SentTextOf(HWND window, std::string* text) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                           &length))
    return false;
  std::vector<wchar_t> buffer(length + 2, 0);
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied))
    return false;
  *text = Narrow(buffer.data(), std::min<size_t>(copied, wcslen(buffer.data())));
  return true;
}

bool Send(HWND window, UINT message, WPARAM wparam, LPARAM lparam, DWORD_PTR* result) {
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutA(window, message, wparam, lparam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             result ? result : &ignored) != 0;
}

std::string ExeOf(DWORD pid) {
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!process) return "";
  char buffer[MAX_PATH * 2] = {};
  DWORD size = sizeof buffer;
  std::string path;
  if (QueryFullProcessImageNameA(process, 0, buffer, &size)) path.assign(buffer, size);
  CloseHandle(process);
  return path;
}

// Filters of the find and wait commands, given as key=value words.
struct WindowFilter {
  bool has_class = false, has_title = false, has_owner = false, has_pid = false, has_exe = false;
  bool visible_only = false;
  std::string window_class, title, exe;
  HWND owner = nullptr;
  DWORD pid = 0;
};

bool ParseFilter(const std::vector<std::string>& words, size_t first, WindowFilter* filter,
                 std::string* error) {
  for (size_t i = first; i < words.size(); ++i) {
    const std::string& word = words[i];
    size_t equals = word.find('=');
    if (equals == std::string::npos) {
      *error = "filter word without '=': " + word;
      return false;
    }
    std::string key = word.substr(0, equals);
    std::string value = Decode(word.substr(equals + 1));
    if (key == "class") {
      filter->has_class = true;
      filter->window_class = value;
    } else if (key == "title") {
      filter->has_title = true;
      filter->title = value;
    } else if (key == "owner") {
      filter->has_owner = true;
      filter->owner = ParseHandle(value);
    } else if (key == "pid") {
      filter->has_pid = true;
      filter->pid = static_cast<DWORD>(ParseNumber(value));
    } else if (key == "exe") {
      filter->has_exe = true;
      filter->exe = value;
    } else if (key == "visible") {
      filter->visible_only = value != "0";
    } else {
      *error = "unknown filter: " + key;
      return false;
    }
  }
  return true;
}

bool Matches(HWND window, const WindowFilter& filter) {
  if (filter.visible_only && !IsWindowVisible(window)) return false;
  if (filter.has_class && ClassOf(window) != filter.window_class) return false;
  if (filter.has_title && CaptionOf(window) != filter.title) return false;
  if (filter.has_owner && GetWindow(window, GW_OWNER) != filter.owner) return false;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (filter.has_pid && pid != filter.pid) return false;
  if (filter.has_exe && lstrcmpiA(ExeOf(pid).c_str(), filter.exe.c_str()) != 0) return false;
  return true;
}

std::vector<HWND> TopLevelWindows() {
  std::vector<HWND> windows;
  EnumWindows(
      [](HWND window, LPARAM list) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

std::vector<HWND> FindWindows(const WindowFilter& filter) {
  std::vector<HWND> found;
  for (HWND window : TopLevelWindows())
    if (Matches(window, filter)) found.push_back(window);
  return found;
}

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> windows;
  EnumChildWindows(
      parent,
      [](HWND window, LPARAM list) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

// Command implementations. Each receives the decoded-on-demand words (words[0] is the command).
using Words = std::vector<std::string>;
Words Split(const std::string& line);

bool NeedWords(const Words& words, size_t count, Answer* answer) {
  if (words.size() >= count) return true;
  answer->Fail("usage: " + words[0] + " needs " + std::to_string(count - 1) + " arguments");
  return false;
}

bool NeedWindow(HWND window, Answer* answer) {
  if (IsWindow(window)) return true;
  answer->Fail("no such window");
  return false;
}

void FindCommand(const Words& words, Answer* answer) {
  WindowFilter filter;
  std::string error;
  if (!ParseFilter(words, 1, &filter, &error)) return answer->Fail(error);
  for (HWND window : FindWindows(filter)) answer->Add(HandleText(window));
}

// wait TIMEOUT_MS filters...: the first matching top-level window, polled every 20 ms.
void WaitCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 2, answer)) return;
  DWORD timeout = static_cast<DWORD>(ParseNumber(words[1]));
  WindowFilter filter;
  std::string error;
  if (!ParseFilter(words, 2, &filter, &error)) return answer->Fail(error);
  DWORD start = GetTickCount();
  for (;;) {
    std::vector<HWND> found = FindWindows(filter);
    if (!found.empty()) {
      for (HWND window : found) answer->Add(HandleText(window));
      return;
    }
    if (GetTickCount() - start >= timeout) return answer->Fail("timeout");
    Sleep(20);
  }
}

// waitgone HWND TIMEOUT_MS: until the window no longer exists.
void WaitGoneCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 3, answer)) return;
  HWND window = ParseHandle(words[1]);
  DWORD timeout = static_cast<DWORD>(ParseNumber(words[2]));
  DWORD start = GetTickCount();
  while (IsWindow(window)) {
    if (GetTickCount() - start >= timeout) return answer->Fail("timeout");
    Sleep(20);
  }
}

// idle HWND TIMEOUT_MS [PAINTED_HWND...]: waits until the window's thread has handled every
// message sent to it before (a WM_NULL sent without giving up on a busy thread) and then until
// each PAINTED window has an empty update region, i.e. has painted what was invalidated.
// Answers the milliseconds waited. For timing commands in the benchmarks.
void IdleCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 3, answer)) return;
  HWND window = ParseHandle(words[1]);
  if (!NeedWindow(window, answer)) return;
  const DWORD timeout = static_cast<DWORD>(ParseNumber(words[2]));
  LARGE_INTEGER frequency, start, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  auto elapsed_ms = [&] {
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;
  };
  DWORD_PTR ignored = 0;
  if (!SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeout, &ignored))
    return answer->Fail("the window's thread did not answer in time");
  for (size_t i = 3; i < words.size(); ++i) {
    HWND painted = ParseHandle(words[i]);
    RECT update;
    while (IsWindow(painted) && GetUpdateRect(painted, &update, FALSE)) {
      if (elapsed_ms() >= timeout) return answer->Fail("still not painted");
      Sleep(1);
    }
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", elapsed_ms());
  answer->Add(text);
}

void InfoCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 2, answer)) return;
  HWND window = ParseHandle(words[1]);
  if (!NeedWindow(window, answer)) return;
  RECT rect = {}, client = {};
  GetWindowRect(window, &rect);
  GetClientRect(window, &client);
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  DWORD pid = 0;
  DWORD tid = GetWindowThreadProcessId(window, &pid);
  std::string text;
  bool got_text = SentTextOf(window, &text);
  auto pair = [answer](const std::string& key, const std::string& value) {
    answer->AddEncoded(Encode(key) + "=" + Encode(value));
  };
  pair("class", ClassOf(window));
  pair("caption", CaptionOf(window));
  pair("text", got_text ? text : CaptionOf(window));
  pair("style", Hex(static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE))));
  pair("exstyle", Hex(static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE))));
  pair("visible", Number(IsWindowVisible(window) ? 1 : 0));
  pair("enabled", Number(IsWindowEnabled(window) ? 1 : 0));
  pair("rect", Number(rect.left) + "," + Number(rect.top) + "," + Number(rect.right) + "," +
                   Number(rect.bottom));
  pair("client", Number(client.right - client.left) + "," + Number(client.bottom - client.top));
  pair("origin", Number(origin.x) + "," + Number(origin.y));
  pair("pid", Number(pid));
  pair("tid", Number(tid));
  pair("id", Number(GetDlgCtrlID(window)));
  pair("parent", HandleText(GetAncestor(window, GA_PARENT) == GetDesktopWindow()
                                ? nullptr
                                : GetAncestor(window, GA_PARENT)));
  pair("owner", HandleText(GetWindow(window, GW_OWNER)));
  pair("exe", ExeOf(pid));
  pair("foreground", Number(GetForegroundWindow() == window ? 1 : 0));
  pair("iconic", Number(IsIconic(window) ? 1 : 0));
  pair("zoomed", Number(IsZoomed(window) ? 1 : 0));
}

// children HWND: every descendant as "handle,id,class,text".
void ChildrenCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 2, answer)) return;
  HWND window = ParseHandle(words[1]);
  if (!NeedWindow(window, answer)) return;
  for (HWND child : Descendants(window)) {
    std::string text;
    if (!SentTextOf(child, &text)) text.clear();
    answer->AddEncoded(Encode(HandleText(child)) + "," + Encode(Number(GetDlgCtrlID(child))) + "," +
                       Encode(ClassOf(child)) + "," + Encode(text));
  }
}

// item HWND ID: the child control with that id (searched among all descendants).
void ItemCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 3, answer)) return;
  HWND window = ParseHandle(words[1]);
  if (!NeedWindow(window, answer)) return;
  int id = static_cast<int>(ParseNumber(words[2]));
  HWND item = GetDlgItem(window, id);
  if (!item) {
    for (HWND child : Descendants(window)) {
      if (GetDlgCtrlID(child) == id) {
        item = child;
        break;
      }
    }
  }
  if (!item) return answer->Fail("no control with that id");
  answer->Add(HandleText(item));
}

void TextCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 2, answer)) return;
  HWND window = ParseHandle(words[1]);
  if (!NeedWindow(window, answer)) return;
  std::string text;
  if (!SentTextOf(window, &text)) return answer->Fail("WM_GETTEXT failed");
  answer->Add(text);
}

void SetTextCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 2, answer)) return;
  HWND window = ParseHandle(words[1]);
  if (!NeedWindow(window, answer)) return;
  std::string text = words.size() > 2 ? Decode(words[2]) : std::string();
  DWORD_PTR result = 0;
  if (!Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), &result))
    return answer->Fail("WM_SETTEXT failed");
  answer->Add(Number(static_cast<long long>(result)));
}

// post HWND MESSAGE WPARAM LPARAM / send HWND MESSAGE WPARAM LPARAM (send answers the result).
void PostCommand(const Words& words, Answer* answer, bool send) {
  if (!NeedWords(words, 5, answer)) return;
  HWND window = ParseHandle(words[1]);
  if (!NeedWindow(window, answer)) return;
  UINT message = static_cast<UINT>(ParseNumber(words[2]));
  WPARAM wparam = static_cast<WPARAM>(ParseNumber(words[3]));
  LPARAM lparam = static_cast<LPARAM>(ParseNumber(words[4]));
  if (send) {
    DWORD_PTR result = 0;
    if (!Send(window, message, wparam, lparam, &result)) return answer->Fail("send failed");
    answer->Add(Number(static_cast<long long>(result)));
  } else if (!PostMessageA(window, message, wparam, lparam)) {
    answer->Fail("PostMessage failed");
  }
}

// command HWND ID [CODE [CONTROL]]: posts WM_COMMAND as a menu, accelerator or control would.
void CommandCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 3, answer)) return;
  HWND window = ParseHandle(words[1]);
  if (!NeedWindow(window, answer)) return;
  WORD id = static_cast<WORD>(ParseNumber(words[2]));
  WORD code = words.size() > 3 ? static_cast<WORD>(ParseNumber(words[3])) : 0;
  LPARAM control = words.size() > 4 ? reinterpret_cast<LPARAM>(ParseHandle(words[4])) : 0;
  if (!PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, code), control))
    answer->Fail("PostMessage failed");
}

// Posts the control's notification to its parent, as the control itself would.
bool Notify(HWND control, WORD code) {
  HWND parent = GetParent(control);
  return parent && PostMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
                                reinterpret_cast<LPARAM>(control));
}

// notify CONTROL CODE: posts WM_COMMAND(id, code, control) to the control's parent.
void NotifyCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 3, answer)) return;
  HWND control = ParseHandle(words[1]);
  if (!NeedWindow(control, answer)) return;
  if (!Notify(control, static_cast<WORD>(ParseNumber(words[2])))) answer->Fail("no parent");
}

void ClickCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 2, answer)) return;
  HWND control = ParseHandle(words[1]);
  if (!NeedWindow(control, answer)) return;
  if (!PostMessageA(control, BM_CLICK, 0, 0)) answer->Fail("PostMessage failed");
}

void GetCheckCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 2, answer)) return;
  HWND control = ParseHandle(words[1]);
  if (!NeedWindow(control, answer)) return;
  DWORD_PTR state = 0;
  if (!Send(control, BM_GETCHECK, 0, 0, &state)) return answer->Fail("BM_GETCHECK failed");
  answer->Add(Number(static_cast<long long>(state)));
}

// setcheck CONTROL STATE: sets the check state and posts BN_CLICKED, as a click would.
void SetCheckCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 3, answer)) return;
  HWND control = ParseHandle(words[1]);
  if (!NeedWindow(control, answer)) return;
  if (!Send(control, BM_SETCHECK, static_cast<WPARAM>(ParseNumber(words[2])), 0, nullptr))
    return answer->Fail("BM_SETCHECK failed");
  if (!Notify(control, BN_CLICKED)) answer->Fail("no parent");
}

// Lists and combo boxes share one shape; these are their message numbers.
struct ListMessages {
  UINT count, get_text_length, get_text, get_selection, set_selection, get_selected;
  WORD selection_changed;
};
constexpr ListMessages kCombo = {CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT, CB_GETCURSEL,
                                 CB_SETCURSEL, 0,              CBN_SELCHANGE};
constexpr ListMessages kList = {LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT, LB_GETCURSEL,
                                LB_SETCURSEL, LB_GETSEL,    LBN_SELCHANGE};

// items CONTROL: the current selection index, then every item's text.
void ItemsCommand(const Words& words, Answer* answer, const ListMessages& list) {
  if (!NeedWords(words, 2, answer)) return;
  HWND control = ParseHandle(words[1]);
  if (!NeedWindow(control, answer)) return;
  DWORD_PTR count = 0, selection = 0;
  if (!Send(control, list.count, 0, 0, &count) || !Send(control, list.get_selection, 0, 0, &selection))
    return answer->Fail("list query failed");
  answer->Add(Number(static_cast<LRESULT>(selection)));
  for (WPARAM index = 0; index < count; ++index) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(control, list.get_text_length, index, 0, SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &length) ||
        static_cast<LRESULT>(length) < 0)
      return answer->Fail("item length query failed");
    std::vector<wchar_t> buffer(length + 2, 0);
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(control, list.get_text, index, reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied))
      return answer->Fail("item text query failed");
    answer->Add(Narrow(buffer.data(), wcslen(buffer.data())));
  }
}

// select CONTROL INDEX: sets the current selection and posts the selection-changed notification.
void SelectCommand(const Words& words, Answer* answer, const ListMessages& list) {
  if (!NeedWords(words, 3, answer)) return;
  HWND control = ParseHandle(words[1]);
  if (!NeedWindow(control, answer)) return;
  WPARAM index = static_cast<WPARAM>(ParseNumber(words[2]));
  DWORD_PTR result = 0;
  if (!Send(control, list.set_selection, index, 0, &result)) return answer->Fail("select failed");
  if (static_cast<LRESULT>(result) == -1 && static_cast<LRESULT>(index) != -1)
    return answer->Fail("index out of range");
  if (!Notify(control, list.selection_changed)) answer->Fail("no parent");
}

// lbselected LIST: indices of the selected items of a multiple-selection list box.
void ListSelectedCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 2, answer)) return;
  HWND control = ParseHandle(words[1]);
  if (!NeedWindow(control, answer)) return;
  DWORD_PTR count = 0;
  if (!Send(control, LB_GETCOUNT, 0, 0, &count)) return answer->Fail("LB_GETCOUNT failed");
  for (WPARAM index = 0; index < count; ++index) {
    DWORD_PTR selected = 0;
    if (Send(control, LB_GETSEL, index, 0, &selected) && static_cast<LRESULT>(selected) > 0)
      answer->Add(Number(static_cast<long long>(index)));
  }
}

// lbsetsel LIST INDEX STATE: selects or deselects one item of a multiple-selection list box.
void ListSetSelectedCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 4, answer)) return;
  HWND control = ParseHandle(words[1]);
  if (!NeedWindow(control, answer)) return;
  DWORD_PTR result = 0;
  if (!Send(control, LB_SETSEL, static_cast<WPARAM>(ParseNumber(words[3])),
            static_cast<LPARAM>(ParseNumber(words[2])), &result) ||
      static_cast<LRESULT>(result) == LB_ERR)
    return answer->Fail("LB_SETSEL failed");
  if (!Notify(control, LBN_SELCHANGE)) answer->Fail("no parent");
}

// key HWND VK [down|up|press]: posts key messages (no keyboard state; use xdotool for chords).
void KeyCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 3, answer)) return;
  HWND window = ParseHandle(words[1]);
  if (!NeedWindow(window, answer)) return;
  WPARAM vk = static_cast<WPARAM>(ParseNumber(words[2]));
  std::string how = words.size() > 3 ? words[3] : "press";
  LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(static_cast<UINT>(vk), MAPVK_VK_TO_VSC)) << 16;
  bool ok = true;
  if (how == "down" || how == "press") ok = ok && PostMessageA(window, WM_KEYDOWN, vk, scan | 1);
  if (how == "up" || how == "press")
    ok = ok && PostMessageA(window, WM_KEYUP, vk, scan | 1 | (1LL << 30) | (1LL << 31));
  if (!ok) answer->Fail("PostMessage failed");
}

// chars HWND TEXT: posts WM_CHAR for every byte of TEXT to the window that has the keyboard focus
// in HWND's thread (HWND itself when that thread has no focus window), as typing would after
// TranslateMessage. For text that X input cannot type reliably (Cyrillic under Wine).
void CharsCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 3, answer)) return;
  HWND window = ParseHandle(words[1]);
  if (!NeedWindow(window, answer)) return;
  GUITHREADINFO thread_info = {};
  thread_info.cbSize = sizeof thread_info;
  HWND target = window;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread_info) &&
      thread_info.hwndFocus)
    target = thread_info.hwndFocus;
  for (unsigned char c : Decode(words[2])) {
    if (!PostMessageA(target, WM_CHAR, c, 1)) return answer->Fail("PostMessage failed");
  }
  answer->Add(HandleText(target));
}

void CloseCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 2, answer)) return;
  HWND window = ParseHandle(words[1]);
  if (!NeedWindow(window, answer)) return;
  if (!PostMessageA(window, WM_CLOSE, 0, 0)) answer->Fail("PostMessage failed");
}

void ExistsCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 2, answer)) return;
  answer->Add(Number(IsWindow(ParseHandle(words[1])) ? 1 : 0));
}

void ForegroundCommand(const Words& words, Answer* answer) {
  if (words.size() > 1) {
    HWND window = ParseHandle(words[1]);
    if (!NeedWindow(window, answer)) return;
    if (!SetForegroundWindow(window)) return answer->Fail("SetForegroundWindow failed");
  }
  answer->Add(HandleText(GetForegroundWindow()));
}

// scrollinfo HWND BAR: the window's scroll bar BAR ("H" horizontal, "V" vertical) as GetScrollInfo
// reports it inside the program: minimum, maximum, page, position and tracking position. Under
// Wine GetScrollInfo works only in the window's own process, so wdrive_scroll_hook.dll (built
// beside this program) reads it from a message hook on the window's thread.
void ScrollInfoCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 3, answer)) return;
  HWND window = ParseHandle(words[1]);
  if (!NeedWindow(window, answer)) return;
  if (words[2] != "H" && words[2] != "V") return answer->Fail("the bar is H or V");
  const LONG bar = words[2] == "V" ? 1 : 0;
  static HMODULE module = nullptr;
  if (!module) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    folder.erase(folder.find_last_of("\\/") + 1);
    module = LoadLibraryA((folder + "wdrive_scroll_hook.dll").c_str());
  }
  auto hook_proc = module ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(
                                GetProcAddress(module, "WdriveScrollHook")))
                          : nullptr;
  if (!hook_proc) return answer->Fail("wdrive_scroll_hook.dll did not load");
  const std::string pid = std::to_string(GetCurrentProcessId());
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      6 * sizeof(LONG), ("WdriveScroll" + pid).c_str());
  HANDLE done = CreateEventA(nullptr, FALSE, FALSE, ("WdriveScrollDone" + pid).c_str());
  void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 6 * sizeof(LONG)) : nullptr;
  LONG values[6] = {};
  bool answered = false;
  if (view && done) {
    ResetEvent(done);
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, hook_proc, module,
                                   GetWindowThreadProcessId(window, nullptr));
    static LONG request = 0;
    ++request;
    if (hook && PostMessageA(window, RegisterWindowMessageA("WdriveReadScroll"),
                             GetCurrentProcessId(), request * 2 + bar)) {
      answered = WaitForSingleObject(done, kSendTimeoutMs) == WAIT_OBJECT_0;
    }
    if (hook) UnhookWindowsHookEx(hook);
    if (answered) std::memcpy(values, view, sizeof values);
  }
  if (view) UnmapViewOfFile(view);
  if (mapping) CloseHandle(mapping);
  if (done) CloseHandle(done);
  if (!answered) return answer->Fail("the window's thread did not answer");
  if (!values[0]) return answer->Fail("GetScrollInfo failed");
  for (int i = 1; i < 6; ++i) answer->Add(Number(values[i]));
}

void ScreenCommand(const Words&, Answer* answer) {
  answer->Add(Number(GetSystemMetrics(SM_CXSCREEN)));
  answer->Add(Number(GetSystemMetrics(SM_CYSCREEN)));
}

// resources HWND [count|sync]: what the program that owns the window holds, counted inside it by
// wdrive_resource_hook.dll (built beside this program; see that file for how each count is
// taken), as "name=value" fields; "sync" counts nothing and only answers once every message posted
// to the window's thread before the request has been taken. Both add "input=1" while keyboard or
// mouse input still waits in that thread's queue.
void ResourcesCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 2, answer)) return;
  HWND window = ParseHandle(words[1]);
  if (!NeedWindow(window, answer)) return;
  const bool count = words.size() < 3 || words[2] != "sync";
  static HMODULE module = nullptr;
  if (!module) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    folder.erase(folder.find_last_of("\\/") + 1);
    module = LoadLibraryA((folder + "wdrive_resource_hook.dll").c_str());
  }
  auto hook_proc = module ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(
                                GetProcAddress(module, "WdriveResourceHook")))
                          : nullptr;
  if (!hook_proc) return answer->Fail("wdrive_resource_hook.dll did not load");
  constexpr DWORD kMappingSize = 4096;
  const std::string pid = std::to_string(GetCurrentProcessId());
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kMappingSize,
                                      ("WdriveResources" + pid).c_str());
  HANDLE done = CreateEventA(nullptr, FALSE, FALSE, ("WdriveResourcesDone" + pid).c_str());
  void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, kMappingSize) : nullptr;
  std::string text;
  bool answered = false;
  if (view && done) {
    ResetEvent(done);
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, hook_proc, module,
                                   GetWindowThreadProcessId(window, nullptr));
    static LONG request = 0;
    ++request;
    if (hook && PostMessageA(window, RegisterWindowMessageA("WdriveCountResources"),
                             GetCurrentProcessId(), request * 2 + (count ? 1 : 0))) {
      // Counting walks whole handle tables: allow it more than a plain answer.
      answered = WaitForSingleObject(done, 4 * kSendTimeoutMs) == WAIT_OBJECT_0;
    }
    if (hook) UnhookWindowsHookEx(hook);
    if (answered) {
      DWORD size = 0;
      std::memcpy(&size, view, 4);
      text.assign(static_cast<const char*>(view) + 4, std::min<DWORD>(size, kMappingSize - 4));
    }
  }
  if (view) UnmapViewOfFile(view);
  if (mapping) CloseHandle(mapping);
  if (done) CloseHandle(done);
  if (!answered) return answer->Fail("the window's thread did not answer");
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) answer->Add(text.substr(start, end - start));
    start = end + 1;
  }
}

// Menus and command spying run inside the program: under Wine a menu handle works only in its
// own process, and only a window's own process can subclass it. wdrive_hook.dll (built beside
// this program) does that work from a message hook on the window's thread; see that file.
HMODULE HookModule() {
  static HMODULE module = nullptr;
  if (!module) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    folder.erase(folder.find_last_of("\\/") + 1);
    module = LoadLibraryA((folder + "wdrive_hook.dll").c_str());
  }
  return module;
}

// Posts the hook's request `message_name` to the window with the hook on its thread and waits
// until the hook signals that it has answered.
bool AskHook(HWND window, const char* message_name, std::string* error) {
  HMODULE module = HookModule();
  auto hook_proc = module ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(
                                GetProcAddress(module, "WdriveGetMessageHook")))
                          : nullptr;
  if (!hook_proc) return *error = "wdrive_hook.dll did not load", false;
  const std::string pid = std::to_string(GetCurrentProcessId());
  HANDLE done = CreateEventA(nullptr, FALSE, FALSE, ("WdriveMenuDone" + pid).c_str());
  if (!done) return *error = "no event", false;
  ResetEvent(done);
  HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, hook_proc, module,
                                 GetWindowThreadProcessId(window, nullptr));
  static LONG request = 0;
  bool answered = false;
  if (hook && PostMessageA(window, RegisterWindowMessageA(message_name), GetCurrentProcessId(),
                           ++request)) {
    answered = WaitForSingleObject(done, kSendTimeoutMs) == WAIT_OBJECT_0;
  }
  if (hook) UnhookWindowsHookEx(hook);
  CloseHandle(done);
  if (!hook) return *error = "could not hook the window's thread", false;
  if (!answered) return *error = "the window's thread did not answer", false;
  return true;
}

// menu HWND: the menu bar of a window, or the menu that a popup menu window (class "#32768")
// shows, one field per item, depth first: "depth,id,type,state,submenu,left,top,right,bottom,
// text" (type and state as MENUITEMINFO's fType and fState in hex, submenu 1 for a drop-down,
// the item's screen rectangle while its menu is shown, else zeros).
void MenuCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 2, answer)) return;
  HWND window = ParseHandle(words[1]);
  if (!NeedWindow(window, answer)) return;
  constexpr DWORD kMappingSize = 1 << 16;
  const std::string pid = std::to_string(GetCurrentProcessId());
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      kMappingSize, ("WdriveMenu" + pid).c_str());
  if (!mapping) return answer->Fail("no mapping");
  void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, kMappingSize);
  std::string error, text;
  const bool answered = view && AskHook(window, "WdriveReadMenu", &error);
  if (answered) {
    DWORD size = 0;
    std::memcpy(&size, view, 4);
    text.assign(static_cast<const char*>(view) + 4, std::min<DWORD>(size, kMappingSize - 4));
  }
  if (view) UnmapViewOfFile(view);
  CloseHandle(mapping);
  if (!answered) return answer->Fail(error.empty() ? "no view" : error);
  if (text == "nomenu\n") return answer->Fail("the window has no menu");

  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    std::string field;
    for (int column = 0; column < 6; ++column) {
      size_t tab = line.find('\t');
      std::string value = line.substr(0, tab);
      if (column == 5) {  // the rectangle's four numbers become four fields
        for (char& c : value) c = c == ',' ? ' ' : c;
        for (const std::string& number : Split(value)) field += Encode(number) + ",";
      } else {
        field += Encode(value) + ",";
      }
      line = tab == std::string::npos ? std::string() : line.substr(tab + 1);
    }
    answer->AddEncoded(field + Encode(line));
  }
}

// The command logs of spied windows, by window: a count, then word parameters.
constexpr DWORD kSpyLogBytes = (1 << 14) * 4;
struct SpyLog {
  HWND window;
  volatile LONG* log;
};
std::vector<SpyLog> spy_logs;

volatile LONG* SpyLogOf(HWND window) {
  for (const SpyLog& spy : spy_logs)
    if (spy.window == window) return spy.log;
  return nullptr;
}

// spy HWND: from now on records every WM_COMMAND that reaches the window's procedure (menus,
// accelerators, controls); "commands HWND" reads them. Spying a window again clears its log.
void SpyCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 2, answer)) return;
  HWND window = ParseHandle(words[1]);
  if (!NeedWindow(window, answer)) return;
  if (volatile LONG* log = SpyLogOf(window)) {
    InterlockedExchange(&log[0], 0);
    return;
  }
  char name[96];
  std::snprintf(name, sizeof name, "WdriveSpy%lu_%llX", GetCurrentProcessId(),
                static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
  // Kept open and mapped while the driver runs: the program writes into it.
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      kSpyLogBytes, name);
  void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, kSpyLogBytes) : nullptr;
  if (!view) return answer->Fail("no mapping");
  std::string error;
  if (!AskHook(window, "WdriveSpyCommands", &error)) return answer->Fail(error);
  spy_logs.push_back(SpyLog{window, static_cast<volatile LONG*>(view)});
}

// commands HWND: every WM_COMMAND word parameter recorded since "spy HWND", oldest first, as
// "id,code" fields.
void CommandsCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 2, answer)) return;
  volatile LONG* log = SpyLogOf(ParseHandle(words[1]));
  if (!log) return answer->Fail("the window is not spied on");
  const LONG count = log[0];
  for (LONG i = 0; i < count; ++i) {
    const DWORD wparam = static_cast<DWORD>(log[1 + i]);
    answer->AddEncoded(Number(LOWORD(wparam)) + "," + Number(HIWORD(wparam)));
  }
}

// The records of painted text, by window: a count of bytes, then "x TAB y TAB text" lines.
constexpr DWORD kTextLogBytes = 16 << 20;
struct TextLog {
  HWND window;
  const volatile LONG* log;
};
std::vector<TextLog> text_logs;

// textrecord HWND: from now on records the text the window paints (TextOutA calls on its device
// contexts, and a mark before each paint); "texts HWND" reads it. Asking again clears the record.
void TextRecordCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 2, answer)) return;
  HWND window = ParseHandle(words[1]);
  if (!NeedWindow(window, answer)) return;
  char name[96];
  std::snprintf(name, sizeof name, "WdriveText%lu_%llX", GetCurrentProcessId(),
                static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
  const volatile LONG* log = nullptr;
  for (const TextLog& known : text_logs)
    if (known.window == window) log = known.log;
  if (!log) {
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        kTextLogBytes, name);
    void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, kTextLogBytes) : nullptr;
    if (!view) return answer->Fail("no mapping");
    log = static_cast<const volatile LONG*>(view);
    text_logs.push_back(TextLog{window, log});
  }
  std::string error;
  if (!AskHook(window, "WdriveRecordText", &error)) return answer->Fail(error);
}

// texts HWND: what was recorded since "textrecord HWND", one field per line: "paint" before each
// paint, otherwise "x,y,text".
void TextsCommand(const Words& words, Answer* answer) {
  if (!NeedWords(words, 2, answer)) return;
  HWND window = ParseHandle(words[1]);
  const volatile LONG* log = nullptr;
  for (const TextLog& known : text_logs)
    if (known.window == window) log = known.log;
  if (!log) return answer->Fail("the window's text is not recorded");
  const DWORD size = std::min<DWORD>(static_cast<DWORD>(log[0]), kTextLogBytes - 4);
  const std::string text(reinterpret_cast<const char*>(const_cast<const LONG*>(log)) + 4, size);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (line == "paint") {
      answer->Add(line);
      continue;
    }
    const size_t first = line.find('\t');
    const size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
    if (second == std::string::npos) continue;
    answer->AddEncoded(Encode(line.substr(0, first)) + "," +
                       Encode(line.substr(first + 1, second - first - 1)) + "," +
                       Encode(line.substr(second + 1)));
  }
}

void Dispatch(const Words& words, Answer* answer) {
  const std::string& name = words[0];
  if (name == "ping") return answer->Add("pong");
  if (name == "find") return FindCommand(words, answer);
  if (name == "wait") return WaitCommand(words, answer);
  if (name == "waitgone") return WaitGoneCommand(words, answer);
  if (name == "idle") return IdleCommand(words, answer);
  if (name == "info") return InfoCommand(words, answer);
  if (name == "children") return ChildrenCommand(words, answer);
  if (name == "item") return ItemCommand(words, answer);
  if (name == "text") return TextCommand(words, answer);
  if (name == "settext") return SetTextCommand(words, answer);
  if (name == "post") return PostCommand(words, answer, false);
  if (name == "send") return PostCommand(words, answer, true);
  if (name == "command") return CommandCommand(words, answer);
  if (name == "notify") return NotifyCommand(words, answer);
  if (name == "click") return ClickCommand(words, answer);
  if (name == "getcheck") return GetCheckCommand(words, answer);
  if (name == "setcheck") return SetCheckCommand(words, answer);
  if (name == "cbitems") return ItemsCommand(words, answer, kCombo);
  if (name == "cbsel") return SelectCommand(words, answer, kCombo);
  if (name == "lbitems") return ItemsCommand(words, answer, kList);
  if (name == "lbsel") return SelectCommand(words, answer, kList);
  if (name == "lbselected") return ListSelectedCommand(words, answer);
  if (name == "lbsetsel") return ListSetSelectedCommand(words, answer);
  if (name == "key") return KeyCommand(words, answer);
  if (name == "chars") return CharsCommand(words, answer);
  if (name == "close") return CloseCommand(words, answer);
  if (name == "exists") return ExistsCommand(words, answer);
  if (name == "foreground") return ForegroundCommand(words, answer);
  if (name == "screen") return ScreenCommand(words, answer);
  if (name == "scrollinfo") return ScrollInfoCommand(words, answer);
  if (name == "resources") return ResourcesCommand(words, answer);
  if (name == "menu") return MenuCommand(words, answer);
  if (name == "spy") return SpyCommand(words, answer);
  if (name == "commands") return CommandsCommand(words, answer);
  if (name == "textrecord") return TextRecordCommand(words, answer);
  if (name == "texts") return TextsCommand(words, answer);
  answer->Fail("unknown command: " + name);
}

Words Split(const std::string& line) {
  Words words;
  size_t start = 0;
  while (start <= line.size()) {
    size_t blank = line.find(' ', start);
    if (blank == std::string::npos) blank = line.size();
    if (blank > start) words.push_back(line.substr(start, blank - start));
    start = blank + 1;
  }
  return words;
}

}  // namespace

int main() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
  std::string line;
  int c;
  for (;;) {
    line.clear();
    while ((c = std::fgetc(stdin)) != EOF && c != '\n') line += static_cast<char>(c);
    if (c == EOF && line.empty()) break;
    while (!line.empty() && line.back() == '\r') line.pop_back();
    Words words = Split(line);
    if (words.empty()) continue;
    if (words[0] == "quit") break;
    Answer answer;
    Dispatch(words, &answer);
    std::string reply = answer.ok ? "OK" : "ERR";
    for (const std::string& field : answer.fields) reply += " " + field;
    std::fputs(reply.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
  return 0;
}
