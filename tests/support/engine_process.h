// An engine executable run as a child process behind pipes, so that the
// tests talk to it exactly as a chess interface would. Reads and the wait
// for the exit time out: a hung engine fails the test instead of hanging it.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

// Whether this build made the named engine (the sanitizer build makes only
// "quillon").
bool engineExists(const std::string& name);

class EngineProcess {
 public:
  // Starts the named executable of this build through tools/run-engine.sh, which brings in an
  // emulator when the kernel cannot run the executable itself.
  explicit EngineProcess(const std::string& name);
  ~EngineProcess();
  EngineProcess(const EngineProcess&) = delete;
  EngineProcess& operator=(const EngineProcess&) = delete;

  // Writes the bytes as they are.
  void send(const std::string& bytes);
  // The next output line without its newline; nothing on timeout or at the
  // end of the output.
  std::optional<std::string> readLine(int timeoutMs = 10000);
  // Sends the lines and then "isready"; returns what came before "readyok",
  // whose absence fails the test.
  std::vector<std::string> ask(const std::vector<std::string>& lines, int timeoutMs = 10000);
  void closeInput();
  // Exit status, 128 + signal when a signal ended the process, or -1 (and
  // the process is killed) on timeout.
  int waitExit(int timeoutMs = 10000);
  // What the engine wrote to standard error so far.
  std::string errorOutput() const;
  // The engine's process id (the launcher replaces itself with the engine).
  int pid() const { return pid_; }

 private:
  int pid_ = -1, input_ = -1, output_ = -1, status_ = -1;
  std::FILE* error_ = nullptr;
  std::string buffer_;
};
