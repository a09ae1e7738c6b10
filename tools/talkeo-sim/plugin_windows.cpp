#include "plugin_windows.h"

#include <zlib.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <utility>

#include "platform/win32/unique_handle.h"
#include "sim_host.h"
#include "sim_text.h"

namespace talkeo_sim {

using tunelet::win32::ScopeExit;
using tunelet::win32::UniqueGdiObject;
using tunelet::win32::UniqueMemoryDc;

namespace {

// A window counts as painted when nothing of it waits for WM_PAINT; one that
// never clears its update region is reported after this long anyway.
constexpr uint32_t kPaintWaitMs = 500;
constexpr uint32_t kWaitSliceMs = 20;
constexpr size_t kMaxTextsPerWindow = 64;  // a window that draws in a loop stays bounded
constexpr int kMaxChildTexts = 32;

std::wstring ClassOf(HWND hwnd) {
  wchar_t buf[256] = {};
  ::GetClassNameW(hwnd, buf, int(std::size(buf)));
  return buf;
}

std::wstring CaptionOf(HWND hwnd) {
  wchar_t buf[512] = {};
  ::GetWindowTextW(hwnd, buf, int(std::size(buf)));
  return buf;
}

bool BelongsTo(HWND hwnd, HMODULE module) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid != ::GetCurrentProcessId()) return false;
  return HMODULE(::GetWindowLongPtrW(hwnd, GWLP_HINSTANCE)) == module ||
         HMODULE(::GetClassLongPtrW(hwnd, GCLP_HMODULE)) == module;
}

struct ChildTexts {
  std::vector<std::wstring> texts;
};
BOOL CALLBACK CollectChildText(HWND child, LPARAM p) {
  auto& c = *reinterpret_cast<ChildTexts*>(p);
  if (!::IsWindowVisible(child)) return TRUE;
  std::wstring t = CaptionOf(child);
  if (!t.empty()) c.texts.push_back(std::move(t));
  return c.texts.size() < size_t(kMaxChildTexts);
}

WindowView Look(HWND hwnd) {
  WindowView v;
  v.hwnd = hwnd;
  v.className = ClassOf(hwnd);
  v.caption = CaptionOf(hwnd);
  ::GetWindowRect(hwnd, &v.rect);
  v.style = ::GetWindowLongPtrW(hwnd, GWL_STYLE);
  v.exStyle = ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
  if (v.exStyle & WS_EX_LAYERED) {
    BYTE alpha = 0;
    DWORD flags = 0;
    if (::GetLayeredWindowAttributes(hwnd, nullptr, &alpha, &flags) && (flags & LWA_ALPHA)) v.alpha = alpha;
  }
  v.visible = ::IsWindowVisible(hwnd) != FALSE;
  v.foreground = ::GetForegroundWindow() == hwnd;
  v.active = ::GetActiveWindow() == hwnd;
  v.texts = DrawnTexts::Of(hwnd);
  if (v.texts.empty()) {
    ChildTexts c;
    ::EnumChildWindows(hwnd, CollectChildText, LPARAM(&c));
    v.texts = std::move(c.texts);
  }
  return v;
}

struct Collected {
  HMODULE module;
  std::vector<WindowView> views;
};
BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM p) {
  auto& c = *reinterpret_cast<Collected*>(p);
  if (BelongsTo(hwnd, c.module)) c.views.push_back(Look(hwnd));
  return TRUE;
}

std::string Hex(LONG_PTR v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(uint32_t(v)));
  return buf;
}

std::string ExStyleNames(LONG_PTR ex) {
  static constexpr struct {
    LONG_PTR bit;
    const char* name;
  } kNames[] = {{WS_EX_TOPMOST, "TOPMOST"},       {WS_EX_TOOLWINDOW, "TOOLWINDOW"}, {WS_EX_LAYERED, "LAYERED"},
                {WS_EX_NOACTIVATE, "NOACTIVATE"}, {WS_EX_TRANSPARENT, "TRANSPARENT"}, {WS_EX_APPWINDOW, "APPWINDOW"}};
  std::string s;
  for (const auto& n : kNames)
    if (ex & n.bit) s += (s.empty() ? "" : " ") + std::string(n.name);
  return s;
}

