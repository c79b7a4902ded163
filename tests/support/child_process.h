// A program started as a child process, for tests that watch a real program run
// (killed at a random moment, or kept alive while its windows are looked at). The
// child is killed with SIGKILL and reaped when the object goes, so that no test
// leaves a process behind, whatever it asserted.
#ifndef TESTS_SUPPORT_CHILD_PROCESS_H_
#define TESTS_SUPPORT_CHILD_PROCESS_H_

#include <sys/types.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

namespace qvx_test {

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts argv[0] (looked up in PATH) with the environment's variables plus `env`
  // (NAME, value), in the folder `dir` (empty: this process's). Its stdout goes
  // into a pipe that Output reads; stderr into the file `err_file` (empty: kept).
  // False when the program could not be started.
  bool Start(const std::vector<std::string>& argv,
             const std::vector<std::pair<std::string, std::string>>& env = {},
             const std::string& dir = "", const std::string& err_file = "");

  pid_t Pid() const { return pid_; }
  // Still running (not ended, not yet reaped).
  bool Running();
  // Waits at most `limit` for the child to end; true with its status in
  // `status` (as waitpid gives it), false when it still runs.
  bool Wait(std::chrono::milliseconds limit, int* status);
  // Sends `signal` and reaps the child when the signal ends it.
  void Kill(int signal);
  // What the child wrote on stdout so far (reads without waiting).
  const std::string& Output();

 private:
  pid_t pid_ = -1;
  int out_fd_ = -1;
  int status_ = 0;
  std::string output_;
};

// True when `program` is found in PATH.
bool ProgramInPath(const std::string& program);

}  // namespace qvx_test

#endif  // TESTS_SUPPORT_CHILD_PROCESS_H_
