#include "engine_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <regex>

#include <gtest/gtest.h>

namespace {

// Milliseconds left until a deadline on a monotonic clock.
int64_t nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
int msLeft(int64_t deadline) { return int(std::max<int64_t>(deadline - nowMs(), 0)); }

}  // namespace

bool engineExists(const std::string& name) { return access((QUILLON_ENGINE_DIR "/" + name).c_str(), X_OK) == 0; }

EngineProcess::EngineProcess(const std::string& name) : error_(std::tmpfile()) {
  signal(SIGPIPE, SIG_IGN);  // a write to an engine that has died must fail the test, not kill it
  // Close-on-exec everywhere, so that no engine holds another one's pipes.
  int in[2], out[2];
  if (!error_ || fcntl(fileno(error_), F_SETFD, FD_CLOEXEC) || pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC)) {
    ADD_FAILURE() << "cannot set up the pipes: " << strerror(errno);
    return;
  }
  const std::string launcher = QUILLON_SOURCE_DIR "/tools/run-engine.sh", executable = QUILLON_ENGINE_DIR "/" + name;
  if ((pid_ = fork()) == 0) {
    dup2(in[0], STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    dup2(fileno(error_), STDERR_FILENO);
    // The sanitizer build's allocator would abort on a request it cannot
    // serve; the engine expects a null pointer there, as from malloc.
    const char* asan = getenv("ASAN_OPTIONS");
    setenv("ASAN_OPTIONS", (std::string("allocator_may_return_null=1:") + (asan ? asan : "")).c_str(), 1);
    execl(launcher.c_str(), launcher.c_str(), executable.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  if (pid_ < 0) ADD_FAILURE() << "cannot start " << executable << ": " << strerror(errno);
  close(in[0]);
  close(out[1]);
  input_ = in[1];
  output_ = out[0];
}

EngineProcess::~EngineProcess() {
  closeInput();
  waitExit(5000);
  if (output_ >= 0) close(output_);
  if (error_) fclose(error_);
}

void EngineProcess::send(const std::string& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n = write(input_, bytes.data() + done, bytes.size() - done);
    if (n <= 0) {
      ADD_FAILURE() << "engine input closed: " << strerror(errno);
      return;
    }
    done += size_t(n);
  }
}

std::optional<std::string> EngineProcess::readLine(int timeoutMs) {
  const int64_t deadline = nowMs() + timeoutMs;
  size_t end;
  while ((end = buffer_.find('\n')) == std::string::npos) {
    pollfd ready{output_, POLLIN, 0};
    char chunk[65536];
    const ssize_t n = poll(&ready, 1, msLeft(deadline)) > 0 ? read(output_, chunk, sizeof chunk) : 0;
    if (n <= 0) return std::nullopt;  // timeout or end of output
    buffer_.append(chunk, size_t(n));
  }
  std::string line = buffer_.substr(0, end);
  buffer_.erase(0, end + 1);
  return line;
}

std::vector<std::string> EngineProcess::ask(const std::vector<std::string>& lines, int timeoutMs) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  send(text + "isready\n");
  const int64_t deadline = nowMs() + timeoutMs;
  std::vector<std::string> reply;
  for (auto line = readLine(timeoutMs); line != "readyok"; line = readLine(msLeft(deadline))) {
    if (!line) {
      ADD_FAILURE() << "no readyok from the engine within " << timeoutMs << " ms";
      break;
    }
    reply.push_back(*line);
  }
  return reply;
}

void EngineProcess::closeInput() {
  if (input_ >= 0) close(input_);
  input_ = -1;
}

int EngineProcess::waitExit(int timeoutMs) {
  if (pid_ <= 0) return status_;
  const int64_t deadline = nowMs() + timeoutMs;
  int status;
  pid_t done;
  while ((done = waitpid(pid_, &status, WNOHANG)) == 0 && msLeft(deadline) > 0) usleep(5000);
  if (done != pid_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  status_ = done != pid_ ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  pid_ = -1;
  return status_;
}

std::string EngineProcess::errorOutput() const {
  std::string text;
  char chunk[4096];
  ssize_t n;
  for (off_t at = 0; error_ && (n = pread(fileno(error_), chunk, sizeof chunk, at)) > 0; at += n)
    text.append(chunk, size_t(n));
  // The sanitizer runtime's note on an allocation it refused (a Hash size
  // that cannot be had) is not the engine's writing.
  return std::regex_replace(text, std::regex(".*WARNING: AddressSanitizer failed to allocate.*\n"), "");
}
