// An engine executable run as a child process behind two pipes, so that the
// tests talk to it exactly as a chess interface would. Every read has a
// timeout: a hung engine fails the test instead of hanging it.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

// The folder of the engine executables of this build.
std::string engineDir();
// Whether this build made the named engine (the sanitizer build makes only
// "quillon").
bool engineExists(const std::string& name);

class EngineProcess {
 public:
  // Starts engineDir()/name through tools/run-engine.sh, which brings in an
  // emulator when the kernel cannot run the executable itself.
  explicit EngineProcess(const std::string& name);
  ~EngineProcess();
  EngineProcess(const EngineProcess&) = delete;
  EngineProcess& operator=(const EngineProcess&) = delete;

  bool running() const { return pid_ > 0; }
  // Writes the bytes as they are.
  void sendRaw(const std::string& bytes);
  // Writes the text and a newline.
  void send(const std::string& line) { sendRaw(line + "\n"); }
  // The next output line without its newline; nothing on timeout or at the
  // end of the output.
  std::optional<std::string> readLine(int timeoutMs = 10000);
  // Sends the lines and then "isready", and returns everything the engine
  // printed before "readyok". A missing "readyok" fails the test.
  std::vector<std::string> ask(const std::vector<std::string>& lines, int timeoutMs = 10000);
  // Lines up to (not including) the first one equal to last.
  std::vector<std::string> readUntil(const std::string& last, int timeoutMs = 10000);
  void closeInput();
  // Exit status once the process has ended, 128 + signal when a signal
  // ended it, or -1 (and the process is killed) on timeout.
  int waitExit(int timeoutMs = 10000);
  // What the engine wrote to standard error so far.
  std::string errorOutput() const;

 private:
  pid_t pid_ = -1;
  int input_ = -1, output_ = -1;
  std::string buffer_;
  bool outputEnded_ = false;
  std::string errorFile_;
  int status_ = -1;
};
