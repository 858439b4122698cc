// The shell command of a --run step. It runs beside the page: the caller
// keeps the event loop going (page scripts, plug-ins) until it has ended.
#pragma once

#include <QProcess>
#include <QString>

class StepCommand {
 public:
  // Starts `command` with /bin/sh, its output going to ours; `value` and
  // `window` reach it as QELBROWSER_VALUE and QELBROWSER_WINDOW.
  StepCommand(const QString& command, const QString& value, quint64 window);
  ~StepCommand();
  StepCommand(const StepCommand&) = delete;
  StepCommand& operator=(const StepCommand&) = delete;

  bool running() const;
  // Exited by itself with status 0.
  bool succeeded() const;
  // Why it did not succeed, for the user.
  QString failureText() const;

 private:
  QProcess process_;
};
