#include <csignal>
#include <cstdlib>

#include "InterruptCleanup.h"
#include "ToolDriver.h"

int main(int argc, char* argv[]) {
  // The tool's settings come from its command line only; ITK would otherwise load shared
  // libraries from the folders this variable names and run their code inside the tool.
  unsetenv("ITK_AUTOLOAD_PATH");
  // A reader that goes away is reported as a failed write that names the output.
  std::signal(SIGPIPE, SIG_IGN);
  InstallInterruptCleanup();
  return RunTool(argc, argv);
}
