// Connects the online session and playback to the main window: runs their
// commands, and carries what their threads report to the GUI thread.
#pragma once

#include <QObject>
#include <memory>

#include "board/cpu_settings.h"
#include "session/board_link.h"
#include "session/link_state.h"
#include "session/online_session.h"
#include "session/playback.h"
#include "session/session_events.h"

namespace kv {

class MainWindow;

class SessionController : public QObject, public SessionEvents {
  Q_OBJECT
 public:
  // Registers the session's commands with the window.
  SessionController(EditorState& state, MainWindow& window);
  ~SessionController() override;

  OnlineSession& session() { return *session_; }
  Playback& playback() { return *playback_; }

  // Stops playback and ends the session (at exit, before the window goes),
  // answering the threads' pending questions meanwhile; returns when both
  // threads have ended.
  void shutDown();

  // SessionEvents: called from the session's threads; each only posts.
  void openProjectDialogs(const std::u16string& boardRobotName) override;
  void sessionChanged() override;
  void boardSettingsRead() override;
  void liveStateUpdated() override;
  void playbackChanged(bool playing) override;
  void positionReached(int listIndex) override;

 private:
  void post(std::function<void()> job);
  void showSessionState();

  EditorState& state_;
  MainWindow& window_;
  TavBoardLink link_;
  LinkState linkState_;
  std::unique_ptr<OnlineSession> session_;
  std::unique_ptr<Playback> playback_;
  // The session was connected when its state was last shown: the status
  // window opens only as a session starts, never again within it once the
  // user has closed it.
  bool shownConnected_ = false;
  bool closing_ = false;  // shutDown has begun
};

}  // namespace kv
