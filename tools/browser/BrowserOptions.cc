#include "BrowserOptions.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>

#include <functional>

namespace {

const QString kUsage = QStringLiteral(
    "usage: qelbrowser [OPTION]... [STEP]... URL-or-file\n"
    "\n"
    "Loads a page in QtWebKit with NPAPI plug-ins and JavaScript enabled, then\n"
    "carries out the steps in the order given.\n"
    "\n"
    "Options:\n"
    "  --plugin-dir DIR       folder to load NPAPI plug-ins from (sets\n"
    "                         QTWEBKIT_PLUGIN_PATH; default: that variable)\n"
    "  --timeout MS           limit for loading plus all steps (default 20000)\n"
    "  --size WxH             viewport size (default 1024x768)\n"
    "  --fail-when JS         end the run as soon as JS is truthy while a step\n"
    "                         waits, printing its value on stderr\n"
    "  --keep-open            after the steps (done or failed), leave the window\n"
    "                         open until it is closed\n"
    "  -h, --help             show this text\n"
    "\n"
    "Steps:\n"
    "  --wait JS              evaluate JS every 50 ms until it is truthy\n"
    "  --eval JS              evaluate JS once\n"
    "  --print JS             print the value of JS on stdout: strings as they are,\n"
    "                         arrays and objects as JSON, null as \"null\", undefined\n"
    "                         (and NaN) as \"undefined\"\n"
    "  --screenshot FILE.png  save the window as it shows now, taken from the X\n"
    "                         server: the plug-ins' own windows and the windows\n"
    "                         they hold are in it\n"
    "  --shot JS FILE.png     --wait JS, then --screenshot FILE.png\n"
    "  --run JS COMMAND       --wait JS, then run COMMAND with /bin/sh while the page\n"
    "                         goes on; the command finds the value of JS (as --print\n"
    "                         shows it) in $QELBROWSER_VALUE and the X id of the\n"
    "                         browser's window in $QELBROWSER_WINDOW\n"
    "\n"
    "Before a screenshot the page and other X clients get a quarter second to paint.\n"
    "A URL-or-file without a scheme is a local file, relative to the current folder.\n"
    "JavaScript console messages and alerts go to stderr.\n"
    "Under no display, run it through xvfb-run -a.\n"
    "\n"
    "Exit status: 0 done, 1 bad arguments, 2 page failed to load, 3 timed out,\n"
    "4 screenshot could not be taken or written, 5 the --fail-when condition held,\n"
    "6 a --run command failed.\n");

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

// An option's values and where they go; returns an error text or an empty one.
using Apply = std::function<QString(BrowserOptions&, const QStringList& values)>;

struct OptionRule {
  QString name;          // without the leading dashes
  QStringList valueNames;  // one entry per value the option takes
  bool repeatable;
  Apply apply;
};

QString setPluginDir(BrowserOptions& options, const QStringList& values) {
  const QDir dir(values[0]);
  if (!dir.exists()) return QStringLiteral("plug-in folder %1 does not exist").arg(dir.path());
  options.pluginDir = dir.absolutePath();
  return {};
}

QString setTimeout(BrowserOptions& options, const QStringList& values) {
  bool ok = false;
  options.timeoutMs = values[0].toInt(&ok);
  if (!ok || options.timeoutMs <= 0) return QStringLiteral("--timeout needs a positive number of milliseconds");
  return {};
}

QString setSize(BrowserOptions& options, const QStringList& values) {
  const auto viewport = parseSize(values[0]);
  if (!viewport) return QStringLiteral("--size needs WIDTHxHEIGHT, for example 1024x768");
  options.viewportSize = *viewport;
  return {};
}

Apply addStep(PageStep::Action action, bool waits) {
  return [action, waits](BrowserOptions& options, const QStringList& values) {
    PageStep step;
    step.action = action;
    if (waits) step.condition = values[0];
    if (action != PageStep::Action::None) step.text = values.last();
    options.steps.append(step);
    return QString();
  };
}

const QList<OptionRule>& optionRules() {
  using Action = PageStep::Action;
  const QString js = QStringLiteral("JS");
  static const QList<OptionRule> rules = {
      {QStringLiteral("plugin-dir"), {QStringLiteral("DIR")}, false, setPluginDir},
      {QStringLiteral("timeout"), {QStringLiteral("MS")}, false, setTimeout},
      {QStringLiteral("size"), {QStringLiteral("WxH")}, false, setSize},
      {QStringLiteral("fail-when"), {js}, false,
       [](BrowserOptions& options, const QStringList& values) {
         options.failCondition = values[0];
         return QString();
       }},
      {QStringLiteral("keep-open"), {}, false,
       [](BrowserOptions& options, const QStringList&) {
         options.keepOpen = true;
         return QString();
       }},
      {QStringLiteral("wait"), {js}, true, addStep(Action::None, true)},
      {QStringLiteral("eval"), {js}, true, addStep(Action::Eval, false)},
      {QStringLiteral("print"), {js}, true, addStep(Action::Print, false)},
      {QStringLiteral("screenshot"), {QStringLiteral("FILE")}, true, addStep(Action::Screenshot, false)},
      {QStringLiteral("shot"), {js, QStringLiteral("FILE")}, true, addStep(Action::Screenshot, true)},
      {QStringLiteral("run"), {js, QStringLiteral("COMMAND")}, true, addStep(Action::Run, true)},
  };
  return rules;
}

const OptionRule* findRule(const QString& name) {
  for (const OptionRule& rule : optionRules()) {
    if (rule.name == name) return &rule;
  }
  return nullptr;
}

}  // namespace

QString usageText() { return kUsage; }

// Options take their values from the arguments that follow, whatever they
// look like, so a script may start with a dash. "--" ends the options.
ParsedCommandLine parseCommandLine(const QStringList& arguments) {
  ParsedCommandLine result;
  BrowserOptions options;
  QStringList positional;
  QSet<QString> seen;
  bool optionsEnded = false;
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
      positional << argument;
      continue;
    }
    if (argument == QLatin1String("--")) {
      optionsEnded = true;
      continue;
    }
    if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
      result.helpRequested = true;
      return result;
    }
    const OptionRule* rule = argument.startsWith(QLatin1String("--")) ? findRule(argument.mid(2)) : nullptr;
    if (rule == nullptr) {
      result.error = QStringLiteral("unknown option %1").arg(argument);
      return result;
    }
    if (!rule->repeatable && seen.contains(rule->name)) {
      result.error = QStringLiteral("%1 given more than once").arg(argument);
      return result;
    }
    seen.insert(rule->name);
    const int count = static_cast<int>(rule->valueNames.size());
    if (i + count >= arguments.size()) {
      result.error = QStringLiteral("%1 needs %2").arg(argument, rule->valueNames.join(QLatin1Char(' ')));
      return result;
    }
    const QString error = rule->apply(options, arguments.mid(i + 1, count));
    if (!error.isEmpty()) {
      result.error = error;
      return result;
    }
    i += count;
  }

  if (positional.size() != 1) {
    result.error = positional.isEmpty() ? QStringLiteral("no URL or file given")
                                        : QStringLiteral("more than one URL or file given");
    return result;
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
