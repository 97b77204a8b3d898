#include <cstdlib>

#include "SignalHandlers.h"
#include "StandardStreams.h"
#include "ToolDriver.h"

int main(int argc, char* argv[]) {
  // The tool's settings come from its command line only; ITK would otherwise load shared
  // libraries from the folders this variable names and run their code inside the tool.
  unsetenv("ITK_AUTOLOAD_PATH");
  OpenMissingStandardStreams();
  InstallSignalHandlers();
  EndProcess(RunTool(argc, argv));
}
