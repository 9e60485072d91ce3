// marlo-sim as a child process for the end-to-end tests: started with
// options, ready once it has printed its listening line, stopped with SIGTERM.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace kv {

class BoardProcess {
 public:
  ~BoardProcess() { stop(); }

  // Starts it and waits for "marlo-sim: listening on <path>". Empty on
  // success, else what went wrong.
  std::string start(const std::vector<std::string>& options) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return "pipe failed";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<std::string> args{"marlo-sim"};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&pid_, MARLO_SIM_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    out_ = out[0];
    if (spawned != 0) {
      pid_ = -1;
      return std::string("cannot start ") + MARLO_SIM_PATH + ": " + std::strerror(spawned);
    }
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);  // sanitizer start-up included
    while (line.empty() || line.back() != '\n') {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
      pollfd p{out_, POLLIN, 0};
      if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) return "no listening line: " + line;
      char c = 0;
      if (read(out_, &c, 1) != 1) return "marlo-sim ended before listening: " + line;
      line.push_back(c);
    }
    const std::string prefix = "marlo-sim: listening on ";
    if (line.rfind(prefix, 0) != 0) return "unexpected first line: " + line;
    socketPath_ = line.substr(prefix.size(), line.size() - prefix.size() - 1);
    return {};
  }

  // Stops the process and returns once it has stopped.
  bool freeze() {
    if (pid_ <= 0 || kill(pid_, SIGSTOP) != 0) return false;
    int status = 0;
    return waitpid(pid_, &status, WUNTRACED) == pid_ && WIFSTOPPED(status);
  }
  void thaw() {
    if (pid_ > 0) kill(pid_, SIGCONT);
  }

  // SIGTERM (after SIGCONT, should it be stopped) and the exit status; -1
  // when it was not running.
  int stop() {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGCONT);
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    close(out_);
    out_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  const std::string& socketPath() const { return socketPath_; }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string socketPath_;
};

}  // namespace kv
