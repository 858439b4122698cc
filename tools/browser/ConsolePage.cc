#include "ConsolePage.h"

#include <QFileInfo>
#include <QUrl>

#include <cstdio>

namespace {

void writeLine(const QString& text) {
  std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

}  // namespace

ConsolePage::ConsolePage(QObject* parent) : QWebPage(parent) {}

void ConsolePage::javaScriptConsoleMessage(const QString& message, int lineNumber,
                                           const QString& sourceID) {
  const QString source = QFileInfo(QUrl(sourceID).path()).fileName();
  if (source.isEmpty()) {
    writeLine(QStringLiteral("console: %1").arg(message));
  } else {
    writeLine(QStringLiteral("console: %1:%2: %3").arg(source).arg(lineNumber).arg(message));
  }
}

void ConsolePage::javaScriptAlert(QWebFrame*, const QString& message) {
  writeLine(QStringLiteral("alert: %1").arg(message));
}

// Nobody is there to answer, so the page sees "cancel".
bool ConsolePage::javaScriptConfirm(QWebFrame*, const QString& message) {
  writeLine(QStringLiteral("confirm (answered no): %1").arg(message));
  return false;
}

bool ConsolePage::javaScriptPrompt(QWebFrame*, const QString& message, const QString&,
                                   QString*) {
  writeLine(QStringLiteral("prompt (cancelled): %1").arg(message));
  return false;
}