std::string Corners(const RECT& r, const char* format) {
  char buf[96];
  std::snprintf(buf, sizeof buf, format, int(r.left), int(r.top), int(r.right), int(r.bottom));
  return buf;
}

std::string JoinTexts(const std::vector<std::wstring>& texts) {
  std::wstring all;
  for (const auto& t : texts) {
    std::wstring one;
    for (wchar_t c : t) one += (c == L'\r' || c == L'\n' || c == L'\t') ? L' ' : c;
    all += (all.empty() ? L"" : L" | ") + one;
  }
  return ToUtf8(all);
}

// --- the texts a module draws

std::mutex gTextsMutex;
std::map<HWND, std::vector<std::wstring>> gTexts;
std::vector<HWND> gPainting;  // windows between BeginPaint and EndPaint, innermost last

decltype(&::DrawTextW) gDrawTextW = ::DrawTextW;
decltype(&::DrawTextExW) gDrawTextExW = ::DrawTextExW;
decltype(&::ExtTextOutW) gExtTextOutW = ::ExtTextOutW;
decltype(&::TextOutW) gTextOutW = ::TextOutW;
decltype(&::BeginPaint) gBeginPaint = ::BeginPaint;
decltype(&::EndPaint) gEndPaint = ::EndPaint;

void Record(HDC dc, const wchar_t* text, int count) {
  if (!text || count == 0) return;
  std::wstring t = count < 0 ? std::wstring(text) : std::wstring(text, size_t(count));
  HWND hwnd = ::WindowFromDC(dc);
  std::lock_guard<std::mutex> lock(gTextsMutex);
  if (!hwnd && !gPainting.empty()) hwnd = gPainting.back();  // a memory DC of the window being painted
  if (!hwnd) return;
  if (HWND root = ::GetAncestor(hwnd, GA_ROOT)) hwnd = root;  // a child's text shows in its window
  auto& list = gTexts[hwnd];
  if (list.size() < kMaxTextsPerWindow) list.push_back(std::move(t));
}

int WINAPI TracedDrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format) {
  if (!(format & DT_CALCRECT)) Record(dc, text, count);
  return gDrawTextW(dc, text, count, rect, format);
}
int WINAPI TracedDrawTextExW(HDC dc, LPWSTR text, int count, LPRECT rect, UINT format, LPDRAWTEXTPARAMS params) {
  if (!(format & DT_CALCRECT)) Record(dc, text, count);
  return gDrawTextExW(dc, text, count, rect, format, params);
}
BOOL WINAPI TracedExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count,
                              const INT* dx) {
  if (!(options & ETO_GLYPH_INDEX)) Record(dc, text, int(count));
  return gExtTextOutW(dc, x, y, options, rect, text, count, dx);
}
BOOL WINAPI TracedTextOutW(HDC dc, int x, int y, LPCWSTR text, int count) {
  Record(dc, text, count);
  return gTextOutW(dc, x, y, text, count);
}
HDC WINAPI TracedBeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
  {
    std::lock_guard<std::mutex> lock(gTextsMutex);
    gTexts.erase(hwnd);  // a new paint: what it draws now is what it shows
    gPainting.push_back(hwnd);
  }
  return gBeginPaint(hwnd, ps);
}
BOOL WINAPI TracedEndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
  {
    std::lock_guard<std::mutex> lock(gTextsMutex);
    for (auto it = gPainting.rbegin(); it != gPainting.rend(); ++it)
      if (*it == hwnd) {
        gPainting.erase(std::next(it).base());
        break;
      }
  }
  return gEndPaint(hwnd, ps);
}

// --- the hooks a module sets

std::atomic<int> gLiveHooks{0};
decltype(&::SetWindowsHookExW) gSetWindowsHookExW = ::SetWindowsHookExW;
decltype(&::SetWindowsHookExA) gSetWindowsHookExA = ::SetWindowsHookExA;
decltype(&::UnhookWindowsHookEx) gUnhookWindowsHookEx = ::UnhookWindowsHookEx;

