#include "runtime/fatal.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace vantoip {
namespace {

[[noreturn]] void PrintAndExit(int, const std::string& text) {
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
  RunEndOfRun();
  std::_Exit(-1);
}

std::atomic<FatalErrorHandler> g_handler{&PrintAndExit};

std::mutex g_endMutex;
std::vector<void (*)()>& EndRoutines() {
  static std::vector<void (*)()> routines;
  return routines;
}

}  // namespace

std::string_view FatalErrorMessage(int code) {
  switch (code) {
    case kIndexAboveCount: return "数组成员引用下标超出定义范围";
    case kIndexBelowOne: return "数组成员引用下标必须大于等于1";
    case kTypeMismatch: return "数据或数组类型不匹配";
    case kStackMismatch: return "调用DLL命令后发现堆栈错误";
    default: return {};
  }
}

std::string FatalErrorText(int code, std::string_view message) {
  std::string text = "运行时出错!\r\n\r\n";
  if (code != kNoErrorCode) text += "错误代码：" + std::to_string(code) + "\r\n\r\n";
  if (!message.empty()) text += "错误信息：" + std::string(message) + "\r\n";
  return text;
}

FatalErrorHandler SetFatalErrorHandler(FatalErrorHandler handler) {
  return g_handler.exchange(handler ? handler : &PrintAndExit);
}

void RaiseFatalError(int code, std::string_view message) {
  g_handler.load()(code, FatalErrorText(code, message));
  std::_Exit(-1);  // a handler that returned has broken its contract
}

void RaiseFatalError(int code) { RaiseFatalError(code, FatalErrorMessage(code)); }

void RaiseFatalError(std::string_view message) { RaiseFatalError(kNoErrorCode, message); }

void AtEndOfRun(void (*routine)()) {
  std::lock_guard lock(g_endMutex);
  EndRoutines().push_back(routine);
}

void RunEndOfRun() {
  std::vector<void (*)()> routines;
  {
    std::lock_guard lock(g_endMutex);
    routines.swap(EndRoutines());  // each routine runs once, even when called twice
  }
  for (auto it = routines.rbegin(); it != routines.rend(); ++it) (*it)();
}

}  // namespace vantoip
