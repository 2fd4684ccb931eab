// Phonedeck's entry point: the start, run and stop sequence of
// app/startup/app_startup.h with the main window of ui/ as its user
// interface.
#include <string>

#include "app/startup/app_startup.h"
#include "ui/frame/run_main_window.h"

int main(int argc, char** argv) {
  std::string command_line;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) command_line += ' ';
    command_line += argv[i];
  }
  StartupSteps steps = DefaultStartupSteps();
  steps.run_ui = [](bool hide) {
    SelectUiBackEnd();
    return RunMainWindow(hide);
  };
  steps.tell_cannot_start = [](const std::string& refusal) {
    TellCannotStartOnStderr(refusal);
    ShowStartRefusal(refusal);
  };
  return RunPhonedeck(command_line, steps);
}