HHOOK WINAPI TracedSetWindowsHookExW(int id, HOOKPROC proc, HINSTANCE module, DWORD thread) {
  const HHOOK h = gSetWindowsHookExW(id, proc, module, thread);
  if (h) ++gLiveHooks;
  return h;
}
HHOOK WINAPI TracedSetWindowsHookExA(int id, HOOKPROC proc, HINSTANCE module, DWORD thread) {
  const HHOOK h = gSetWindowsHookExA(id, proc, module, thread);
  if (h) ++gLiveHooks;
  return h;
}
BOOL WINAPI TracedUnhookWindowsHookEx(HHOOK hook) {
  const BOOL ok = gUnhookWindowsHookEx(hook);
  if (ok) --gLiveHooks;
  return ok;
}

// --- what the shell was asked to open

using ShellExecuteWFn = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
ShellExecuteWFn gShellExecuteW = nullptr;  // the real one, never called here
std::vector<ShellOpens::Opened> gOpened;
// Above 32 is what ShellExecuteW answers for a file or page it opened.
constexpr INT_PTR kShellOpenedResult = 33;

HINSTANCE WINAPI RecordShellExecuteW(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR,
                                     INT show) {
  gOpened.push_back({owner, verb ? verb : L"", file ? file : L"", parameters ? parameters : L"", show});
  return reinterpret_cast<HINSTANCE>(kShellOpenedResult);
}

// The import address slot of function from dll in the module's import table.
void** ImportSlot(HMODULE module, const char* dll, const char* function) {
  auto* base = reinterpret_cast<BYTE*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE) return nullptr;
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!dir.VirtualAddress) return nullptr;
  for (auto* imp = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); imp->Name; ++imp) {
    if (_stricmp(reinterpret_cast<const char*>(base + imp->Name), dll) != 0) continue;
    const DWORD namesRva = imp->OriginalFirstThunk ? imp->OriginalFirstThunk : imp->FirstThunk;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + namesRva);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
    for (; names->u1.AddressOfData; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
        return reinterpret_cast<void**>(&slots->u1.Function);
    }
  }
  return nullptr;
}

template <typename Fn>
bool Redirect(HMODULE module, const char* dll, const char* function, Fn traced, Fn& original) {
  void** slot = ImportSlot(module, dll, function);
  if (!slot) return false;
  if (*slot == reinterpret_cast<void*>(traced)) return true;  // already traced
  DWORD old = 0;
  if (!::VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old)) return false;
  original = reinterpret_cast<Fn>(*slot);
  *slot = reinterpret_cast<void*>(traced);
  ::VirtualProtect(slot, sizeof(void*), old, &old);
  return true;
}

// --- PNG

void PutBigEndian(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out += char((v >> shift) & 0xFF);
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
  PutBigEndian(out, uint32_t(data.size()));
  std::string typed = std::string(type, 4) + data;
  out += typed;
  PutBigEndian(out, uint32_t(::crc32(0, reinterpret_cast<const Bytef*>(typed.data()), uInt(typed.size()))));
}

// Rows of 32-bit BGRX pixels, top first, as an 8-bit RGB PNG.
bool EncodePng(const uint8_t* bgrx, int width, int height, std::string& png) {
  std::string raw;
  raw.reserve(size_t(height) * (size_t(width) * 3 + 1));
  for (int y = 0; y < height; ++y) {
    raw += '\0';  // filter: none
    const uint8_t* row = bgrx + size_t(y) * size_t(width) * 4;
    for (int x = 0; x < width; ++x) {
      raw += char(row[x * 4 + 2]);
      raw += char(row[x * 4 + 1]);
      raw += char(row[x * 4]);
    }
  }
  uLongf packedSize = ::compressBound(uLong(raw.size()));
  std::string packed(packedSize, '\0');
  if (::compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
                  uLong(raw.size()), Z_BEST_SPEED) != Z_OK)
    return false;
  packed.resize(packedSize);
  std::string header;
  PutBigEndian(header, uint32_t(width));
  PutBigEndian(header, uint32_t(height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter set, no interlace
  png = std::string("\x89PNG\r\n\x1A\n", 8);
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", packed);
  PutChunk(png, "IEND", "");
  return true;
}

}  // namespace

std::vector<WindowView> ListPluginWindows(HMODULE module) {
  Collected c{module, {}};
  if (module) ::EnumWindows(CollectWindow, LPARAM(&c));
  return c.views;
}

