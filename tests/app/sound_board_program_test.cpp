// The start-up dialog in tonvista-replay as a program: Cancel ends the
// program with status 0 through its own event loop, OK keeps it running, and
// a device list that cannot be had ends it with the reason and status 1.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct Outcome {
  int status;
  QString errors;
  QStringList written;  // files in the output folder
};

Outcome RunReplay(const QString& script) {
  QTemporaryDir dir;
  QFile file(dir.filePath("script.txt"));
  file.open(QIODevice::WriteOnly);
  file.write(script.toUtf8());
  file.close();
  QProcess process;
  process.start(QCoreApplication::applicationDirPath() + "/tonvista-replay",
                {file.fileName(), "--out", dir.filePath("out")});
  if (!process.waitForFinished(120000)) process.kill();
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          QString::fromUtf8(process.readAllStandardError()),
          QDir(dir.filePath("out")).entryList(QDir::Files)};
}

}  // namespace

TEST(SoundBoardProgram, CancelEndsTheProgramWithStatusZero) {
  const Outcome cancel = RunReplay("devices \"Mic\"\nload\nrun\nclick frmSoundBoard.Command1 1\n");
  EXPECT_EQ(cancel.status, 0) << cancel.errors.toStdString();

  const Outcome ok = RunReplay("devices \"Mic\"\nload\nrun\nclick frmSoundBoard.Command1 0\n");
  EXPECT_EQ(ok.status, 1);
  EXPECT_TRUE(ok.errors.contains("still runs")) << ok.errors.toStdString();
}

TEST(SoundBoardProgram, WithoutADeviceListTheProgramSaysWhyAndEnds) {
  const Outcome outcome = RunReplay("devices-unavailable \"no sound server\"\nload\ndump after\n");
  EXPECT_EQ(outcome.status, 1);
  EXPECT_TRUE(
      outcome.errors.contains("tonvista: Tonvista cannot list the sound devices: no sound server"))
      << outcome.errors.toStdString();
  // It ended inside the dialog's load: nothing after it ran.
  EXPECT_TRUE(outcome.written.isEmpty()) << outcome.written.join(" ").toStdString();
}
