// tonvista-replay as a program: dump, script errors, missing engine or devices.
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
  int status;  // -1: crashed or still running after two minutes
  std::string errors;
  QStringList written;  // files in the output folder
};

Outcome RunReplay(const QTemporaryDir& dir, const QString& script, const QStringList& extra = {}) {
  QFile file(dir.filePath("script.txt"));
  file.open(QIODevice::WriteOnly);
  file.write(script.toUtf8());
  file.close();
  QProcess process;
  process.start(QCoreApplication::applicationDirPath() + "/tonvista-replay",
                QStringList{file.fileName(), "--out", dir.filePath("out")} + extra);
  if (!process.waitForFinished(120000)) process.kill();
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          process.readAllStandardError().toStdString(),
          QDir(dir.filePath("out")).entryList(QDir::Files)};
}
Outcome RunReplay(const QString& script, const QStringList& extra = {}) {
  return RunReplay(QTemporaryDir(), script, extra);
}

}  // namespace

TEST(ReplayTool, RunsAScriptAndWritesItsDump) {
  QTemporaryDir dir;
  const Outcome outcome = RunReplay(dir,
                                    "# a comment line\n"
                                    "engine start 21\n"
                                    "load Form1   # the main window directly\n"
                                    "set txtRec \"\"\n"
                                    "dump first\n");
  ASSERT_EQ(outcome.status, 0) << outcome.errors;
  QFile json(dir.filePath("out/first.json"));
  ASSERT_TRUE(json.open(QIODevice::ReadOnly));
  const QJsonObject dump = QJsonDocument::fromJson(json.readAll()).object();
  const QJsonObject controls = dump["controls"].toObject();
  EXPECT_EQ(controls["Term"].toObject()["text"].toString(),
            "Error Code : 21 Bad Device ID, Soundcard Not Present ");
  EXPECT_EQ(controls["txtRec"].toObject()["text"].toString(), "");
  EXPECT_EQ(dump["engine_calls"].toArray().first().toObject()["fn"].toString(), "fnStartSoundCard");
  EXPECT_TRUE(outcome.written.contains("first-window.png"));
  EXPECT_TRUE(outcome.written.contains("first-Picture2.png"));
}

TEST(ReplayTool, AnUnknownCommandIsAnErrorWithItsLineNumber) {
  const Outcome outcome = RunReplay("load Form1\n\nfly away\n");
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.errors.find("line 3"), std::string::npos) << outcome.errors;
  EXPECT_NE(outcome.errors.find("fly"), std::string::npos) << outcome.errors;
}

// A missing library or operation is named, then the program ends: at the main window's load,
// or at the first display notification for the display operations.
TEST(ReplayTool, AMissingEngineLibraryOrOperationIsNamedAndEndsTheProgram) {
  const QString dir = QCoreApplication::applicationDirPath();
  const QString display = "load Form1\npost 2024 0 0\ndump after\n";
  const struct {
    QString library, script;
    const char* named;
  } cases[] = {
      {"/nonexistent/libpskengine.so", "load Form1\n", "/nonexistent/libpskengine.so"},
      {dir + "/libtonvista-incomplete-engine.so", "load Form1\n", "fnSetFFTMode"},
      {dir + "/libtonvista-engine-without-fnGetFFTData.so", display, "fnGetFFTData"},
      {dir + "/libtonvista-engine-without-fnGetRawData.so", display, "fnGetRawData"},
      {dir + "/libtonvista-engine-without-fnGetVectorData.so", display, "fnGetVectorData"},
      {dir + "/libtonvista-engine-without-fnGetSignalLevel.so", display, "fnGetSignalLevel"},
  };
  for (const auto& c : cases) {
    const Outcome outcome = RunReplay(c.script, {"--engine", c.library});
    EXPECT_EQ(outcome.status, 1) << c.named << outcome.errors;
    EXPECT_NE(outcome.errors.find(std::string("tonvista: Tonvista cannot use the PSK engine: ") +
                                  (c.named[0] == '/' ? "the engine library " : "the operation ") +
                                  c.named),
              std::string::npos)
        << outcome.errors;
    EXPECT_TRUE(outcome.written.isEmpty()) << c.named;  // nothing ran after the error
  }
}

TEST(ReplayTool, WithoutADeviceListTheProgramSaysWhyAndEnds) {
  const Outcome outcome = RunReplay("devices-unavailable \"no sound server\"\nload\ndump after\n");
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(
      outcome.errors.find("tonvista: Tonvista cannot list the sound devices: no sound server"),
      std::string::npos)
      << outcome.errors;
  // It ended inside the dialog's load: nothing after it ran.
  EXPECT_TRUE(outcome.written.isEmpty()) << outcome.written.join(" ").toStdString();
}

// --version answers without a display (DISPLAY unset would end a program
// that opened a window).
TEST(Programs, VersionIsPrintedWithoutOpeningAWindow) {
  for (const QString program : {"tonvista", "tonvista-cli"}) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.insert("QT_QPA_PLATFORM", "xcb");
    process.setProcessEnvironment(env);
    process.start(QCoreApplication::applicationDirPath() + "/" + program, {"--version"});
    EXPECT_TRUE(process.waitForFinished(120000) && process.exitCode() == 0);
    EXPECT_EQ(process.readAllStandardOutput().toStdString(),
              program.toStdString() + " " TONVISTA_VERSION "\n");
  }
}
