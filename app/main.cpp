#include <cstdio>

#include "app/startup.h"
#include "platform/application.h"

int main() {
  if (!TApplication::StartToolkit()) {
    std::fprintf(stderr, "tavorin: cannot open the display (is DISPLAY set?)\n");
    return 1;
  }
  TApplication application;
  Application = &application;
  return RunApplication();
}
