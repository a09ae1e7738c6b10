// talkeo-sim: loads a plug-in library as the Talkeo host does and runs a
// script of host events against it, printing what the user would see.
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <filesystem>
#include <string>

#include "script.h"
#include "sim_host.h"

using namespace talkeo_sim;

namespace {

constexpr char kUsage[] =
    "usage: talkeo-sim [options] <plug-in.dll> [steps]\n"
    "  -f <file>        run the steps in a script file (UTF-8)\n"
    "  -e <steps>       run steps given on the command line, separated by ';'\n"
    "  --store <file>   the host-kept options store (default: talkeo-sim.store beside the plug-in)\n"
    "  --no-store       keep the host-kept options in memory only\n"
    "  --timeout <s>    end everything after this many seconds (default 120)\n"
    "  -v               also print every message between host and plug-in\n"
    "  --windows        print a line for each window of the plug-in that appears or vanishes\n"
    "  --screenshots <folder>  --windows, and save a PNG picture of each window that appears\n"
    "Without -f or -e the steps are: start; wait 15000; shutdown; release\n";

void Print(const std::string& s) {
  std::fwrite(s.data(), 1, s.size(), stdout);
  std::fflush(stdout);
}

DWORD gTimeoutMs = 120000;
HANDLE gJob = nullptr;

DWORD WINAPI Watchdog(void*) {
  ::Sleep(gTimeoutMs);
  Print("talkeo-sim: timed out after " + std::to_string(gTimeoutMs / 1000) + " s\n");
  if (gJob) ::TerminateJobObject(gJob, 3);
  ::TerminateProcess(::GetCurrentProcess(), 3);  // no clean-up that could wait on the stuck thread
  return 3;
}

// The programs the script starts: they end with the simulator, also when it
// is killed (the job's last handle closes with the process).
void CreateKillOnCloseJob() {
  gJob = ::CreateJobObjectW(nullptr, nullptr);
  if (!gJob) return;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION info{};
  info.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  ::SetInformationJobObject(gJob, JobObjectExtendedLimitInformation, &info, sizeof info);
}

bool ReadFileText(const std::wstring& path, std::string& out) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // UTF-8 bytes, LF line ends
  std::wstring dll, scriptFile, store;
  std::string inlineSteps;
  std::wstring screenshots;
  bool noStore = false, verbose = false, windows = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i];
    auto next = [&]() -> std::wstring {
      if (i + 1 >= argc) {
        Print(kUsage);
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == L"-f") scriptFile = next();
    else if (a == L"-e") inlineSteps += ToUtf8(next()) + "\n";
    else if (a == L"--store") store = next();
    else if (a == L"--no-store") noStore = true;
    else if (a == L"--timeout") gTimeoutMs = DWORD(std::wcstoul(next().c_str(), nullptr, 10) * 1000);
    else if (a == L"-v") verbose = true;
    else if (a == L"--windows") windows = true;
    else if (a == L"--screenshots") windows = true, screenshots = next();
    else if (a == L"-h" || a == L"--help") {
      Print(kUsage);
      return 0;
    } else if (dll.empty() && a[0] != L'-') dll = a;
    else if (a[0] != L'-') inlineSteps += ToUtf8(a) + "\n";
    else {
      Print(kUsage);
      return 2;
    }
  }
  if (dll.empty()) {
    Print(kUsage);
    return 2;
  }

  std::string scriptText;
  if (!scriptFile.empty() && !ReadFileText(scriptFile, scriptText)) {
    Print("talkeo-sim: cannot read " + ToUtf8(scriptFile) + "\n");
    return 2;
  }
  scriptText += inlineSteps;
  if (scriptFile.empty() && inlineSteps.empty()) scriptText = "start; wait 15000; shutdown; release";
  std::vector<Step> steps;
  std::string error;
  if (!ParseScript(scriptText, steps, error)) {
    Print("talkeo-sim: " + error + "\n");
    return 2;
  }

  CreateKillOnCloseJob();
  if (gTimeoutMs) ::CloseHandle(::CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr));

  int result = 2;
  {
    SimHost host;
    host.SetVerbose(verbose);
    host.SetLineSink([](uint32_t ms, const std::string& line) { Print(FormatTime(ms) + " " + line + "\n"); });
    if (!noStore) host.SetStoreFile(store.empty() ? FolderOf(dll) + L"\\talkeo-sim.store" : store);
    if (!host.Load(dll, &error)) {
      Print("talkeo-sim: " + error + "\n");
      return 2;
    }
    ScriptRunner runner(host);
    runner.SetJob(gJob);
    if (windows) runner.WatchWindows(true, screenshots);
    result = runner.Run(steps);
    runner.KillAll();
    host.Unload();
  }
  return result;
}
