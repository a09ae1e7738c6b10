// The script language of talkeo-sim: one step per line (or steps separated by
// ";"), words separated by blanks, texts in double quotes with the escapes of
// QuoteText, "#" starts a comment. tools/talkeo-sim/README.md describes the
// steps.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dialog_driver.h"
#include "plugin_windows.h"
#include "sim_host.h"

namespace talkeo_sim {

struct Token {
  std::wstring text;
  bool quoted = false;
};

struct Step {
  int line = 0;  // 1-based line of the script
  std::string verb;
  std::vector<Token> args;
};

// Splits a script into steps and checks each step's words; false with a
// message naming the line on the first fault.
bool ParseScript(const std::string& utf8, std::vector<Step>& steps, std::string& error);

class ScriptRunner {
 public:
  explicit ScriptRunner(SimHost& host) : host_(host) {}
  ~ScriptRunner();  // ends the programs the script started and did not end
  ScriptRunner(const ScriptRunner&) = delete;
  ScriptRunner& operator=(const ScriptRunner&) = delete;

  // Runs the steps in order. Returns 0 when every step worked and every
  // expectation held, 1 when an expectation failed (the script goes on), 2
  // when a step could not be carried out (the script stops there).
  int Run(const std::vector<Step>& steps);
  int Failures() const { return failures_; }
  // Programs started by `run` join this job, so that they end with it.
  void SetJob(HANDLE job) { job_ = job; }
  // How long `copydata` waits for its window to appear (default 5000 ms).
  void SetWindowWaitMs(uint32_t ms) { windowWaitMs_ = ms; }
  // Ends every program still running (also called by the watchdog).
  void KillAll();
  // Prints a line for each window of the plug-in that appears or vanishes
  // (also the step `watch-windows on`); with a folder, each window that
  // appears is also saved there as a PNG picture.
  void WatchWindows(bool on, std::wstring screenshotFolder = {});

 private:
  bool RunStep(const Step& s);
  bool Fail(const Step& s, const std::string& why);
  bool Expect(const Step& s, bool ok, const std::string& what);
  std::wstring IniPath() const;
  bool RunWindowStep(const Step& s);
  bool RunDialogStep(const Step& s);
  bool RunMessageBoxStep(const Step& s);
  void ArmMessageBoxes(const std::vector<Step>& steps, size_t from);
  void ReportUnexpectedBoxes(const Step& s);
  void OnWindowEvent(const WindowWatch::Event& e);
  std::optional<WindowView> WindowOfClass(const Step& s, const std::wstring& className);

  SimHost& host_;
  struct Child {
    HANDLE process;
    DWORD pid;
    std::wstring name;
  };
  std::vector<Child> children_;
  HANDLE job_ = nullptr;
  uint32_t windowWaitMs_ = 5000;
  int failures_ = 0;
  std::unique_ptr<WindowWatch> watch_;
  bool printWindowEvents_ = false;
  std::wstring screenshotFolder_;
  int screenshots_ = 0;
  // While a script works the options dialog, every message box of the
  // process is answered: by the messagebox step that follows the step that
  // brought it up (armed before that step runs), or closed as unexpected.
  std::unique_ptr<MessageBoxWatch> boxes_;
  std::map<const Step*, int> boxTickets_;
};

}  // namespace talkeo_sim
