#include "BrowserOptions.h"

#include <QCommandLineParser>
#include <QDir>
#include <QRegularExpression>

namespace {

const QString kUsage = QStringLiteral(
    "usage: qelbrowser [--plugin-dir DIR] [--wait JS] [--print JS] [--eval JS]...\n"
    "                  [--screenshot FILE.png] [--timeout MS] [--size WxH] URL-or-file\n"
    "\n"
    "Loads a page in QtWebKit with NPAPI plug-ins and JavaScript enabled.\n"
    "\n"
    "  --plugin-dir DIR       folder to load NPAPI plug-ins from (sets\n"
    "                         QTWEBKIT_PLUGIN_PATH; default: that variable)\n"
    "  --wait JS              after loading, evaluate JS every 50 ms until it is truthy\n"
    "  --eval JS              evaluate JS once after the wait (repeatable, in order)\n"
    "  --print JS             print the value of JS on stdout: strings as they are,\n"
    "                         arrays and objects as JSON, null as \"null\", undefined\n"
    "                         (and NaN) as \"undefined\"\n"
    "  --screenshot FILE.png  save the page as rendered in the viewport\n"
    "  --timeout MS           limit for loading plus waiting (default 20000)\n"
    "  --size WxH             viewport size (default 1024x768)\n"
    "  -h, --help             show this text\n"
    "\n"
    "A URL-or-file without a scheme is a local file, relative to the current folder.\n"
    "JavaScript console messages and alerts go to stderr.\n"
    "Under no display, run it through xvfb-run -a.\n"
    "\n"
    "Exit status: 0 done, 1 bad arguments, 2 page failed to load,\n"
    "3 timed out, 4 screenshot could not be written.\n");

std::optional<QSize> parseSize(const QString& text) {
  static const QRegularExpression pattern(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$"));
  const auto match = pattern.match(text);
  if (!match.hasMatch()) return std::nullopt;
  const QSize size(match.captured(1).toInt(), match.captured(2).toInt());
  if (size.isEmpty()) return std::nullopt;
  return size;
}

bool hasScheme(const QString& text) {
  static const QRegularExpression pattern(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
  return pattern.match(text).hasMatch();
}

}  // namespace

QString usageText() { return kUsage; }

ParsedCommandLine parseCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, {});
  const QCommandLineOption pluginDir(QStringLiteral("plugin-dir"), {}, QStringLiteral("DIR"));
  const QCommandLineOption wait(QStringLiteral("wait"), {}, QStringLiteral("JS"));
  const QCommandLineOption print(QStringLiteral("print"), {}, QStringLiteral("JS"));
  const QCommandLineOption eval(QStringLiteral("eval"), {}, QStringLiteral("JS"));
  const QCommandLineOption screenshot(QStringLiteral("screenshot"), {}, QStringLiteral("FILE"));
  const QCommandLineOption timeout(QStringLiteral("timeout"), {}, QStringLiteral("MS"));
  const QCommandLineOption size(QStringLiteral("size"), {}, QStringLiteral("WxH"));
  parser.addOptions({help, pluginDir, wait, print, eval, screenshot, timeout, size});

  ParsedCommandLine result;
  if (!parser.parse(arguments)) {
    result.error = parser.errorText();
    return result;
  }
  if (parser.isSet(help)) {
    result.helpRequested = true;
    return result;
  }
  for (const auto* single : {&pluginDir, &wait, &print, &screenshot, &timeout, &size}) {
    if (parser.values(*single).size() > 1) {
      result.error = QStringLiteral("--%1 given more than once").arg(single->names().first());
      return result;
    }
  }
  const QStringList positional = parser.positionalArguments();
  if (positional.size() != 1) {
    result.error = positional.isEmpty() ? QStringLiteral("no URL or file given")
                                        : QStringLiteral("more than one URL or file given");
    return result;
  }

  BrowserOptions options;
  if (parser.isSet(pluginDir)) {
    const QDir dir(parser.value(pluginDir));
    if (!dir.exists()) {
      result.error = QStringLiteral("plug-in folder %1 does not exist").arg(dir.path());
      return result;
    }
    options.pluginDir = dir.absolutePath();
  }
  options.waitCondition = parser.value(wait);
  options.printExpression = parser.value(print);
  options.evalScripts = parser.values(eval);
  options.screenshotPath = parser.value(screenshot);
  if (parser.isSet(timeout)) {
    bool ok = false;
    options.timeoutMs = parser.value(timeout).toInt(&ok);
    if (!ok || options.timeoutMs <= 0) {
      result.error = QStringLiteral("--timeout needs a positive number of milliseconds");
      return result;
    }
  }
  if (parser.isSet(size)) {
    const auto viewport = parseSize(parser.value(size));
    if (!viewport) {
      result.error = QStringLiteral("--size needs WIDTHxHEIGHT, for example 1024x768");
      return result;
    }
    options.viewportSize = *viewport;
  }

  const QString target = positional.first();
  options.url = hasScheme(target) ? QUrl(target, QUrl::TolerantMode)
                                  : QUrl::fromLocalFile(QDir::current().absoluteFilePath(target));
  if (!options.url.isValid()) {
    result.error = QStringLiteral("%1 is not a valid URL").arg(target);
    return result;
  }
  result.options = std::move(options);
  return result;
}
