// One run of the shell: load the page, then carry out the steps of the
// command line in order.
#pragma once

#include "BrowserOptions.h"

class QWebView;

enum class ExitStatus : int {
  Done = 0,
  BadArguments = 1,
  LoadFailed = 2,
  TimedOut = 3,
  ScreenshotFailed = 4,
  PageFailed = 5,
  CommandFailed = 6,
};

ExitStatus runPageSession(QWebView& view, const BrowserOptions& options);
