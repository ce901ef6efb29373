#include "qt/form1.h"
#include "qt/start.h"
#include "repair/deferred_termination.h"

int main(int argc, char* argv[]) {
  // Before any thread starts, so that every thread leaves termination requests to one place.
  plindor::repair::GuardTermination();
  return plindor::qt::RunProgram(argc, argv, [] { return new plindor::qt::Form1; });
}
