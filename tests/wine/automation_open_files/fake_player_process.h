// Starts the simulated player for one test and talks to it: command lines by
// WM_COPYDATA to its control window, results from its log file.
#pragma once

#include <windows.h>

#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace tunelet::test {

class FakePlayerProcess {
 public:
  explicit FakePlayerProcess(const std::wstring& name) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir(self);
    dir.resize(dir.find_last_of(L"\\/") + 1);
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    logPath_ = std::wstring(temp) + name + L".log";
    DeleteFileW(logPath_.c_str());
    std::wstring command = L"\"" + dir + L"fake-player.exe\" --control " + name + L" --log \"" + logPath_ + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
    process_ = pi.hProcess;
    CloseHandle(pi.hThread);
    processId_ = pi.dwProcessId;
    for (int i = 0; i < 200 && !control_; ++i) {
      control_ = FindWindowW(L"TuneletFakePlayerControl", name.c_str());
      if (!control_) Sleep(50);
    }
  }
  ~FakePlayerProcess() {
    if (control_) Run("quit");
    if (process_) {
      if (WaitForSingleObject(process_, 5000) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
      CloseHandle(process_);
    }
    DeleteFileW(logPath_.c_str());
  }
  FakePlayerProcess(const FakePlayerProcess&) = delete;
  FakePlayerProcess& operator=(const FakePlayerProcess&) = delete;

  bool Ready() const { return control_ != nullptr; }
  DWORD ProcessId() const { return processId_; }

  // Runs command lines; the result of the last one (INTPTR_MIN on failure).
  intptr_t Run(std::string_view lines) {
    COPYDATASTRUCT data{0x46504C59, DWORD(lines.size()), const_cast<char*>(lines.data())};
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(control_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, 20000, &result))
      return INTPTR_MIN;
    return intptr_t(result);
  }

  std::vector<std::string> Log() const {
    std::vector<std::string> lines;
    std::ifstream in(logPath_.c_str());
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
    return lines;
  }
  // The log lines that start with prefix.
  std::vector<std::string> LogLines(std::string_view prefix) const {
    std::vector<std::string> out;
    for (auto& l : Log())
      if (l.compare(0, prefix.size(), prefix) == 0) out.push_back(l);
    return out;
  }

 private:
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
  HWND control_ = nullptr;
  std::wstring logPath_;
};

}  // namespace tunelet::test
