// orvella-host's sync of a profile as a process of its own, for the tests that kill it
// or cut the power under it.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace orvella::test {

/// Starts `orvella-host --module MODULE --profile PROFILE --quiet sync` with standard
/// output and error written to the files `out` and `err` ("/dev/null" to drop them) and
/// the environment `envp`. Returns its process id, -1 when it could not start. Test
/// thread.
inline pid_t SpawnHostSync(const std::string& profile, const std::string& out,
                           const std::string& err, char* const* envp) {
  std::vector<std::string> args = {
      ORVELLA_HOST_PATH, "--module", ORVELLA_MODULE_PATH, "--profile", profile, "--quiet", "sync"};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const int flags = O_WRONLY | O_CREAT | O_TRUNC;
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), flags, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), flags, 0644);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

}  // namespace orvella::test
