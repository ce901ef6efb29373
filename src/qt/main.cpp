#include "qt/form1.h"
#include "qt/start.h"

int main(int argc, char* argv[]) {
  return plindor::qt::RunProgram(argc, argv, [] { return new plindor::qt::Form1; });
}
