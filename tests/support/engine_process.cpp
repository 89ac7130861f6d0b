#include "engine_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? int(left) : 0;
}

// The sanitizer build's allocator would abort on a request it cannot serve;
// the engine expects a null pointer there, as from the normal allocator.
std::vector<std::string> childEnvironment() {
  std::vector<std::string> env;
  std::string asan = "ASAN_OPTIONS=allocator_may_return_null=1";
  for (char** e = environ; *e; e++) {
    if (strncmp(*e, "ASAN_OPTIONS=", 13) == 0)
      asan += std::string(":") + (*e + 13);
    else
      env.push_back(*e);
  }
  env.push_back(asan);
  return env;
}

}  // namespace

std::string engineDir() { return QUILLON_ENGINE_DIR; }

bool engineExists(const std::string& name) {
  return access((engineDir() + "/" + name).c_str(), X_OK) == 0;
}

EngineProcess::EngineProcess(const std::string& name) {
  // A write to an engine that has died must fail the test, not kill it.
  signal(SIGPIPE, SIG_IGN);
  int in[2], out[2];
  if (pipe(in) != 0 || pipe(out) != 0) {
    ADD_FAILURE() << "pipe: " << strerror(errno);
    return;
  }
  char errorTemplate[] = "/tmp/quillon-stderr-XXXXXX";
  int errorFd = mkstemp(errorTemplate);
  errorFile_ = errorTemplate;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errorFd, STDERR_FILENO);
  for (int fd : {in[0], in[1], out[0], out[1], errorFd}) posix_spawn_file_actions_addclose(&actions, fd);

  std::string launcher = std::string(QUILLON_SOURCE_DIR) + "/tools/run-engine.sh";
  std::string executable = engineDir() + "/" + name;
  char* argv[] = {launcher.data(), executable.data(), nullptr};
  std::vector<std::string> env = childEnvironment();
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  pid_t pid;
  int rc = posix_spawn(&pid, launcher.c_str(), &actions, nullptr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  close(errorFd);
  if (rc != 0) {
    ADD_FAILURE() << "cannot start " << executable << ": " << strerror(rc);
    close(in[1]);
    close(out[0]);
    return;
  }
  pid_ = pid;
  input_ = in[1];
  output_ = out[0];
}

EngineProcess::~EngineProcess() {
  closeInput();
  if (pid_ > 0) waitExit(5000);
  if (output_ >= 0) close(output_);
  if (!errorFile_.empty()) unlink(errorFile_.c_str());
}

void EngineProcess::sendRaw(const std::string& bytes) {
  size_t done = 0;
  while (input_ >= 0 && done < bytes.size()) {
    ssize_t n = write(input_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ADD_FAILURE() << "engine input closed: " << strerror(errno);
      return;
    }
    done += size_t(n);
  }
}

std::optional<std::string> EngineProcess::readLine(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    size_t end = buffer_.find('\n');
    if (end != std::string::npos) {
      std::string line = buffer_.substr(0, end);
      buffer_.erase(0, end + 1);
      return line;
    }
    if (outputEnded_ || output_ < 0) return std::nullopt;
    pollfd fd{output_, POLLIN, 0};
    int ready = poll(&fd, 1, remainingMs(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return std::nullopt;
    char chunk[65536];
    ssize_t n = read(output_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      outputEnded_ = true;
    else
      buffer_.append(chunk, size_t(n));
  }
}

std::vector<std::string> EngineProcess::readUntil(const std::string& last, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::vector<std::string> lines;
  for (;;) {
    std::optional<std::string> line = readLine(remainingMs(deadline));
    if (!line) {
      ADD_FAILURE() << "no \"" << last << "\" from the engine within " << timeoutMs << " ms";
      return lines;
    }
    if (*line == last) return lines;
    lines.push_back(*line);
  }
}

std::vector<std::string> EngineProcess::ask(const std::vector<std::string>& lines, int timeoutMs) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  sendRaw(text + "isready\n");
  return readUntil("readyok", timeoutMs);
}

void EngineProcess::closeInput() {
  if (input_ >= 0) close(input_);
  input_ = -1;
}

int EngineProcess::waitExit(int timeoutMs) {
  if (pid_ <= 0) return status_;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  int status;
  for (;;) {
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) break;
    if (done < 0 || Clock::now() >= deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      pid_ = -1;
      return status_ = -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  pid_ = -1;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return status_;
}

std::string EngineProcess::errorOutput() const {
  std::ifstream in(errorFile_);
  std::string text, line;
  while (std::getline(in, line)) {
    // The sanitizer runtime's note on an allocation it refused (a Hash size
    // that cannot be had) is not the engine's writing.
    if (line.find("WARNING: AddressSanitizer failed to allocate") != std::string::npos) continue;
    text += line + "\n";
  }
  return text;
}
