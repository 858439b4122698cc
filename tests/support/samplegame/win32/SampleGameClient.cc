// The sample game's client program for Windows, started by the launcher in
// the game's install folder with the player's parameter string as its whole
// command line. It records the command line as it came in
// .\received-params.txt, then opens its main
// window with the title and class that .\config.ini names in [GameLaunch]
// (WndTitle, WndClassName) and runs until:
//   the window is asked to close (WM_CLOSE)   writes .\closed.txt, exit 0
//   the window is destroyed otherwise          exit 0
// Once its window has a parent (the plug-in's window), it greets the page
// through qelchannel.dll as the X11 client does (PageGreeting.h) and shows
// "Page says: <value>" under its title.
// The parameter string may hold:
//   webinfo=nowindow     never open a window, and end after two minutes
//   webinfo=delayms:N    wait N ms before opening the window
#include <windows.h>

#include <cstdint>
#include <string>

#include "ClientFiles.h"
#include "PageGreeting.h"

namespace {

constexpr DWORD kWindowlessLifeMs = 120000;
// How often the window looks for a new parent: Windows tells a window of
// SetParent only through the style changes that usually come with it.
constexpr UINT kParentCheckMs = 50;
constexpr UINT_PTR kParentTimer = 1;

struct TClient {
  std::string Title;
  sample::TPageGreeting Greeting;
  HWND Parent = nullptr;
  int ExitCode = 0;
};

TClient* g_client = nullptr;

void Paint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  TextOutA(dc, 10, 10, g_client->Title.data(), static_cast<int>(g_client->Title.size()));
  const std::string& says = g_client->Greeting.PageSays();
  if (!says.empty()) TextOutA(dc, 10, 30, says.data(), static_cast<int>(says.size()));
  EndPaint(window, &paint);
}

// A parent other than the desktop is the plug-in's window: the page is
// asked through it, once for each new parent until it answers.
void CheckParent(HWND window) {
  HWND parent = GetAncestor(window, GA_PARENT);
  if (parent == GetDesktopWindow()) parent = nullptr;
  if (parent == g_client->Parent) return;
  g_client->Parent = parent;
  if (parent != nullptr)
    g_client->Greeting.Ask(reinterpret_cast<uintptr_t>(window), reinterpret_cast<uintptr_t>(parent));
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      if (wparam == kParentTimer) CheckParent(window);
      return 0;
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_CLOSE:
      if (!sample::WriteWhole("closed.txt", "closed\n")) g_client->ExitCode = 2;
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(g_client->ExitCode);
      return 0;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

HWND OpenMainWindow(const std::string& title, const std::string& class_name) {
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = &WindowProc;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  window_class.lpszClassName = class_name.c_str();
  if (RegisterClassA(&window_class) == 0) return nullptr;
  // The title stands in config.ini as it should be shown; the tests keep to
  // ASCII, which reads the same in every code page.
  HWND window = CreateWindowExA(0, class_name.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 640, 480, nullptr, nullptr, window_class.hInstance, nullptr);
  if (window == nullptr) return nullptr;
  SetTimer(window, kParentTimer, kParentCheckMs, nullptr);
  ShowWindow(window, SW_SHOWNORMAL);
  return window;
}

// Messages are dispatched (the channel's replies come as messages too), and
// the reply is taken whenever the channel's event says something arrived.
int RunWindow(HWND window) {
  for (;;) {
    HANDLE channel = reinterpret_cast<HANDLE>(static_cast<intptr_t>(g_client->Greeting.WaitHandle()));
    const int remaining = g_client->Greeting.RemainingMs();
    const DWORD handles = channel != INVALID_HANDLE_VALUE ? 1 : 0;
    MsgWaitForMultipleObjects(handles, &channel, FALSE, remaining < 0 ? INFINITE : static_cast<DWORD>(remaining),
                              QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return static_cast<int>(message.wParam);
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (g_client->Greeting.TakeReply()) InvalidateRect(window, nullptr, TRUE);
  }
}

}  // namespace

int main() {
  // The command line holds no program name: it is read whole.
  const std::string parameters = GetCommandLineA();
  if (!sample::WriteWhole("received-params.txt", parameters)) return 2;

  if (sample::AsksForNoWindow(parameters)) {
    Sleep(kWindowlessLifeMs);
    return 0;
  }
  if (const long delay = sample::DelayMs(parameters); delay > 0) Sleep(static_cast<DWORD>(delay));

  TClient client;
  g_client = &client;
  client.Title = sample::IniValue("config.ini", "GameLaunch", "WndTitle");
  HWND window = OpenMainWindow(client.Title, sample::IniValue("config.ini", "GameLaunch", "WndClassName"));
  if (window == nullptr) return 1;
  const int exit_code = RunWindow(window);
  g_client = nullptr;
  return exit_code;
}
