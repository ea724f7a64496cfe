#include "app/single_instance_win.h"

#include <windows.h>

#include <cwctype>

#include "ui/messages_win.h"

namespace vantoip {
namespace {

// FNV-1a of the folder's name in lower case: the same folder written either way is one.
int FolderKey(const std::wstring& folder) {
  std::uint32_t hash = 2166136261u;
  for (wchar_t c : folder) {
    if (c == L'/') c = L'\\';
    hash = (hash ^ static_cast<std::uint32_t>(std::towlower(c))) * 16777619u;
  }
  return static_cast<int>(hash & 0x7fffffff);
}

}  // namespace

SingleInstance::SingleInstance(const std::wstring& dataFolder) : key_(FolderKey(dataFolder)) {
  const std::wstring name = L"Local\\Vantoip-" + std::to_wstring(key_);
  mutex_ = KernelHandle(CreateMutexW(nullptr, FALSE, name.c_str()));
  first_ = !mutex_ || GetLastError() != ERROR_ALREADY_EXISTS;  // without a mutex, nothing to share it with
}

void SingleInstance::ShowFirst() const {
  AllowSetForegroundWindow(ASFW_ANY);  // the running one may take the foreground this start was given
  PostMessageW(HWND_BROADCAST, AnotherStartMessage(), static_cast<WPARAM>(key_), 0);
}

}  // namespace vantoip
