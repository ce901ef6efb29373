#include "ui/form1.h"
#include "ui/start.h"

int main(int argc, char* argv[]) {
  return plindor::ui::RunProgram(argc, argv, [] { return new plindor::ui::Form1; });
}
