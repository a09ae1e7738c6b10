#include "fake_sessions.h"

#include <fstream>
#include <sstream>

#include "players/win32/media_session_abi.h"

namespace tunelet::testing {

namespace {

constexpr wchar_t kScriptVariable[] = L"TUNELET_FAKE_SESSIONS";
constexpr wchar_t kClassesKey[] = L"Software\\Microsoft\\WindowsRuntime\\ActivatableClassId\\";
constexpr wchar_t kDllName[] = L"FakeMediaSessions.dll";

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), out.data(), n, nullptr, nullptr);
  return out;
}

// One script argument: always quoted, a quote inside doubled.
std::string Quoted(const std::wstring& text) {
  std::string out = "\"";
  for (char c : Utf8(text)) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

const char* StatusName(FakeSessionStatus s) {
  static const char* const kNames[] = {"closed", "opened", "changing", "stopped", "playing", "paused"};
  return kNames[int(s)];
}

const char* TypeName(FakePlaybackType t) {
  static const char* const kNames[] = {"unknown", "music", "video", "image", "none"};
  return kNames[int(t)];
}

std::wstring FolderOfThisExe() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring dir(self);
  dir.resize(dir.find_last_of(L"\\/") + 1);
  return dir;
}

// Moves from over to. A file another thread has open cannot be replaced,
// even when opened with FILE_SHARE_DELETE (ERROR_ACCESS_DENIED), and the
// manager reads its script with every call: try again for a while.
bool ReplaceWithRetries(const std::wstring& from, const std::wstring& to) {
  constexpr DWORD kBoundMs = 2000, kPauseMs = 2;
  const DWORD start = GetTickCount();
  while (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    if (GetTickCount() - start >= kBoundMs) return false;
    Sleep(kPauseMs);
  }
  return true;
}

std::wstring ClassKey() { return std::wstring(kClassesKey) + win32::media_abi::kSessionManagerClass; }

}  // namespace

std::string FakeSessionScript::Text() const {
  std::ostringstream out;
  if (!logPath.empty()) out << "log " << Quoted(logPath) << "\n";
  out << "request " << request.text << "\n";
  out << "activation " << activation.text << "\n";
  out << "sessions-call " << sessionsCall.text << "\n";
  for (const FakeSession& s : sessions) {
    out << "session " << Quoted(s.appId) << "\n";
    if (s.current) out << "current\n";
    out << "status " << StatusName(s.status) << "\n";
    out << "title " << Quoted(s.title) << "\n";
    out << "subtitle " << Quoted(s.subtitle) << "\n";
    out << "artist " << Quoted(s.artist) << "\n";
    out << "album-artist " << Quoted(s.albumArtist) << "\n";
    out << "album " << Quoted(s.album) << "\n";
    out << "track " << s.trackNumber << "\n";
    out << "track-count " << s.trackCount << "\n";
    out << "genres";
    for (const std::wstring& g : s.genres) out << " " << Quoted(g);
    out << "\n";
    out << "type " << TypeName(s.type) << "\n";
    out << "timeline " << s.startTicks << " " << s.endTicks << " " << s.positionTicks << "\n";
    if (!s.thumbnailPath.empty()) {
      out << "thumbnail " << Quoted(s.thumbnailPath);
      if (s.thumbnailReportedSize) out << " " << *s.thumbnailReportedSize;
      out << "\n";
    }
    out << "properties " << s.properties.text << "\n";
    out << "open " << s.open.text << "\n";
    out << "read " << s.read.text << "\n";
  }
  return out.str();
}

bool FakeSessionScript::Write(const std::wstring& path) const {
  const std::wstring temp = path + L".tmp";
  const std::string text = Text();
  HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr) && written == text.size();
  CloseHandle(file);
  if (!ok || !ReplaceWithRetries(temp, path)) return false;
  return SetEnvironmentVariableW(kScriptVariable, path.c_str()) != FALSE;
}

std::wstring FakeSessionsDllPath() { return FolderOfThisExe() + kDllName; }

bool RegisterFakeSessionManager(const std::wstring& dllPath) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, ClassKey().c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr))
    return false;
  const LSTATUS status = RegSetValueExW(key, L"DllPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(dllPath.c_str()),
                                        DWORD((dllPath.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool UnregisterFakeSessionManager() {
  const LSTATUS status = RegDeleteKeyW(HKEY_LOCAL_MACHINE, ClassKey().c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

long FakeSessionObjectsAlive() {
  HMODULE dll = GetModuleHandleW(kDllName);
  if (!dll) return -1;
  using Count = LONG(WINAPI*)();
  const auto count = reinterpret_cast<Count>(reinterpret_cast<void*>(GetProcAddress(dll, "FakeSessionsLiveObjects")));
  return count ? count() : -1;
}

bool WaitForNoFakeSessionObjects(DWORD boundMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    const long alive = FakeSessionObjectsAlive();
    if (alive <= 0) return true;
    if (GetTickCount() - start >= boundMs) return false;
    Sleep(10);
  }
}

std::vector<std::string> ReadLogLines(const std::wstring& path) {
  std::vector<std::string> lines;
  std::ifstream in(path.c_str(), std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

bool WriteBytesFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return bool(out);
}

FakeSessionManager::FakeSessionManager() {
  static int counter = 0;
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  folder_ = std::wstring(temp) + L"tunelet-fs-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter) + L"\\";
  CreateDirectoryW(folder_.c_str(), nullptr);
  scriptPath_ = folder_ + L"sessions.txt";
  logPath_ = folder_ + L"commands.log";
  ready_ = Write({}) && RegisterFakeSessionManager(FakeSessionsDllPath());
}

FakeSessionManager::~FakeSessionManager() {
  UnregisterFakeSessionManager();
  SetEnvironmentVariableW(kScriptVariable, nullptr);
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((folder_ + L"*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((folder_ + found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder_.c_str());
}

bool FakeSessionManager::Write(FakeSessionScript script) const {
  script.logPath = logPath_;
  return script.Write(scriptPath_);
}

std::vector<std::string> FakeSessionManager::LogLines() const { return ReadLogLines(logPath_); }

std::vector<std::string> FakeSessionManager::Commands() const {
  std::vector<std::string> commands;
  for (std::string& line : LogLines()) {
    if (line.rfind("Try", 0) == 0) commands.push_back(std::move(line));
  }
  return commands;
}

void FakeSessionManager::ClearLog() const { DeleteFileW(logPath_.c_str()); }

}  // namespace tunelet::testing