std::optional<WindowView> FindPluginWindow(HMODULE module, const std::wstring& className) {
  for (auto& w : ListPluginWindows(module))
    if (w.visible && w.className == className) return w;
  return std::nullopt;
}

std::string WindowKind(const std::wstring& className) {
  if (className == L"Tpopform") return "popup";
  if (className == L"Tinfoform") return "QuickInfo";
  if (className == L"Ttlctrlf") return "control window";
  if (className == L"tooltips_class32") return "hint";
  return "window";
}

std::string DescribeWindow(const WindowView& w) {
  char size[48];
  std::snprintf(size, sizeof size, " %d×%d", int(w.rect.right - w.rect.left), int(w.rect.bottom - w.rect.top));
  std::string s = ToUtf8(w.className) + " " + QuoteText(w.caption) + " at " + Corners(w.rect, "(%d, %d)–(%d, %d)") +
                  size + (w.visible ? ", visible" : ", hidden");
  if (w.alpha) s += ", alpha " + std::to_string(*w.alpha);
  if (w.foreground) s += ", foreground";
  if (w.active) s += ", active";
  s += ", style " + Hex(w.style) + ", ex-style " + Hex(w.exStyle);
  const std::string names = ExStyleNames(w.exStyle);
  if (!names.empty()) s += " (" + names + ")";
  if (!w.texts.empty()) s += ": " + JoinTexts(w.texts);
  return s;
}

std::string DescribeWindowEvent(const WindowView& w) {
  std::string s = WindowKind(w.className) + " " + ToUtf8(w.className) + " at " +
                  Corners(w.rect, "(%4d, %4d)–(%4d, %4d)");
  if (!w.texts.empty()) s += ": " + JoinTexts(w.texts);
  return s;
}

bool DrawnTexts::Trace(HMODULE module) {
  if (!module) return false;
  bool any = false;
  any |= Redirect(module, "user32.dll", "DrawTextW", &TracedDrawTextW, gDrawTextW);
  any |= Redirect(module, "user32.dll", "DrawTextExW", &TracedDrawTextExW, gDrawTextExW);
  any |= Redirect(module, "gdi32.dll", "ExtTextOutW", &TracedExtTextOutW, gExtTextOutW);
  any |= Redirect(module, "gdi32.dll", "TextOutW", &TracedTextOutW, gTextOutW);
  Redirect(module, "user32.dll", "BeginPaint", &TracedBeginPaint, gBeginPaint);
  Redirect(module, "user32.dll", "EndPaint", &TracedEndPaint, gEndPaint);
  return any;
}

bool HookTrace::Trace(HMODULE module) {
  if (!module) return false;
  bool any = false;
  any |= Redirect(module, "user32.dll", "SetWindowsHookExW", &TracedSetWindowsHookExW, gSetWindowsHookExW);
  any |= Redirect(module, "user32.dll", "SetWindowsHookExA", &TracedSetWindowsHookExA, gSetWindowsHookExA);
  any |= Redirect(module, "user32.dll", "UnhookWindowsHookEx", &TracedUnhookWindowsHookEx, gUnhookWindowsHookEx);
  return any;
}

int HookTrace::Live() { return gLiveHooks; }

bool ShellOpens::Trace(HMODULE module) {
  return module && Redirect(module, "shell32.dll", "ShellExecuteW", &RecordShellExecuteW, gShellExecuteW);
}

std::vector<ShellOpens::Opened> ShellOpens::Take() { return std::exchange(gOpened, {}); }

std::vector<std::wstring> DrawnTexts::Of(HWND hwnd) {
  std::lock_guard<std::mutex> lock(gTextsMutex);
  const auto it = gTexts.find(hwnd);
  return it == gTexts.end() ? std::vector<std::wstring>() : it->second;
}

void DrawnTexts::Forget(HWND hwnd) {
  std::lock_guard<std::mutex> lock(gTextsMutex);
  gTexts.erase(hwnd);
}

bool ParseMouseButton(const std::wstring& word, MouseButton& out) {
  if (word == L"left") out = MouseButton::Left;
  else if (word == L"right") out = MouseButton::Right;
  else if (word == L"middle") out = MouseButton::Middle;
  else return false;
  return true;
}

bool MoveMouse(POINT screen) { return ::SetCursorPos(screen.x, screen.y) != FALSE; }

