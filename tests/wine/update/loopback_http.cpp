#include "loopback_http.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>

namespace update_test {

namespace {
constexpr wchar_t kInternetSettings[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr DWORD kReceiveTimeoutMs = 5000;
constexpr size_t kMaxHead = 16 * 1024;

struct WinsockUp {
  WinsockUp() {
    WSADATA data;
    ::WSAStartup(MAKEWORD(2, 2), &data);
  }
};
void EnsureWinsock() { static WinsockUp up; }

SOCKET ListenOnLoopback(uint16_t port, uint16_t* bound) {
  EnsureWinsock();
  SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return s;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  int len = sizeof(addr);
  if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || ::listen(s, 8) != 0 ||
      ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ::closesocket(s);
    return INVALID_SOCKET;
  }
  *bound = ntohs(addr.sin_port);
  return s;
}
}  // namespace

LoopbackHttpServer::LoopbackHttpServer() {
  released_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  answer_ = Answer("200 OK", "");
  listener_ = ListenOnLoopback(0, &port_);
  if (listener_ != INVALID_SOCKET) thread_ = std::thread([this] { Serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  ::SetEvent(released_);
  if (listener_ != INVALID_SOCKET) ::closesocket(listener_);  // accept() returns
  if (thread_.joinable()) thread_.join();
  ::CloseHandle(released_);
}

std::string LoopbackHttpServer::Answer(const std::string& status, const std::string& body,
                                       const std::string& contentType) {
  return "HTTP/1.1 " + status + "\r\nContent-Type: " + contentType +
         "\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nCache-Control: no-store, no-cache\r\nConnection: close\r\n\r\n" + body;
}

void LoopbackHttpServer::SetAnswer(std::string raw) {
  std::lock_guard<std::mutex> lock(mutex_);
  answer_ = std::move(raw);
  mode_ = Mode::kAnswer;
}

void LoopbackHttpServer::StallAfter(std::string sent) {
  std::lock_guard<std::mutex> lock(mutex_);
  answer_ = std::move(sent);
  mode_ = Mode::kStall;
  ::ResetEvent(released_);
}

void LoopbackHttpServer::SendEndlessBody(std::string head) {
  std::lock_guard<std::mutex> lock(mutex_);
  answer_ = std::move(head);
  mode_ = Mode::kEndless;
  ::ResetEvent(released_);
}

uint64_t LoopbackHttpServer::EndlessBytesSent() {
  std::lock_guard<std::mutex> lock(mutex_);
  return endlessBytes_;
}

void LoopbackHttpServer::Hold() {
  std::lock_guard<std::mutex> lock(mutex_);
  hold_ = true;
  ::ResetEvent(released_);
}

void LoopbackHttpServer::Release() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    hold_ = false;
  }
  ::SetEvent(released_);
}

std::vector<std::string> LoopbackHttpServer::Requests() {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

bool LoopbackHttpServer::WaitForRequests(size_t n, DWORD boundMs) {
  for (DWORD waited = 0;; waited += 10) {
    if (Requests().size() >= n) return true;
    if (waited >= boundMs) return false;
    ::Sleep(10);
  }
}

bool LoopbackHttpServer::ClientGaveUp() {
  std::lock_guard<std::mutex> lock(mutex_);
  return clientGaveUp_;
}

void LoopbackHttpServer::Serve() {
  for (;;) {
    SOCKET s = ::accept(listener_, nullptr, nullptr);
    if (s == INVALID_SOCKET) return;  // the listener was closed
    ServeOne(s);
    ::closesocket(s);
  }
}

void LoopbackHttpServer::ServeOne(SOCKET s) {
  const DWORD timeout = kReceiveTimeoutMs;
  ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
  std::string head;
  char buf[1024];
  while (head.find("\r\n\r\n") == std::string::npos && head.size() < kMaxHead) {
    const int n = ::recv(s, buf, int(sizeof(buf)), 0);
    if (n <= 0) return;
    head.append(buf, size_t(n));
  }
  std::string answer;
  bool hold = false;
  Mode mode = Mode::kAnswer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(head.substr(0, head.find("\r\n\r\n") + 2));
    answer = answer_;
    hold = hold_;
    mode = mode_;
  }
  switch (mode) {
    case Mode::kAnswer:
      if (hold && WaitForReleaseOrClose(s)) return;
      ::send(s, answer.data(), int(answer.size()), 0);
      ::shutdown(s, SD_SEND);
      return;
    case Mode::kStall:
      if (!answer.empty()) ::send(s, answer.data(), int(answer.size()), 0);
      WaitForReleaseOrClose(s);
      return;
    case Mode::kEndless:
      SendEndless(s, answer);
      return;
  }
}

bool LoopbackHttpServer::WaitForReleaseOrClose(SOCKET s) {
  char byte;
  while (::WaitForSingleObject(released_, 20) == WAIT_TIMEOUT) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval none{0, 0};
    if (::select(0, &readable, nullptr, nullptr, &none) == 1 && ::recv(s, &byte, 1, MSG_PEEK) <= 0) {
      std::lock_guard<std::mutex> lock(mutex_);
      clientGaveUp_ = true;
      return true;
    }
  }
  return false;
}

