#include "fake_player_client.h"

#include <cstdio>

namespace tunelet::testing {

namespace {

constexpr wchar_t kControlClass[] = L"TuneletFakePlayerControl";
constexpr ULONG_PTR kCopyDataCommands = 0x46504C59;
constexpr DWORD kStartTimeoutMs = 15000;
constexpr DWORD kCommandTimeoutMs = 30000;
constexpr DWORD kQuitTimeoutMs = 10000;

std::wstring FolderOfThisExe() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring dir(self);
  dir.resize(dir.find_last_of(L"\\/") + 1);
  return dir;
}

// A name no other player of this run uses, for the folder and the control window.
std::wstring UniqueName() {
  static int counter = 0;
  return L"tunelet-fp-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
}

}  // namespace

FakePlayer::FakePlayer(std::wstring imageName) {
  const std::wstring name = UniqueName();
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  folder_ = std::wstring(temp) + name + L"\\";
  CreateDirectoryW(folder_.c_str(), nullptr);
  exePath_ = folder_ + imageName;
  logPath_ = folder_ + L"commands.log";
  if (!CopyFileW((FolderOfThisExe() + L"fake-player.exe").c_str(), exePath_.c_str(), FALSE)) return;

  std::wstring command = L"\"" + exePath_ + L"\" --control " + name + L" --log \"" + logPath_ + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(exePath_.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder_.c_str(), &si,
                      &pi))
    return;
  CloseHandle(pi.hThread);
  process_ = pi.hProcess;
  processId_ = pi.dwProcessId;
  const DWORD start = GetTickCount();
  while (!control_ && GetTickCount() - start < kStartTimeoutMs) {
    control_ = FindWindowW(kControlClass, name.c_str());
    if (control_) break;
    if (WaitForSingleObject(process_, 10) == WAIT_OBJECT_0) break;  // it died
  }
}

FakePlayer::~FakePlayer() {
  if (control_) Run("quit");
  if (process_) {
    if (WaitForSingleObject(process_, kQuitTimeoutMs) != WAIT_OBJECT_0) {
      TerminateProcess(process_, 1);
      WaitForSingleObject(process_, kQuitTimeoutMs);
    }
    CloseHandle(process_);
  }
  DeleteFileW(logPath_.c_str());
  DeleteFileW(exePath_.c_str());
  RemoveDirectoryW(folder_.c_str());
}

intptr_t FakePlayer::Run(std::string_view lines) {
  if (!control_) return kFailed;
  COPYDATASTRUCT data{kCopyDataCommands, DWORD(lines.size()), const_cast<char*>(lines.data())};
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(control_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL,
                           kCommandTimeoutMs, &result))
    return kFailed;
  return intptr_t(result);
}

HWND FakePlayer::Window(std::string_view id) {
  const intptr_t h = Run("hwnd " + std::string(id));
  return h == kFailed ? nullptr : reinterpret_cast<HWND>(h);
}

std::vector<std::string> FakePlayer::LogLines() const {
  std::vector<std::string> lines;
  FILE* f = _wfopen(logPath_.c_str(), L"rb");
  if (!f) return lines;
  std::string all;
  char buf[4096];
  for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) all.append(buf, n);
  fclose(f);
  size_t from = 0;
  for (size_t eol; (eol = all.find('\n', from)) != std::string::npos; from = eol + 1)
    if (eol > from) lines.push_back(all.substr(from, eol - from));
  return lines;
}

std::vector<std::string> FakePlayer::Messages() const {
  std::vector<std::string> out;
  for (const std::string& line : LogLines())
    if (line.rfind("msg ", 0) == 0) out.push_back(line.substr(4));
  return out;
}

void FakePlayer::ClearLog() { Run("log-clear"); }

}  // namespace tunelet::testing
