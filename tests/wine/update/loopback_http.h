// A tiny HTTP server on 127.0.0.1 for the update check's tests, and the
// prefix's proxy setting pointed at it, so that the plug-in's request for
// the maker's site never leaves the machine.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace update_test {

class LoopbackHttpServer {
 public:
  LoopbackHttpServer();
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  bool Listening() const { return listener_ != INVALID_SOCKET; }
  uint16_t Port() const { return port_; }
  // The whole answer to every request from now on (status line, headers, body).
  void SetAnswer(std::string raw);
  // "HTTP/1.1 <status>" with a body that no cache keeps.
  static std::string Answer(const std::string& status, const std::string& body,
                            const std::string& contentType = "text/plain");
  // While held, a request is read and then waits for Release() (or the
  // server's end) before it is answered.
  void Hold();
  void Release();
  // From now on a request gets only these bytes ("" for none) and then
  // silence until Release(), the client's close or the server's end.
  void StallAfter(std::string sent);
  // From now on a request gets head and then an endless body, sent as fast
  // as the client takes it, until the client closes or Release().
  void SendEndlessBody(std::string head);
  // Bytes of endless body sent so far.
  uint64_t EndlessBytesSent();
  // The head of each request received (request line and headers).
  std::vector<std::string> Requests();
  // True when at least n requests came within boundMs.
  bool WaitForRequests(size_t n, DWORD boundMs);
  // Whether the client closed a held connection before it was answered.
  bool ClientGaveUp();

 private:
  enum class Mode { kAnswer, kStall, kEndless };
  void Serve();
  void ServeOne(SOCKET s);
  // Waits for the release; true when the client closed meanwhile.
  bool WaitForReleaseOrClose(SOCKET s);
  void SendEndless(SOCKET s, const std::string& head);

  SOCKET listener_ = INVALID_SOCKET;
  uint16_t port_ = 0;
  HANDLE released_ = nullptr;  // manual-reset event
  std::mutex mutex_;
  std::string answer_;
  Mode mode_ = Mode::kAnswer;
  uint64_t endlessBytes_ = 0;
  bool hold_ = false;
  bool clientGaveUp_ = false;
  std::vector<std::string> requests_;
  std::thread thread_;
};

// A port on 127.0.0.1 with nothing listening.
uint16_t ClosedPort();

// HKCU's "Internet Settings" proxy pointed at 127.0.0.1:port for the life of
// the object; the previous values are put back afterwards.
class ProxySetting {
 public:
  explicit ProxySetting(uint16_t port);
  ~ProxySetting();
  ProxySetting(const ProxySetting&) = delete;
  ProxySetting& operator=(const ProxySetting&) = delete;

 private:
  struct Saved {
    const wchar_t* name;
    bool present = false;
    DWORD type = 0;
    std::vector<BYTE> data;
  };
  HKEY key_ = nullptr;
  std::vector<Saved> saved_;
};

// Splits "Name: value" header lines; the value of name in head, or "".
std::string HeaderValue(const std::string& head, const std::string& name);
std::string RequestLine(const std::string& head);

}  // namespace update_test
