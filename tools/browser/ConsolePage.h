// A QWebPage for a shell without a user: console messages and dialogs go to
// stderr, so a page never blocks on a modal box and its log shows in test output.
#pragma once

#include <QWebPage>

class ConsolePage : public QWebPage {
 public:
  explicit ConsolePage(QObject* parent);

 protected:
  void javaScriptConsoleMessage(const QString& message, int lineNumber,
                                const QString& sourceID) override;
  void javaScriptAlert(QWebFrame* frame, const QString& message) override;
  bool javaScriptConfirm(QWebFrame* frame, const QString& message) override;
  bool javaScriptPrompt(QWebFrame* frame, const QString& message, const QString& defaultValue,
                        QString* result) override;
};
