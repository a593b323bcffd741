#include "replay_test_support.h"

namespace testing_support {

std::vector<std::string> CallList(const QJsonObject& snapshot) {
  std::vector<std::string> out;
  for (const auto& value : snapshot["engine_calls"].toArray()) {
    const QJsonObject call = value.toObject();
    std::string text = call["fn"].toString().toStdString() + "(";
    const QJsonArray args = call["args"].toArray();
    for (qsizetype i = 0; i < args.size(); ++i) {
      if (i) text += ",";
      text += args[i].isString() ? args[i].toString().toStdString()
                                 : std::to_string(args[i].toInteger());
    }
    text += ")";
    if (call.contains("result")) text += "=" + std::to_string(call["result"].toInteger());
    out.push_back(text);
  }
  return out;
}

std::vector<std::string> CallsOf(const QJsonObject& snapshot, const std::string& fn) {
  std::vector<std::string> out;
  for (const auto& call : CallList(snapshot)) {
    if (call.rfind(fn + "(", 0) == 0) out.push_back(call);
  }
  return out;
}

QJsonObject ControlOf(const QJsonObject& snapshot, const std::string& name) {
  return snapshot["controls"].toObject()[QString::fromStdString(name)].toObject();
}

std::string TextOf(const QJsonObject& snapshot, const std::string& name) {
  return ControlOf(snapshot, name)["text"].toString().toStdString();
}

long long SettingOf(const QJsonObject& snapshot, const std::string& name) {
  return snapshot["settings"].toObject()[QString::fromStdString(name)].toInteger();
}

QJsonArray DrawOf(const QJsonObject& snapshot, const std::string& box) {
  return snapshot["draw"].toObject()[QString::fromStdString(box)].toArray();
}

}  // namespace testing_support
