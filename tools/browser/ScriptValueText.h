// How a value returned by QWebFrame::evaluateJavaScript is printed: one line
// that a test can compare with an expected text.
#pragma once

#include <QString>
#include <QVariant>

QString scriptValueText(const QVariant& value);
