// What the online session and playback tell the main window. The connect
// and playback threads call these from their own threads: an implementation
// only posts the work to the GUI thread and returns at once, it never waits
// for it and never touches a widget from the calling thread.
#pragma once

#include <string>

namespace kv {

class SessionEvents {
 public:
  virtual ~SessionEvents() = default;

  // The board carries another robot's name and the user agreed to switch:
  // open the project selection dialog and, when it asks for it, the new
  // project dialog, with `boardRobotName` as the requested robot name.
  virtual void openProjectDialogs(const std::u16string& boardRobotName) { (void)boardRobotName; }
  // Online, connected or servo power changed: refresh menus, toolbar and
  // the pose area (OnlineSession::connected(), AppStatus bits 0x1 and 0x8).
  // On connection the status window starts here when bit 0x2000 is set.
  virtual void sessionChanged() {}
  // The board's settings were read at a connection: take
  // OnlineSession::cpuSettings() into the program's CPU settings record.
  virtual void boardSettingsRead() {}
  // A new live snapshot (OnlineSession::liveSnapshot()): repaint the board
  // values in the pose area and the status window.
  virtual void liveStateUpdated() {}
  // Playback started or stopped: switch menus and toolbar to the playing
  // state and disable the pose area and motion area, or switch them back.
  virtual void playbackChanged(bool playing) { (void)playing; }
  // The board reached the block at this list position: make it current in
  // the motion area (selectCurrent, which ignores blocks that are no pose).
  virtual void positionReached(int listIndex) { (void)listIndex; }
};

}  // namespace kv
