#include <cstdio>

#include "uci.h"
#include "../platform/platform.h"

int main() {
  setvbuf(stdout, nullptr, _IONBF, 0);
  printf("Quillon %s by Velloran\n", ENGINE_VERSION);
  initEngine();
  inputIsPipe = !inputIsConsole();
  commandLoop();
  return 0;
}
