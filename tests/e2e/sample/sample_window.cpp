// A small window program that the end-to-end harness tests itself against.
//
// Its main window ("LintaroSampleClass") reports what it received in its caption, so a test can
// see that keys, clicks and commands arrived: a click gives "click X Y", a character "char C...",
// command IDM_SAMPLE_OPEN_DIALOG opens a modal dialog whose OK copies the edit text, the combo and
// list selections and the check state into the caption. The exit code is the first argument.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "sample_resource.h"

namespace {

std::string typed_characters;

void SetStatus(HWND dialog, const char* event, int id) {
  char text[128];
  std::snprintf(text, sizeof text, "%s %d", event, id);
  SetDlgItemTextA(dialog, IDC_SAMPLE_STATUS, text);
}

INT_PTR CALLBACK SampleDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      SetDlgItemTextA(dialog, IDC_SAMPLE_EDIT, "Начало");
      const char* colours[] = {"Червен", "Зелен", "Син"};
      for (const char* colour : colours) {
        SendDlgItemMessageA(dialog, IDC_SAMPLE_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(colour));
        SendDlgItemMessageA(dialog, IDC_SAMPLE_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(colour));
      }
      SendDlgItemMessageA(dialog, IDC_SAMPLE_COMBO, CB_SETCURSEL, 0, 0);
      return TRUE;
    }
    case WM_COMMAND: {
      int id = LOWORD(wparam), code = HIWORD(wparam);
      if (id == IDC_SAMPLE_COMBO && code == CBN_SELCHANGE) SetStatus(dialog, "combo", id);
      if (id == IDC_SAMPLE_LIST && code == LBN_SELCHANGE) SetStatus(dialog, "list", id);
      if (id == IDC_SAMPLE_CHECK && code == BN_CLICKED) SetStatus(dialog, "check", id);
      if (id == IDOK) {
        char edit[128] = {}, caption[256];
        GetDlgItemTextA(dialog, IDC_SAMPLE_EDIT, edit, sizeof edit);
        int combo = static_cast<int>(SendDlgItemMessageA(dialog, IDC_SAMPLE_COMBO, CB_GETCURSEL, 0, 0));
        int list = static_cast<int>(SendDlgItemMessageA(dialog, IDC_SAMPLE_LIST, LB_GETCURSEL, 0, 0));
        int check = IsDlgButtonChecked(dialog, IDC_SAMPLE_CHECK);
        std::snprintf(caption, sizeof caption, "ok %s|%d|%d|%d", edit, combo, list, check);
        SetWindowTextA(GetParent(dialog), caption);
        EndDialog(dialog, IDOK);
      }
      if (id == IDCANCEL) {
        SetWindowTextA(GetParent(dialog), "cancel");
        EndDialog(dialog, IDCANCEL);
      }
      return TRUE;
    }
  }
  return FALSE;
}

LRESULT CALLBACK SampleWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  char caption[128];
  switch (message) {
    case WM_LBUTTONDOWN:
      std::snprintf(caption, sizeof caption, "click %d %d", static_cast<short>(LOWORD(lparam)),
                    static_cast<short>(HIWORD(lparam)));
      SetWindowTextA(window, caption);
      return 0;
    case WM_CHAR:
      if (wparam < 0x20) return 0;  // control characters of chords such as Ctrl+P
      typed_characters += static_cast<char>(wparam);
      SetWindowTextA(window, ("char " + typed_characters).c_str());
      return 0;
    case WM_KEYDOWN:
      if (wparam == 'P' && (GetKeyState(VK_CONTROL) & 0x8000)) SetWindowTextA(window, "ctrl+p");
      return 0;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDM_SAMPLE_OPEN_DIALOG)
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SAMPLE_DIALOG), window,
                        SampleDialogProc, 0);
      if (LOWORD(wparam) == IDM_SAMPLE_MESSAGE)
        MessageBoxA(window, "Съобщение за проба", "Проба", MB_OK);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int show) {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = SampleWindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = "LintaroSampleClass";
  if (!RegisterClassA(&window_class)) return 1;
  HWND window = CreateWindowA("LintaroSampleClass", "Пробен прозорец", WS_OVERLAPPEDWINDOW, 100, 80,
                              400, 300, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, show);
  UpdateWindow(window);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return std::atoi(command_line);
}
