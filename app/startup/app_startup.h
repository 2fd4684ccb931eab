// The program's start and stop: the sequence that `main` runs (in place of
// the Windows entry point), and the two steps around the user interface,
// AppInit and AppTerm.
//
// The sequence goes through StartupSteps so that tests can run it with fake
// back-end pieces and read the order back; DefaultStartupSteps() gives the
// real ones for everything but the user interface, which the program adds
// (the windows live above the application core).
//
// Threading: everything here runs on the main thread.
#pragma once

#include <functional>
#include <string>

// The single-instance names shared with the main window.
extern const char16_t kSingleInstanceMutex[];   // "Global\{0A9563EC-...}"
extern const char16_t kMainWindowClass[];       // "Shelfhub"

// Opens the configuration and the outside service libraries and reports the
// program online.
void AppInit();
// Releases the configuration and the service libraries (offline report first).
void AppTerm();

// What RunUi answers: the message loop ran, or the main window object could
// not be made (the program then returns at once, without teardown).
enum class UiResult { kRan, kNoWindow };

// What the single-instance check found: this is the only instance, or
// not; when not, why this start cannot run at all (empty when another
// instance runs).
struct InstanceCheck {
  bool only = false;
  std::string refusal;
};

struct StartupSteps {
  std::function<void()> open_log;                 // "log/zelvik.log" below the program folder
  std::function<void()> app_init;
  std::function<bool()> close_other_processes;    // "-close": end what runs from the program folder
  std::function<InstanceCheck()> check_single_instance;
  // A start that cannot run tells the user why (the refusal above): on
  // stderr by default; the program adds a message box when it has a display.
  std::function<void(const std::string& refusal)> tell_cannot_start;
  std::function<void()> init_crash_report;
  std::function<UiResult(bool hide)> run_ui;      // UI library, main window, message loop
  std::function<void()> app_term;
  std::function<void()> release_log;
};

StartupSteps DefaultStartupSteps();

// "Phonedeck cannot start: <refusal>" on stderr.
void TellCannotStartOnStderr(const std::string& refusal);

// Case-insensitive search for a command-line word ("-close", "-hide").
bool CommandLineHas(const std::string& command_line, const char* word);

// The whole start, run and stop; answers 0 on every path.
int RunPhonedeck(const std::string& command_line, const StartupSteps& steps);
