// qelbrowser: see BrowserOptions.cc (usageText) for the command line.
#include "BrowserOptions.h"
#include "ConsolePage.h"
#include "PageSession.h"

#include <QApplication>
#include <QFile>
#include <QWebSettings>
#include <QWebView>

#include <cstdio>

namespace {

QStringList argumentList(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  return arguments;
}

}  // namespace

int main(int argc, char** argv) {
  const ParsedCommandLine commandLine = parseCommandLine(argumentList(argc, argv));
  if (commandLine.helpRequested) {
    std::fputs(usageText().toUtf8().constData(), stdout);
    return static_cast<int>(ExitStatus::Done);
  }
  if (!commandLine.options) {
    std::fprintf(stderr, "qelbrowser: %s\n\n%s", commandLine.error.toUtf8().constData(),
                 usageText().toUtf8().constData());
    return static_cast<int>(ExitStatus::BadArguments);
  }
  const BrowserOptions& options = *commandLine.options;

  // QtWebKit reads this variable when it first builds its plug-in database.
  if (!options.pluginDir.isEmpty()) {
    qputenv("QTWEBKIT_PLUGIN_PATH", QFile::encodeName(options.pluginDir));
  }

  // Without this check Qt aborts with a long message about platform plug-ins.
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
      qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    std::fputs("qelbrowser: no display; run it as: xvfb-run -a qelbrowser ...\n", stderr);
    return static_cast<int>(ExitStatus::BadArguments);
  }

  // Qt would also take its own options (-platform, -title, ...) from argv,
  // including ones that are really values of ours, so it sees only the name.
  int qtArgc = 1;
  QApplication app(qtArgc, argv);
  QWebSettings* settings = QWebSettings::globalSettings();
  settings->setAttribute(QWebSettings::PluginsEnabled, true);
  settings->setAttribute(QWebSettings::JavascriptEnabled, true);

  QWebView view;
  view.setPage(new ConsolePage(&view));  // owned by the view (Qt parent)
  view.resize(options.viewportSize);
  view.page()->setViewportSize(options.viewportSize);
  view.show();

  const ExitStatus status = runPageSession(view, options);
  if (options.keepOpen && view.isVisible()) {
    std::fputs("qelbrowser: the window stays open; close it to end\n", stderr);
    app.exec();  // until the last window is closed
  }
  return static_cast<int>(status);
}
