#include "replay_test_support.h"

#include <cstdio>

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

namespace {

// A coordinate as the box received it: single precision, every digit.
std::string Num(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(static_cast<float>(v)));
  return text;
}

std::string Corners(double x1, double y1, double x2, double y2) {
  return Num(x1) + "," + Num(y1) + "," + Num(x2) + "," + Num(y2);
}
std::string RgbText(forms::Rgb c) {
  return " rgb(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) +
         ")";
}

}  // namespace

std::string Describe(const forms::DrawOp& op) {
  using Kind = forms::DrawOp::Kind;
  const std::string rgb = RgbText(op.rgb);
  const std::string corners = Corners(op.x1, op.y1, op.x2, op.y2);
  switch (op.kind) {
    case Kind::Cls:
      return "cls";
    case Kind::Width:
      return "width " + std::to_string(op.width);
    case Kind::Line:
      return "line " + corners + rgb;
    case Kind::Box:
      return (op.filled ? "filled box " : "box ") + corners + rgb;
    case Kind::Circle:
      return "circle " + Num(op.x1) + "," + Num(op.y1) + " r=" + Num(op.r) + rgb;
    case Kind::Point:
      return "point " + Num(op.x1) + "," + Num(op.y1) + rgb;
  }
  return "unknown";
}

std::vector<std::string> Describe(const std::vector<forms::DrawOp>& ops) {
  std::vector<std::string> out;
  for (const forms::DrawOp& op : ops) out.push_back(Describe(op));
  return out;
}

std::vector<std::string> Describe(const QJsonArray& ops) {
  using Kind = forms::DrawOp::Kind;
  const std::pair<const char*, Kind> kinds[] = {{"cls", Kind::Cls},       {"width", Kind::Width},
                                                {"line", Kind::Line},     {"box", Kind::Box},
                                                {"circle", Kind::Circle}, {"point", Kind::Point}};
  std::vector<std::string> out;
  for (const auto& value : ops) {
    const QJsonObject o = value.toObject();
    const QString name = o["op"].toString();
    forms::DrawOp op;
    bool known = false;
    for (const auto& [text, kind] : kinds) {
      if (name == text) op.kind = kind, known = true;
    }
    // Circles and points have their centre in x and y, the others x1 and y1.
    op.x1 = static_cast<float>(o.contains("x") ? o["x"].toDouble() : o["x1"].toDouble());
    op.y1 = static_cast<float>(o.contains("y") ? o["y"].toDouble() : o["y1"].toDouble());
    op.x2 = static_cast<float>(o["x2"].toDouble());
    op.y2 = static_cast<float>(o["y2"].toDouble());
    op.r = static_cast<float>(o["r"].toDouble());
    op.width = o["w"].toInt();
    const QJsonArray c = o["rgb"].toArray();
    op.rgb = forms::RGB(c[0].toInt(), c[1].toInt(), c[2].toInt());
    op.filled = o["filled"].toBool();
    out.push_back(known ? Describe(op) : "unknown op " + name.toStdString());
  }
  return out;
}

std::string LineText(double x1, double y1, double x2, double y2, forms::Rgb rgb) {
  return "line " + Corners(x1, y1, x2, y2) + RgbText(rgb);
}

std::string BoxText(double x1, double y1, double x2, double y2, forms::Rgb rgb) {
  return "filled box " + Corners(x1, y1, x2, y2) + RgbText(rgb);
}

std::vector<forms::DrawOp> OpsOf(const std::vector<forms::DrawOp>& ops, forms::DrawOp::Kind kind,
                                 forms::Rgb colour) {
  std::vector<forms::DrawOp> out;
  for (const forms::DrawOp& op : ops) {
    if (op.kind == kind && op.rgb == colour) out.push_back(op);
  }
  return out;
}

}  // namespace testing_support