// Non-blocking, so that a client that stops reading without closing does
// not keep the server's thread from its end.
void LoopbackHttpServer::SendEndless(SOCKET s, const std::string& head) {
  ::send(s, head.data(), int(head.size()), 0);
  u_long nonBlocking = 1;
  ::ioctlsocket(s, FIONBIO, &nonBlocking);
  const std::string chunk(16 * 1024, 'x');
  while (::WaitForSingleObject(released_, 0) == WAIT_TIMEOUT) {
    const int n = ::send(s, chunk.data(), int(chunk.size()), 0);
    if (n > 0) {
      std::lock_guard<std::mutex> lock(mutex_);
      endlessBytes_ += uint64_t(n);
      continue;
    }
    if (::WSAGetLastError() != WSAEWOULDBLOCK) {
      std::lock_guard<std::mutex> lock(mutex_);
      clientGaveUp_ = true;
      return;
    }
    fd_set writable;
    FD_ZERO(&writable);
    FD_SET(s, &writable);
    timeval wait{0, 20 * 1000};
    ::select(0, nullptr, &writable, nullptr, &wait);
  }
}

uint16_t ClosedPort() {
  uint16_t port = 0;
  SOCKET s = ListenOnLoopback(0, &port);
  if (s != INVALID_SOCKET) ::closesocket(s);
  return port;
}

ProxySetting::ProxySetting(uint16_t port) {
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, kInternetSettings, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_,
                        nullptr) != ERROR_SUCCESS) {
    key_ = nullptr;
    return;
  }
  for (const wchar_t* name : {L"ProxyEnable", L"ProxyServer", L"ProxyOverride"}) {
    Saved s;
    s.name = name;
    DWORD size = 0;
    if (::RegQueryValueExW(key_, name, nullptr, &s.type, nullptr, &size) == ERROR_SUCCESS) {
      s.data.resize(size);
      s.present = ::RegQueryValueExW(key_, name, nullptr, &s.type, s.data.data(), &size) == ERROR_SUCCESS;
    }
    saved_.push_back(std::move(s));
  }
  const DWORD on = 1;
  const std::wstring server = L"127.0.0.1:" + std::to_wstring(port);
  ::RegSetValueExW(key_, L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof(on));
  ::RegSetValueExW(key_, L"ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server.c_str()),
                   DWORD((server.size() + 1) * sizeof(wchar_t)));
  ::RegDeleteValueW(key_, L"ProxyOverride");
}

ProxySetting::~ProxySetting() {
  if (!key_) return;
  for (const Saved& s : saved_) {
    if (s.present)
      ::RegSetValueExW(key_, s.name, 0, s.type, s.data.data(), DWORD(s.data.size()));
    else
      ::RegDeleteValueW(key_, s.name);
  }
  ::RegCloseKey(key_);
}

std::string RequestLine(const std::string& head) { return head.substr(0, head.find("\r\n")); }

std::string HeaderValue(const std::string& head, const std::string& name) {
  auto lower = [](std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
  };
  const std::string want = lower(name) + ":";
  size_t at = head.find("\r\n");
  while (at != std::string::npos && at + 2 < head.size()) {
    const size_t start = at + 2, end = head.find("\r\n", start);
    const std::string line = head.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (lower(line.substr(0, want.size())) == want) {
      size_t v = want.size();
      while (v < line.size() && line[v] == ' ') ++v;
      return line.substr(v);
    }
    at = end;
  }
  return {};
}

}  // namespace update_test
