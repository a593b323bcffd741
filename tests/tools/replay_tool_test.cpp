// tonvista-replay as a program: script errors with their line, the files a
// dump writes, and an engine library that is missing or incomplete.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct Outcome {
  int status;
  QString errors;
};

Outcome RunReplay(const QString& script, const QStringList& extra = {}) {
  QTemporaryDir dir;
  const QString path = dir.filePath("script.txt");
  QFile file(path);
  file.open(QIODevice::WriteOnly);
  file.write(script.toUtf8());
  file.close();
  QProcess process;
  process.start(QCoreApplication::applicationDirPath() + "/tonvista-replay",
                QStringList{path, "--out", dir.filePath("out")} + extra);
  process.waitForFinished(120000);
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          QString::fromUtf8(process.readAllStandardError())};
}

}  // namespace

TEST(ReplayTool, RunsAScriptAndWritesItsDump) {
  QTemporaryDir dir;
  QFile script(dir.filePath("s.txt"));
  script.open(QIODevice::WriteOnly);
  script.write(
      "# a comment line\n"
      "engine start 21\n"
      "load Form1   # the main window directly\n"
      "set txtRec \"\"\n"
      "dump first\n");
  script.close();
  QProcess process;
  process.start(QCoreApplication::applicationDirPath() + "/tonvista-replay",
                {dir.filePath("s.txt"), "--out", dir.filePath("out")});
  ASSERT_TRUE(process.waitForFinished(120000));
  ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  QFile json(dir.filePath("out/first.json"));
  ASSERT_TRUE(json.open(QIODevice::ReadOnly));
  const QJsonObject dump = QJsonDocument::fromJson(json.readAll()).object();
  const QJsonObject controls = dump["controls"].toObject();
  EXPECT_EQ(controls["Term"].toObject()["text"].toString(),
            "Error Code : 21 Bad Device ID, Soundcard Not Present ");
  EXPECT_EQ(controls["txtRec"].toObject()["text"].toString(), "");
  EXPECT_EQ(dump["engine_calls"].toArray().first().toObject()["fn"].toString(), "fnStartSoundCard");
  EXPECT_TRUE(QFile::exists(dir.filePath("out/first-window.png")));
  EXPECT_TRUE(QFile::exists(dir.filePath("out/first-Picture2.png")));
}

TEST(ReplayTool, AnUnknownCommandIsAnErrorWithItsLineNumber) {
  const Outcome outcome = RunReplay("load Form1\n\nfly away\n");
  EXPECT_EQ(outcome.status, 1);
  EXPECT_TRUE(outcome.errors.contains("line 3")) << outcome.errors.toStdString();
  EXPECT_TRUE(outcome.errors.contains("fly")) << outcome.errors.toStdString();
}

TEST(ReplayTool, AMissingEngineLibraryIsNamedAndEndsTheProgram) {
  const Outcome outcome = RunReplay("load Form1\n", {"--engine", "/nonexistent/libpskengine.so"});
  EXPECT_NE(outcome.status, 0);
  EXPECT_TRUE(outcome.errors.contains("/nonexistent/libpskengine.so"))
      << outcome.errors.toStdString();
}

TEST(ReplayTool, AMissingOperationIsNamedAndEndsTheProgram) {
  const Outcome outcome = RunReplay(
      "load Form1\n",
      {"--engine", QCoreApplication::applicationDirPath() + "/libtonvista-incomplete-engine.so"});
  EXPECT_NE(outcome.status, 0);
  EXPECT_TRUE(outcome.errors.contains("fnSetFFTMode")) << outcome.errors.toStdString();
}
