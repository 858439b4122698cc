// One run of the shell: load the page, wait for the page's condition, run the
// scripts, print the result and take the screenshot the options ask for.
#pragma once

#include "BrowserOptions.h"

class QWebView;

enum class ExitStatus : int {
  Done = 0,
  BadArguments = 1,
  LoadFailed = 2,
  TimedOut = 3,
  ScreenshotFailed = 4,
};

ExitStatus runPageSession(QWebView& view, const BrowserOptions& options);
