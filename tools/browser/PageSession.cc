#include "PageSession.h"

#include "ScriptValueText.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
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

bool saveScreenshot(QWebPage& page, const QSize& size, const QString& path) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  QPainter painter(&image);
  page.mainFrame()->render(&painter);
  painter.end();
  return image.save(path, "PNG");
}

}  // namespace

ExitStatus runPageSession(QWebView& view, const BrowserOptions& options) {
  QWebPage& page = *view.page();
  QWebFrame& frame = *page.mainFrame();
  const QDeadlineTimer deadline(options.timeoutMs);

  std::optional<bool> loaded;
  const auto connection = QObject::connect(&page, &QWebPage::loadFinished, [&loaded](bool ok) {
    if (!loaded) loaded = ok;
  });
  view.load(options.url);
  const bool loadEnded = waitUntil([&loaded] { return loaded.has_value(); }, deadline);
  QObject::disconnect(connection);
  if (!loadEnded) {
    reportError(QStringLiteral("timed out after %1 ms loading %2")
                    .arg(options.timeoutMs)
                    .arg(options.url.toString()));
    return ExitStatus::TimedOut;
  }
  if (!*loaded) {
    reportError(QStringLiteral("could not load %1").arg(options.url.toString()));
    return ExitStatus::LoadFailed;
  }

  if (!options.waitCondition.isEmpty()) {
    const bool met = waitUntil(
        [&] { return isTruthy(frame.evaluateJavaScript(options.waitCondition)); }, deadline);
    if (!met) {
      reportError(QStringLiteral("timed out after %1 ms waiting for: %2")
                      .arg(options.timeoutMs)
                      .arg(options.waitCondition));
      return ExitStatus::TimedOut;
    }
  }

  for (const QString& script : options.evalScripts) frame.evaluateJavaScript(script);

  if (!options.printExpression.isEmpty()) {
    const QString text = scriptValueText(frame.evaluateJavaScript(options.printExpression));
    std::fprintf(stdout, "%s\n", text.toUtf8().constData());
    std::fflush(stdout);
  }

  if (!options.screenshotPath.isEmpty() &&
      !saveScreenshot(page, options.viewportSize, options.screenshotPath)) {
    reportError(QStringLiteral("could not write screenshot %1").arg(options.screenshotPath));
    return ExitStatus::ScreenshotFailed;
  }
  return ExitStatus::Done;
}
