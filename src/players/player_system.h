// What player access needs from the operating system to find a player and
// ask it what it plays. The rules (players/*.cpp) are written over this
// interface so that they run and are tested natively; players/win32 has the
// real implementation.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunelet {

// How long a player may take to answer one message. A player that takes
// longer (or hangs) counts as one that gave no answer: the host's
// user-interface thread must never wait on it without bound.
constexpr uint32_t kPlayerAnswerTimeoutMs = 1000;

// The width of a process's pointers, in bytes: 4 in a 32-bit process (the
// product, on 64-bit Windows too), 8 in a 64-bit one.
enum class PointerWidth : uint8_t { Bits32 = 4, Bits64 = 8 };

// An address another process answered with, as that process means it: a
// 32-bit player's answer reaches a 64-bit caller sign-extended, and only its
// low 32 bits are the address.
constexpr uintptr_t AddressInProcess(intptr_t answer, PointerWidth processWidth) {
  return processWidth == PointerWidth::Bits32 ? uintptr_t(uint32_t(answer)) : uintptr_t(answer);
}

// Memory of another process, open for reading while the object lives.
class IProcessMemory {
 public:
  virtual ~IProcessMemory() = default;
  // Exactly n bytes from address, or nothing when any of them cannot be read.
  virtual std::optional<std::vector<uint8_t>> Read(uintptr_t address, size_t n) = 0;
  // The width of the other process's pointers.
  virtual PointerWidth ProcessPointerWidth() const = 0;
};

class IPlayerSystem {
 public:
  virtual ~IPlayerSystem() = default;
  // A top-level window by 8-bit class and title (null title: any); 0 when none.
  virtual uintptr_t FindTopWindow(std::string_view windowClass, const char* title) = 0;
  // File-name part of the main module path of the window's process; empty
  // when the process cannot be opened.
  virtual std::u16string ProcessImageName(uintptr_t window) = 0;
  // Sends a message to another process's window and waits at most
  // kPlayerAnswerTimeoutMs; nothing when the window does not exist, hangs or
  // does not answer in time.
  virtual std::optional<intptr_t> SendBounded(uintptr_t window, uint32_t message, uintptr_t wParam,
                                              intptr_t lParam) = 0;
  // The whole window title, read without sending the window a message.
  virtual std::u16string WindowTitle(uintptr_t window) = 0;
  // WM_GETTEXT into a zero-initialised buffer of bufferBytes bytes (8-bit);
  // the text before the first NUL (empty when there is no such window).
  // Bounded like SendBounded: nothing when the window gave no answer.
  virtual std::optional<std::string> WindowTextByMessage(uintptr_t window, size_t bufferBytes) = 0;
  // Opens the memory of the window's process for reading; null when refused.
  virtual std::unique_ptr<IProcessMemory> OpenProcessMemory(uintptr_t window) = 0;
  // The first n bytes of the named file mapping, or nothing when the mapping
  // is absent or a view of n bytes cannot be made.
  virtual std::optional<std::vector<uint8_t>> ReadSharedMemory(const char* name, size_t n) = 0;
  // 8-bit text from a player in the system ANSI code page.
  virtual std::u16string AnsiToWide(std::string_view bytes) = 0;
};

}  // namespace tunelet
