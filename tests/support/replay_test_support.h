// Helpers for tests that drive the program through a replay session.
#pragma once

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>
#include <string>
#include <vector>

#include "platform/forms/forms.h"
#include "replay_session.h"

namespace testing_support {

using Calls = std::vector<std::string>;

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

// Drawing operations as text, e.g. "filled box 0,135,4297.5,405 rgb(0,200,200)",
// coordinates exactly as the box received them; from a box's record or from
// a snapshot's draw list, so the two compare alike.
std::string Describe(const forms::DrawOp& op);
std::vector<std::string> Describe(const std::vector<forms::DrawOp>& ops);
std::vector<std::string> Describe(const QJsonArray& ops);
// A line's or a filled box's text as Describe gives it, coordinates as float.
std::string LineText(double x1, double y1, double x2, double y2, forms::Rgb rgb);
std::string BoxText(double x1, double y1, double x2, double y2, forms::Rgb rgb);
// The recorded operations of one kind and colour.
std::vector<forms::DrawOp> OpsOf(const std::vector<forms::DrawOp>& ops, forms::DrawOp::Kind kind,
                                 forms::Rgb colour);

// A test case with the main window loaded and the load's engine calls
// taken away.
struct LoadedMainWindow : ::testing::Test {
  void SetUp() override {
    session.Run("load Form1");
    session.Snapshot();
  }
  // The engine calls that running the script makes.
  std::vector<std::string> CallsAfter(const std::string& script) {
    session.Run(script);
    return CallList(session.Snapshot());
  }
  replay::Session session;
};

}  // namespace testing_support
