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

// Each error is named, then the program ends with nothing written after it: an
// unknown command with its line; a missing library or operation at the main
// window's load, or at the first display notification for the display
// operations; a device list that cannot be read inside the dialog's load.
TEST(ReplayTool, ScriptErrorsAndAMissingEngineOrDeviceListAreNamedAndEndTheProgram) {
  const QString dir = QCoreApplication::applicationDirPath() + "/libtonvista-";
  const QString display = "load Form1\npost 2024 0 0\ndump after\n";
  const std::string cannot = "tonvista: Tonvista cannot use the PSK engine: the operation ";
  const struct {
    QString library, script;
    std::string error;
  } cases[] = {
      {"", "load Form1\n\nfly away\ndump after\n", "line 3: unknown command: fly"},
      {"/nonexistent/libpskengine.so", "load Form1\n",
       "tonvista: Tonvista cannot use the PSK engine: the engine library "
       "/nonexistent/libpskengine.so"},
      {dir + "incomplete-engine.so", "load Form1\n", cannot + "fnSetFFTMode"},
      {dir + "engine-without-fnGetFFTData.so", display, cannot + "fnGetFFTData"},
      {dir + "engine-without-fnGetRawData.so", display, cannot + "fnGetRawData"},
      {dir + "engine-without-fnGetVectorData.so", display, cannot + "fnGetVectorData"},
      {dir + "engine-without-fnGetSignalLevel.so", display, cannot + "fnGetSignalLevel"},
      {"", "devices-unavailable \"no sound server\"\nload\ndump after\n",
       "tonvista: Tonvista cannot list the sound devices: no sound server"},
  };
  for (const auto& c : cases) {
    const Outcome outcome = RunReplay(
        c.script, c.library.isEmpty() ? QStringList{} : QStringList{"--engine", c.library});
    EXPECT_EQ(outcome.status, 1) << c.error << outcome.errors;
    EXPECT_NE(outcome.errors.find(c.error), std::string::npos) << outcome.errors;
    EXPECT_TRUE(outcome.written.isEmpty()) << c.error;
  }
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
