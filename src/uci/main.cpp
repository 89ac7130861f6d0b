#include <cstdio>
#include <cstring>

#include "uci.h"
#include "../platform/platform.h"

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  printf("Quillon %s by Velloran\n", ENGINE_VERSION);
  initEngine();
  // The search benchmark of testing frameworks: "quillon bench [depth]".
  if (argc >= 2 && strcmp(argv[1], "bench") == 0) {
    waitForStartUp();
    return runSearchBench(argc >= 3 ? parseInteger(argv[2]) : 0);
  }
  inputIsPipe = !inputIsConsole();
  commandLoop();
  return 0;
}
