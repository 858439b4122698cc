#include "PageSession.h"

#include "ScriptValueText.h"
#include "StepCommand.h"
#include "WindowShot.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWebFrame>
#include <QWebPage>
#include <QWebView>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>

namespace {

constexpr int kPollIntervalMs = 50;
// What a page changed when its condition came true is painted on a later
// turn of the loop, and the game paints its window in a process of its own.
constexpr int kPaintSettleMs = 250;

void reportError(const QString& text) {
  std::fprintf(stderr, "qelbrowser: %s\n", text.toUtf8().constData());
}

// Keeps the event loop running (page scripts, timers, plug-ins) until done()
// holds or the deadline passes.
bool waitUntil(const std::function<bool()>& done, const QDeadlineTimer& deadline) {
  while (!done()) {
    if (deadline.hasExpired()) return false;
    QEventLoop loop;
    const auto step = std::clamp<qint64>(deadline.remainingTime(), 0, kPollIntervalMs);
    QTimer::singleShot(static_cast<int>(step), &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

bool isTruthy(const QVariant& value) {
  if (!value.isValid() || value.isNull()) return false;
  switch (value.type()) {
    case QVariant::Bool:
      return value.toBool();
    case QVariant::Double:
    case QVariant::Int:
    case QVariant::UInt:
    case QVariant::LongLong:
    case QVariant::ULongLong: {
      const double number = value.toDouble();
      return number == number && number != 0.0;  // NaN is falsy
    }
    case QVariant::String:
      return !value.toString().isEmpty();
    default:
      return true;  // objects, arrays, dates
  }
}

class Session {
 public:
  Session(QWebView& view, const BrowserOptions& options)
      : view_(view), frame_(*view.page()->mainFrame()), options_(options), deadline_(options.timeoutMs) {}

  ExitStatus run() {
    if (const auto status = load()) return *status;
    for (const PageStep& step : options_.steps) {
      if (const auto status = carryOut(step)) return *status;
    }
    return ExitStatus::Done;
  }

 private:
  std::optional<ExitStatus> load() {
    std::optional<bool> loaded;
    const auto connection = QObject::connect(view_.page(), &QWebPage::loadFinished, [&loaded](bool ok) {
      if (!loaded) loaded = ok;
    });
    view_.load(options_.url);
    const bool ended = waitUntil([&loaded] { return loaded.has_value(); }, deadline_);
    QObject::disconnect(connection);
    if (!ended) return timedOut(QStringLiteral("loading %1").arg(options_.url.toString()));
    if (!*loaded) {
      reportError(QStringLiteral("could not load %1").arg(options_.url.toString()));
      return ExitStatus::LoadFailed;
    }
    return std::nullopt;
  }

  std::optional<ExitStatus> carryOut(const PageStep& step) {
    QVariant value;
    if (!step.condition.isEmpty()) {
      if (const auto status = awaitCondition(step.condition, &value)) return *status;
    }
    switch (step.action) {
      case PageStep::Action::None:
        break;
      case PageStep::Action::Eval:
        frame_.evaluateJavaScript(step.text);
        break;
      case PageStep::Action::Print: {
        const QString text = scriptValueText(frame_.evaluateJavaScript(step.text));
        std::fprintf(stdout, "%s\n", text.toUtf8().constData());
        std::fflush(stdout);
        break;
      }
      case PageStep::Action::Screenshot:
        return screenshot(step.text);
      case PageStep::Action::Run:
        return runCommand(step.text, scriptValueText(value));
    }
    return std::nullopt;
  }

  std::optional<ExitStatus> awaitCondition(const QString& condition, QVariant* value) {
    std::optional<QString> failure;
    const bool met = waitUntil(
        [&] {
          if (!options_.failCondition.isEmpty()) {
            const QVariant failed = frame_.evaluateJavaScript(options_.failCondition);
            if (isTruthy(failed)) failure = scriptValueText(failed);
          }
          if (failure) return true;
          *value = frame_.evaluateJavaScript(condition);
          return isTruthy(*value);
        },
        deadline_);
    if (failure) {
      reportError(QStringLiteral("the page failed: %1").arg(*failure));
      return ExitStatus::PageFailed;
    }
    if (!met) return timedOut(QStringLiteral("waiting for: %1").arg(condition));
    return std::nullopt;
  }

  std::optional<ExitStatus> screenshot(const QString& path) {
    const QDeadlineTimer settle(std::min<qint64>(kPaintSettleMs, deadline_.remainingTime()));
    waitUntil([] { return false; }, settle);
    if (saveWindowShot(view_, path)) return std::nullopt;
    reportError(QStringLiteral("could not take or write screenshot %1").arg(path));
    return ExitStatus::ScreenshotFailed;
  }

  std::optional<ExitStatus> runCommand(const QString& command, const QString& value) {
    StepCommand process(command, value, static_cast<quint64>(view_.winId()));
    if (!waitUntil([&process] { return !process.running(); }, deadline_)) {
      return timedOut(QStringLiteral("the command: %1").arg(command));
    }
    if (process.succeeded()) return std::nullopt;
    reportError(QStringLiteral("the command %1: %2").arg(process.failureText(), command));
    return ExitStatus::CommandFailed;
  }

  ExitStatus timedOut(const QString& what) {
    reportError(QStringLiteral("timed out after %1 ms %2").arg(options_.timeoutMs).arg(what));
    return ExitStatus::TimedOut;
  }

  QWebView& view_;
  QWebFrame& frame_;
  const BrowserOptions& options_;
  const QDeadlineTimer deadline_;
};

}  // namespace

ExitStatus runPageSession(QWebView& view, const BrowserOptions& options) {
  return Session(view, options).run();
}
