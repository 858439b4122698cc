#include "ScriptValueText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

// QtWebKit hands back JavaScript null as a null QString, and undefined, NaN and
// values it cannot convert as an invalid QVariant.
namespace {

bool isScriptNull(const QVariant& value) {
  return value.type() == QVariant::String && value.toString().isNull();
}

bool isContainer(const QVariant& value) {
  return value.type() == QVariant::List || value.type() == QVariant::StringList ||
         value.type() == QVariant::Map;
}

QJsonValue toJson(const QVariant& value) {
  if (!value.isValid() || isScriptNull(value)) return QJsonValue::Null;
  if (value.type() == QVariant::Map) {
    QJsonObject object;
    const QVariantMap map = value.toMap();
    for (auto it = map.cbegin(); it != map.cend(); ++it) object.insert(it.key(), toJson(it.value()));
    return object;
  }
  if (value.type() == QVariant::List || value.type() == QVariant::StringList) {
    QJsonArray array;
    for (const QVariant& element : value.toList()) array.append(toJson(element));
    return array;
  }
  return QJsonValue::fromVariant(value);
}

}  // namespace

QString scriptValueText(const QVariant& value) {
  if (!value.isValid()) return QStringLiteral("undefined");
  if (isScriptNull(value)) return QStringLiteral("null");
  if (isContainer(value)) {
    const QJsonValue json = toJson(value);
    const QJsonDocument document =
        json.isArray() ? QJsonDocument(json.toArray()) : QJsonDocument(json.toObject());
    return QString::fromUtf8(document.toJson(QJsonDocument::Compact));
  }
  return value.toString();
}
