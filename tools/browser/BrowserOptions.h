// The command line of qelbrowser, parsed before any Qt application exists so
// that the plug-in folder can reach QtWebKit's plug-in database in time.
#pragma once

#include <QList>
#include <QSize>
#include <QString>
#include <QUrl>

#include <optional>

// One step of a run, carried out after the page has loaded and after the
// steps before it: first wait until the condition holds (when there is one),
// then act.
struct PageStep {
  enum class Action {
    None,        // only the wait
    Eval,        // evaluate text as script
    Print,       // print the value of text as script on stdout
    Screenshot,  // save the window as shown to the file named by text
    Run,         // run text as a shell command
  };
  QString condition;  // empty: no wait
  Action action = Action::None;
  QString text;
};

struct BrowserOptions {
  QString pluginDir;      // empty: keep QTWEBKIT_PLUGIN_PATH as it is
  QString failCondition;  // empty: waits end only when met or timed out
  QList<PageStep> steps;
  int timeoutMs = 20000;
  QSize viewportSize{1024, 768};
  bool keepOpen = false;
  QUrl url;
};

struct ParsedCommandLine {
  std::optional<BrowserOptions> options;  // set when the arguments were valid
  bool helpRequested = false;
  QString error;  // why the arguments were rejected
};

ParsedCommandLine parseCommandLine(const QStringList& arguments);
QString usageText();
