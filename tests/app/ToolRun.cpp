#include "ToolRun.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "TestFiles.h"

ToolResult RunTool(const std::vector<std::string>& arguments) {
  TempFolder capture;
  const std::string outPath = capture.Path("stdout");
  const std::string errPath = capture.Path("stderr");
  std::vector<char*> argv;
  std::string programName = "slice2vol";
  argv.push_back(&programName[0]);
  std::vector<std::string> copies(arguments);
  for (std::string& argument : copies) argv.push_back(&argument[0]);
  argv.push_back(nullptr);

  std::fflush(nullptr);
  const pid_t child = fork();
  if (child == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    execv(SLICE2VOL_EXECUTABLE, argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return {code, ReadFile(outPath), ReadFile(errPath)};
}
