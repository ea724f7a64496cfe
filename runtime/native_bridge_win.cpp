#include "runtime/native_bridge_win.h"

#include <cstdio>
#include <cstdlib>

#include "runtime/encoding_win.h"
#include "runtime/fatal.h"

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

// A named library: by its full path, from the program folder or from the
// system folder, never from anywhere else.
ModuleHandle LoadNamedLibrary(const std::string& library, LibraryFolder folder) {
  if (library.find(':') != std::string::npos) return ModuleHandle(LoadLibraryA(library.c_str()));
  // Only the copy the program checked: no search elsewhere when it fails to load.
  if (folder == LibraryFolder::Program)
    return ModuleHandle(LoadLibraryW((ProgramFolder() + L"\\" + GbkToWide(library)).c_str()));
  return LoadSystemLibrary(library);
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

ModuleHandle LoadSystemLibrary(const std::string& name) {
  return ModuleHandle(LoadLibraryA((SystemFolder() + "\\" + name).c_str()));
}

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

NativeCommandTable::NativeCommandTable(std::span<const NativeCommand> commands) : entries_(commands.size()) {
  for (std::size_t i = 0; i < commands.size(); ++i) {
    entries_[i].library = commands[i].library;
    entries_[i].exportName = commands[i].exportName;
    entries_[i].arguments = commands[i].arguments;
    entries_[i].folder = commands[i].folder;
  }
}

void* NativeCommandTable::Resolve(int entry) {
  if (void* address = TryResolve(entry)) return address;
  // Raised without the lock: the end-of-run routine takes it to release the modules.
  RaiseUnresolved(entries_[entry].library, entries_[entry].exportName);
}

void* NativeCommandTable::TryResolve(int index) {
  Entry& entry = entries_[index];
  if (void* address = entry.address.load(std::memory_order_acquire)) return address;
  std::lock_guard lock(resolveMutex_);  // one thread loads; the others find the address
  if (void* address = entry.address.load(std::memory_order_relaxed)) return address;

  ModuleHandle module;
  FARPROC address = nullptr;
  if (entry.library.empty()) {
    for (const char* candidate : kSystemSearchList) {  // a candidate without the export is released
      module = LoadSystemLibrary(candidate);
      if (module && (address = LookUpExport(module.Get(), entry.exportName))) break;
    }
  } else {
    module = LoadNamedLibrary(entry.library, entry.folder);
    if (module) address = LookUpExport(module.Get(), entry.exportName);
  }
  if (!address) return nullptr;  // the module, if any, is released here
  entry.module = std::move(module);
  void* resolved = reinterpret_cast<void*>(address);
  entry.address.store(resolved, std::memory_order_release);
  return resolved;
}

NativeWord NativeCommandTable::Call(int entry, std::initializer_list<NativeArgument> arguments) {
  const std::string& declared = entries_[entry].arguments;
  bool matches = arguments.size() == declared.size();
  NativeWord words[16];
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
  std::intptr_t stackDelta = 0;
  const NativeWord result = VantoipInvokeNative(function, words, i, &stackDelta);
  if (stackDelta != 0) RaiseFatalError(kStackMismatch);
  return result;
}

void NativeCommandTable::ReleaseModules() {
  std::lock_guard lock(resolveMutex_);
  for (Entry& entry : entries_) {
    entry.address.store(nullptr, std::memory_order_release);
    entry.module.Reset();
  }
}

}  // namespace vantoip
