// Helpers for tests that drive the program through a replay session.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <string>
#include <vector>

#include "replay_session.h"

namespace testing_support {

// One engine call of a snapshot, as "fnSetRXFrequency(1500,0,0)" (arrays as
// "array"), with "=result" appended where the call has one.
std::vector<std::string> CallList(const QJsonObject& snapshot);
// The calls of one operation only.
std::vector<std::string> CallsOf(const QJsonObject& snapshot, const std::string& fn);
// A control's entry of a snapshot.
QJsonObject ControlOf(const QJsonObject& snapshot, const std::string& name);
std::string TextOf(const QJsonObject& snapshot, const std::string& name);
// A setting of a snapshot.
long long SettingOf(const QJsonObject& snapshot, const std::string& name);
// A picture box's drawing operations of a snapshot.
QJsonArray DrawOf(const QJsonObject& snapshot, const std::string& box);

}  // namespace testing_support
