// A virtual board for GUI tests: marlo-sim started as a process in a private
// socket folder, with the editor's pacing scaled to the board's speed.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

#include "shell/pacing.h"
#include "support/temp_dir.h"

namespace kv::testing {

class VirtualBoardProcess {
 public:
  // Starts the board; `socket` names it in the private folder.
  bool start(const QString& program, const QString& socket) {
    qputenv("TAVLINK_VIRTUAL_DIR", QByteArray::fromStdString(dir_.path().string()));
    setPacingScale(0.05);
    process_.start(program, {"--socket", socket, "--time-scale", "0.05"});
    return process_.waitForStarted(10000) && process_.waitForReadyRead(20000) &&
           process_.readLine().startsWith("marlo-sim: listening");
  }
  bool stop() {
    process_.terminate();
    const bool ended = process_.waitForFinished(10000);
    setPacingScale(1.0);
    return ended;
  }

 private:
  TempDir dir_;
  QProcess process_;
};

}  // namespace kv::testing
