// The Wine test harness itself: a test that crashes must end, not wait on a
// crash dialog until the ctest time-out.
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

namespace {

// Started as "<this exe> --crash-probe", the process crashes before main.
const bool kCrashProbe = [] {
  if (std::wcsstr(::GetCommandLineW(), L"--crash-probe")) {
    ::SetErrorMode(0);  // the default a test has: crashes go to the debugger
    volatile int* nowhere = nullptr;
    *nowhere = 1;
  }
  return false;
}();

TEST(WineHarness, ACrashEndsTheProcessWithoutADialog) {
  wchar_t exe[MAX_PATH * 2] = {};
  ::GetModuleFileNameW(nullptr, exe, DWORD(std::size(exe)));
  std::wstring cmd = L"\"" + std::wstring(exe) + L"\" --crash-probe";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;  // no inherited stdio: the debugger's report goes nowhere
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  const DWORD waited = ::WaitForSingleObject(pi.hProcess, 30000);
  if (waited != WAIT_OBJECT_0) ::TerminateProcess(pi.hProcess, 1);
  DWORD code = 0;
  ::GetExitCodeProcess(pi.hProcess, &code);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  EXPECT_EQ(waited, DWORD(WAIT_OBJECT_0)) << "the crashed process still waits (a crash dialog?)";
  EXPECT_NE(code, 0u) << "a crash reported as success";
}

}  // namespace
