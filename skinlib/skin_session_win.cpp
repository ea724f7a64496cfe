#include "skinlib/skin_session_win.h"

#include <windows.h>

#include <atomic>
#include <map>
#include <memory>

#include "runtime/window_enumeration_win.h"
#include "skinlib/skinned_window_win.h"
#include "skinlib/window_chain_win.h"

namespace vantoip::skin {
namespace {

// One top-level window's backdrop and a brush of it for its labels.
struct RootBackdrop {
  std::unique_ptr<Surface> picture;
  GdiObject brush;
  bool stale = true;
};

inline void Unhook(HHOOK hook) { UnhookWindowsHookEx(hook); }
using HookHandle = UniqueHandle<NullIsInvalid<HHOOK, &Unhook>>;

struct Session {
  Skin skin;
  HookHandle hook;
  std::map<HWND, WindowState> windows;
  std::map<HWND, RootBackdrop> backdrops;
};

// The thread that owns the session; any thread may ask, only the owner (or a
// thread that becomes the owner while there is none) touches g_session.
std::atomic<DWORD> g_owner{0};
std::unique_ptr<Session> g_session;

RootBackdrop& FreshBackdrop(HWND root) {
  RootBackdrop& b = g_session->backdrops[root];
  RECT client{};
  GetClientRect(root, &client);
  if (b.stale || !b.picture || b.picture->Width() != client.right || b.picture->Height() != client.bottom) {
    b.picture = std::make_unique<Surface>(client.right, client.bottom);
    if (b.picture->Valid()) ComposeBackdrop(g_session->skin, root, *b.picture);
    b.brush.Reset(b.picture->MakePatternBrush());
    b.stale = false;
  }
  return b;
}

// Subclasses a window of `root` (itself included). Push buttons already
// created are drawn by the skin at once, new ones once their WM_CREATE is done.
void Track(HWND window, HWND root, Role role, DWORD style, bool created) {
  if (role == Role::None || Find(window)) return;
  WindowState state;
  state.role = role;
  state.isDefault = role == Role::PushButton && (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  g_session->windows[window] = state;
  Chain(window, &SkinProc);
  if (role == Role::PushButton && created) DrawButtonBySkin(window);
  if (role == Role::GroupBox || role == Role::TabControl) g_session->backdrops[root].stale = true;
}

void TrackTree(HWND root) {
  Track(root, root, Role::Frame, GetWindowLongW(root, GWL_STYLE), true);
  ForEachChildWindow(root, [root](HWND child) {
    const DWORD style = GetWindowLongW(child, GWL_STYLE);
    Track(child, root, RoleOf(child, style), style, true);
  });
}

bool IsSkinnedFrame(HWND window) {
  return window && RoleOf(window, GetWindowLongW(window, GWL_STYLE)) == Role::Frame;
}

// Children are met as they are created. A top-level window is taken on only
// when its first child arrives or it is activated: its owner may still replace
// its window procedure right after creating it.
LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam) {
  if (g_session) {
    const auto window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_CREATEWND) {
      const CREATESTRUCTW* create = reinterpret_cast<CBT_CREATEWNDW*>(lParam)->lpcs;
      const HWND root = create->hwndParent ? GetAncestor(create->hwndParent, GA_ROOT) : nullptr;
      if ((create->style & WS_CHILD) && IsSkinnedFrame(root)) {
        Track(window, root, RoleOf(window, create->style), create->style, false);
        if (!Find(root)) TrackTree(root);
      }
    } else if (code == HCBT_ACTIVATE && IsSkinnedFrame(window) && !Find(window)) {
      TrackTree(window);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

void RedrawAll(const std::map<HWND, WindowState>& windows) {
  for (const auto& [window, state] : windows)
    if (state.role == Role::Frame)
      RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

}  // namespace

const Skin* AttachedSkin() { return g_session ? &g_session->skin : nullptr; }

WindowState* Find(HWND window) {
  if (!g_session) return nullptr;
  const auto it = g_session->windows.find(window);
  return it == g_session->windows.end() ? nullptr : &it->second;
}

void Forget(HWND window) {
  if (!g_session) return;
  g_session->windows.erase(window);
  g_session->backdrops.erase(window);
}

Backdrop BackdropOf(HWND window) {
  const HWND root = GetAncestor(window, GA_ROOT);
  return {FreshBackdrop(root).picture.get(), OriginInRoot(window, root)};
}

HGDIOBJ BackdropBrushOf(HWND root) { return FreshBackdrop(root).brush.Get(); }

POINT OriginInRoot(HWND window, HWND root) {
  POINT origin{0, 0};
  MapWindowPoints(window, root, &origin, 1);
  return origin;
}

void RedrawBackdrop(HWND window) {
  if (!g_session) return;
  const HWND root = GetAncestor(window, GA_ROOT);
  g_session->backdrops[root].stale = true;
  RedrawWindow(root, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

bool AttachSkin(const Skin& skin) {
  const DWORD thread = GetCurrentThreadId();
  DWORD owner = 0;
  if (!g_owner.compare_exchange_strong(owner, thread) && owner != thread) return false;
  if (!g_session) {
    // Hooks and subclasses point into this library: it stays loaded from now on.
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&CbtHook), &self);
    auto session = std::make_unique<Session>();
    session->hook.Reset(SetWindowsHookExW(WH_CBT, &CbtHook, self, thread));
    if (!session->hook) {
      g_owner = 0;
      return false;
    }
    g_session = std::move(session);
  }
  g_session->skin = skin;
  for (auto& [root, backdrop] : g_session->backdrops) backdrop.stale = true;
  ForEachThreadWindow(thread, [](HWND window) {
    if (IsSkinnedFrame(window)) TrackTree(window);
  });
  RedrawAll(g_session->windows);
  return true;
}

void DetachSkin() {
  if (g_owner != GetCurrentThreadId()) return;
  const std::unique_ptr<Session> session = std::move(g_session);
  g_owner = 0;
  for (const auto& [window, state] : session->windows) {
    Unchain(window, &SkinProc);
    if (state.role == Role::PushButton) SetButtonType(window, state.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
  }
  RedrawAll(session->windows);
}

}  // namespace vantoip::skin
