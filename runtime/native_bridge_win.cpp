#include "runtime/native_bridge_win.h"

#include <cstdio>
#include <cstdlib>

#include "runtime/encoding_win.h"
#include "runtime/fatal.h"
#include "runtime/native_thunk_win.h"

namespace vantoip {
namespace {

// Tried in this order for an entry without a library name.
constexpr const char* kSystemSearchList[] = {"Kernel32.dll", "Gdi32.dll", "User32.dll",
                                             "Advapi32.dll", "Mpr.dll",   "Shell32.dll"};

std::string SystemFolder() {
  char path[MAX_PATH];
  const UINT n = GetSystemDirectoryA(path, MAX_PATH);
  return std::string(path, n > 0 && n < MAX_PATH ? n : 0);
}

HMODULE LoadFromSystemFolder(const std::string& name) {
  return LoadLibraryA((SystemFolder() + "\\" + name).c_str());
}

FARPROC LookUpExport(HMODULE module, const std::string& exportName) {
  if (!exportName.empty() && exportName[0] == '#') {
    const int ordinal = std::atoi(exportName.c_str() + 1) & 0xFFFF;
    return GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
  }
  return GetProcAddress(module, exportName.c_str());
}

[[noreturn]] void RaiseUnresolved(const std::string& library, const std::string& exportName) {
  if (library.empty()) RaiseFatalError("无法找到指定DLL库文件中的输出命令“" + exportName + "”");
  RaiseFatalError("无法找到指定DLL库文件“" + library + "”中的输出命令“" + exportName + "”");
}

}  // namespace

std::wstring ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);  // the name was cut: ask again with room for it
  }
  const std::size_t slash = path.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

NativeCommandTable::NativeCommandTable(std::span<const NativeCommand> commands)
    : addresses_(commands.size()), modules_(commands.size(), nullptr) {
  for (const NativeCommand& c : commands) {
    libraries_.emplace_back(c.library);
    exports_.emplace_back(c.exportName);
    arguments_.emplace_back(c.arguments);
    folders_.push_back(c.folder);
  }
}

NativeCommandTable::~NativeCommandTable() { ReleaseModules(); }

void* NativeCommandTable::Resolve(int entry) {
  if (void* address = TryResolve(entry)) return address;
  // Raised without the lock: the end-of-run routine takes it to release the modules.
  RaiseUnresolved(libraries_[entry], exports_[entry]);
}

void* NativeCommandTable::TryResolve(int entry) {
  if (void* address = addresses_[entry].load(std::memory_order_acquire)) return address;
  std::lock_guard lock(resolveMutex_);  // one thread loads; the others find the address
  if (void* address = addresses_[entry].load(std::memory_order_relaxed)) return address;

  const std::string& library = libraries_[entry];
  const std::string& exportName = exports_[entry];
  HMODULE module = nullptr;
  FARPROC address = nullptr;
  if (library.empty()) {
    for (const char* candidate : kSystemSearchList) {
      module = LoadFromSystemFolder(candidate);
      if (!module) continue;
      if ((address = LookUpExport(module, exportName))) break;
      FreeLibrary(module);
      module = nullptr;
    }
  } else {
    if (library.find(':') != std::string::npos) {
      module = LoadLibraryA(library.c_str());
    } else if (folders_[entry] == LibraryFolder::Program) {
      // Only the copy the program checked: no search elsewhere when it fails to load.
      module = LoadLibraryW((ProgramFolder() + L"\\" + GbkToWide(library)).c_str());
    } else {
      module = LoadFromSystemFolder(library);
    }
    if (module) address = LookUpExport(module, exportName);
  }
  if (!address) {
    if (module) FreeLibrary(module);
    return nullptr;
  }
  modules_[entry] = module;
  void* resolved = reinterpret_cast<void*>(address);
  addresses_[entry].store(resolved, std::memory_order_release);
  return resolved;
}

std::uint32_t NativeCommandTable::Call(int entry, std::initializer_list<NativeArgument> arguments) {
  const std::string& declared = arguments_[entry];
  bool matches = arguments.size() == declared.size();
  std::uint32_t words[16];
  std::size_t i = 0;
  for (const NativeArgument& a : arguments) {
    if (i >= std::size(words) || a.Kind() != declared[i]) {
      matches = false;
      break;
    }
    words[i++] = a.Word();
  }
  if (!matches) RaiseFatalError(kTypeMismatch);  // a call that disagrees with its declaration

  const void* function = Resolve(entry);
  std::int32_t stackDelta = 0;
  const std::uint32_t result =
      VantoipInvokeNative(function, words, static_cast<std::uint32_t>(i), &stackDelta);
  if (stackDelta != 0) RaiseFatalError(kStackMismatch);
  return result;
}

void NativeCommandTable::ReleaseModules() {
  std::lock_guard lock(resolveMutex_);
  for (std::size_t i = 0; i < modules_.size(); ++i) {
    if (modules_[i]) FreeLibrary(modules_[i]);
    modules_[i] = nullptr;
    addresses_[i].store(nullptr, std::memory_order_release);
  }
}

}  // namespace vantoip
