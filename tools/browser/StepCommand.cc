#include "StepCommand.h"

#include <QProcessEnvironment>

StepCommand::StepCommand(const QString& command, const QString& value, quint64 window) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QELBROWSER_VALUE"), value);
  environment.insert(QStringLiteral("QELBROWSER_WINDOW"), QString::number(window));
  process_.setProcessEnvironment(environment);
  process_.setProcessChannelMode(QProcess::ForwardedChannels);
  process_.setInputChannelMode(QProcess::ForwardedInputChannel);
  process_.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
}

// A command still running when the run ends (timed out) does not outlive it.
StepCommand::~StepCommand() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.kill();
  process_.waitForFinished();
}

bool StepCommand::running() const { return process_.state() != QProcess::NotRunning; }

bool StepCommand::succeeded() const {
  return !running() && process_.error() == QProcess::UnknownError &&
         process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
}

QString StepCommand::failureText() const {
  if (process_.error() == QProcess::FailedToStart) return QStringLiteral("could not be started");
  if (process_.exitStatus() == QProcess::CrashExit) return QStringLiteral("was killed by a signal");
  return QStringLiteral("exited with status %1").arg(process_.exitCode());
}
