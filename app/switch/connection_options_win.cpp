#include "app/switch/connection_options_win.h"

#include <windows.h>
#include <wininet.h>
#include <ras.h>
#include <raserror.h>

#include "runtime/encoding_win.h"
#include "runtime/handle_win.h"
#include "runtime/native_bridge_win.h"
#include "runtime/system_win.h"

namespace vantoip {
namespace {

using QueryOption = BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, LPDWORD);
using SetOption = BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, DWORD);
using EnumEntries = DWORD(WINAPI*)(LPCWSTR, LPCWSTR, LPRASENTRYNAMEW, LPDWORD, LPDWORD);

// The two libraries, loaded once for the whole run (null when absent).
HMODULE Wininet() {
  static const ModuleHandle module = LoadSystemLibrary("wininet.dll");
  return module.Get();
}
HMODULE Rasapi() {
  static const ModuleHandle module = LoadSystemLibrary("rasapi32.dll");
  return module.Get();
}

template <class Function>
Function Export(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace

std::vector<std::string> WinInetConnectionOptions::EntryNames() {
  const auto enumerate = Export<EnumEntries>(Rasapi(), "RasEnumEntriesW");
  if (!enumerate) return {};
  // The size first: a null buffer and no bytes ask for it.
  DWORD bytes = 0, count = 0;
  if (enumerate(nullptr, nullptr, nullptr, &bytes, &count) != ERROR_BUFFER_TOO_SMALL || bytes == 0) return {};
  std::vector<RASENTRYNAMEW> entries(bytes / sizeof(RASENTRYNAMEW) + 1);
  for (RASENTRYNAMEW& e : entries) e.dwSize = sizeof(RASENTRYNAMEW);
  bytes = static_cast<DWORD>(entries.size() * sizeof(RASENTRYNAMEW));
  const DWORD error = enumerate(nullptr, nullptr, entries.data(), &bytes, &count);
  std::vector<std::string> names;
  for (DWORD i = 0; error == ERROR_SUCCESS && i < count && i < entries.size(); ++i)
    names.push_back(WideToUtf8(entries[i].szEntryName));
  return names;
}

std::optional<ConnectionSettings> WinInetConnectionOptions::Read(const std::string& name) {
  const auto query = Export<QueryOption>(Wininet(), "InternetQueryOptionW");
  if (!query) return std::nullopt;
  std::wstring connection = Utf8ToWide(name);
  INTERNET_PER_CONN_OPTIONW options[4] = {};
  options[0].dwOption = INTERNET_PER_CONN_FLAGS_UI;  // what the user chose, where the system keeps it
  options[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
  options[2].dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
  options[3].dwOption = INTERNET_PER_CONN_AUTOCONFIG_URL;
  INTERNET_PER_CONN_OPTION_LISTW list{sizeof list, name.empty() ? nullptr : connection.data(), 4, 0, options};
  DWORD size = sizeof list;
  if (!query(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &size)) {
    options[0].dwOption = INTERNET_PER_CONN_FLAGS;  // systems without the UI flags
    size = sizeof list;
    if (!query(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &size)) return std::nullopt;
  }
  ConnectionSettings settings{name, options[0].Value.dwValue};
  std::string* texts[] = {&settings.proxyServer, &settings.bypass, &settings.autoConfigUrl};
  for (int i = 1; i < 4; ++i) {
    const GlobalMemory owned(options[i].Value.pszValue);  // the query allocated it for us
    *texts[i - 1] = options[i].Value.pszValue ? WideToUtf8(options[i].Value.pszValue) : std::string();
  }
  return settings;
}

bool WinInetConnectionOptions::Write(const ConnectionSettings& settings) {
  const auto set = Export<SetOption>(Wininet(), "InternetSetOptionW");
  if (!set) return false;
  std::wstring connection = Utf8ToWide(settings.name), server = Utf8ToWide(settings.proxyServer),
               bypass = Utf8ToWide(settings.bypass), autoConfig = Utf8ToWide(settings.autoConfigUrl);
  INTERNET_PER_CONN_OPTIONW options[4] = {};
  options[0].dwOption = INTERNET_PER_CONN_FLAGS;
  options[0].Value.dwValue = settings.flags;
  options[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
  options[1].Value.pszValue = server.data();
  options[2].dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
  options[2].Value.pszValue = bypass.data();
  options[3].dwOption = INTERNET_PER_CONN_AUTOCONFIG_URL;
  options[3].Value.pszValue = autoConfig.data();
  INTERNET_PER_CONN_OPTION_LISTW list{sizeof list, settings.name.empty() ? nullptr : connection.data(), 4, 0, options};
  if (set(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, sizeof list)) return true;
  NoteFailure("InternetSetOptionW " + (settings.name.empty() ? std::string("LAN") : WideToGbk(connection)),
              GetLastError());
  return false;
}

}  // namespace vantoip
