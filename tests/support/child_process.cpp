#include "tests/support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

namespace qvx_test {

ChildProcess::~ChildProcess() {
  if (Running()) Kill(SIGKILL);
  if (out_fd_ >= 0) close(out_fd_);
}

bool ChildProcess::Start(const std::vector<std::string>& argv,
                         const std::vector<std::pair<std::string, std::string>>& env,
                         const std::string& dir, const std::string& err_file) {
  if (argv.empty() || pid_ > 0) return false;
  int out[2];
  if (pipe(out) != 0) return false;
  // Everything the child needs is made before the fork: after it, only calls that
  // are safe in a child of a threaded process.
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> env_lines;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string line = *e;
    bool replaced = false;
    for (const auto& [name, value] : env) replaced = replaced || line.rfind(name + "=", 0) == 0;
    if (!replaced) env_lines.push_back(line);
  }
  for (const auto& [name, value] : env) env_lines.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& line : env_lines) envp.push_back(line.data());
  envp.push_back(nullptr);
  pid_t pid = fork();
  if (pid < 0) {
    close(out[0]);
    close(out[1]);
    return false;
  }
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    if (!err_file.empty()) {
      int fd = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd >= 0) dup2(fd, 2);
    }
    if (!dir.empty() && chdir(dir.c_str()) != 0) _exit(126);
    execvpe(args[0], args.data(), envp.data());
    _exit(127);
  }
  close(out[1]);
  out_fd_ = out[0];
  fcntl(out_fd_, F_SETFL, fcntl(out_fd_, F_GETFL) | O_NONBLOCK);
  pid_ = pid;
  return true;
}

bool ChildProcess::Running() {
  if (pid_ <= 0) return false;
  int status = 0;
  pid_t r = waitpid(pid_, &status, WNOHANG);
  if (r == 0) return true;
  if (r == pid_) status_ = status;
  pid_ = -1;
  return false;
}

bool ChildProcess::Wait(std::chrono::milliseconds limit, int* status) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (Running()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (status != nullptr) *status = status_;
  return true;
}

void ChildProcess::Kill(int signal) {
  if (pid_ <= 0) return;
  kill(pid_, signal);
  if (signal == SIGKILL) {
    int status = 0;
    if (waitpid(pid_, &status, 0) == pid_) status_ = status;
    pid_ = -1;
  }
}

const std::string& ChildProcess::Output() {
  if (out_fd_ >= 0) {
    char buffer[4096];
    ssize_t n;
    while ((n = read(out_fd_, buffer, sizeof buffer)) > 0) output_.append(buffer, size_t(n));
  }
  return output_;
}

bool ProgramInPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  std::string dirs = path;
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string candidate = dirs.substr(start, end - start) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace qvx_test