bool ClickAt(POINT screen, MouseButton button) {
  if (!MoveMouse(screen)) return false;
  DWORD down = MOUSEEVENTF_LEFTDOWN, up = MOUSEEVENTF_LEFTUP;
  if (button == MouseButton::Right) down = MOUSEEVENTF_RIGHTDOWN, up = MOUSEEVENTF_RIGHTUP;
  if (button == MouseButton::Middle) down = MOUSEEVENTF_MIDDLEDOWN, up = MOUSEEVENTF_MIDDLEUP;
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = down;
  in[1].mi.dwFlags = up;
  return ::SendInput(2, in, sizeof(INPUT)) == 2;
}

POINT ClientToScreenPoint(HWND hwnd, int x, int y) {
  POINT p{x, y};
  ::ClientToScreen(hwnd, &p);
  return p;
}

bool SaveScreenPng(const std::wstring& path, const RECT* area, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  const RECT screen{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  RECT r = screen;
  if (area && !::IntersectRect(&r, area, &screen)) return fail("the area is off the screen");
  const int width = r.right - r.left, height = r.bottom - r.top;
  HDC screenDc = ::GetDC(nullptr);
  if (!screenDc) return fail("no screen DC");
  ScopeExit releaseScreen([&] { ::ReleaseDC(nullptr, screenDc); });
  UniqueMemoryDc memory(::CreateCompatibleDC(screenDc));
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = -height;  // top row first
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  UniqueGdiObject bitmap(::CreateDIBSection(screenDc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory || !bitmap || !bits) return fail("no bitmap of " + std::to_string(width) + "×" + std::to_string(height));
  const HGDIOBJ old = ::SelectObject(memory.get(), bitmap.get());
  const BOOL copied = ::BitBlt(memory.get(), 0, 0, width, height, screenDc, r.left, r.top, SRCCOPY | CAPTUREBLT);
  ::GdiFlush();
  ::SelectObject(memory.get(), old);
  if (!copied) return fail("BitBlt from the screen failed");
  std::string png;
  if (!EncodePng(static_cast<const uint8_t*>(bits), width, height, png)) return fail("PNG encoding failed");
  std::ofstream out(std::filesystem::path(path), std::ios::binary);
  if (!(out << png)) return fail("cannot write " + ToUtf8(path));
  return true;
}

WindowWatch::~WindowWatch() {
  if (attached_) host_.SetPumpHook(nullptr);
}

void WindowWatch::Watch() {
  DrawnTexts::Trace(host_.Module());
  host_.SetPumpHook([this] { Poll(); });
  attached_ = true;
}

void WindowWatch::Poll() {
  const uint32_t now = host_.Now();
  std::map<HWND, Seen> next;
  for (WindowView& w : ListPluginWindows(host_.Module())) {
    if (!w.visible) continue;
    auto it = seen_.find(w.hwnd);
    Seen s = it != seen_.end() ? std::move(it->second) : Seen{{}, now, false};
    s.view = std::move(w);
    // Reported once painted, so that the line carries what it shows.
    const bool painted = !::GetUpdateRect(s.view.hwnd, nullptr, FALSE);
    if (!s.reported && (painted || now - s.firstMs >= kPaintWaitMs)) {
      s.reported = true;
      if (sink_) sink_({Change::Appeared, s.view});
    }
    next.emplace(s.view.hwnd, std::move(s));
  }
  for (auto& [hwnd, s] : seen_) {
    if (next.count(hwnd)) continue;
    if (!::IsWindow(hwnd)) DrawnTexts::Forget(hwnd);
    if (s.reported && sink_) sink_({Change::Vanished, s.view});
  }
  seen_ = std::move(next);
}

std::optional<WindowView> WindowWatch::WaitFor(const std::wstring& className, bool present, uint32_t boundMs) {
  const uint64_t deadline = ::GetTickCount64() + boundMs;
  for (;;) {
    std::optional<WindowView> w = FindPluginWindow(host_.Module(), className);
    if (present && w) return w;
    if (!present && !w) return WindowView{};
    if (::GetTickCount64() >= deadline) return std::nullopt;
    host_.Pump(kWaitSliceMs);
  }
}

}  // namespace talkeo_sim
