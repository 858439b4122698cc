// The command line of qelbrowser, parsed before any Qt application exists so
// that the plug-in folder can reach QtWebKit's plug-in database in time.
#pragma once

#include <QSize>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

struct BrowserOptions {
  QString pluginDir;        // empty: keep QTWEBKIT_PLUGIN_PATH as it is
  QString waitCondition;    // empty: done as soon as the page has loaded
  QString printExpression;  // empty: print nothing
  QStringList evalScripts;
  QString screenshotPath;   // empty: no screenshot
  int timeoutMs = 20000;
  QSize viewportSize{1024, 768};
  QUrl url;
};

struct ParsedCommandLine {
  std::optional<BrowserOptions> options;  // set when the arguments were valid
  bool helpRequested = false;
  QString error;  // why the arguments were rejected
};

ParsedCommandLine parseCommandLine(const QStringList& arguments);
QString usageText();
