// The browser's window record, whose layout differs between platforms: on X11
// it carries the display information (ws_info) before its type. Included by
// the NPAPI declarations, inside their extern "C" block.
#pragma once

typedef struct _NPWindow {
  void* window;  // X11: the window id; Win32: the HWND
  int32_t x;
  int32_t y;
  uint32_t width;
  uint32_t height;
  NPRect clipRect;
#if !defined(_WIN32)
  void* ws_info;  // NPSetWindowCallbackStruct*
#endif
  NPWindowType type;
} NPWindow;
