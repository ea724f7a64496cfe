// Checking the listed proxies through themselves, from the list's context
// menu and keys: the 检测结果 column, progress in the title and on the
// taskbar, sorting by a column, showing only working proxies, and switching
// to the fastest one.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/main_window.h"
#include "app/settings/program_settings.h"
#include "app/switch/proxy_guard.h"
#include "app/switch/proxy_switch.h"
#include "net/check_protocol.h"

namespace vantoip {

// Commands of the list's context menu.
enum ListCommand {
  kEditSourcesCommand = 1,
  kCheckAllCommand,
  kCheckSelectedCommand,
  kStopChecksCommand,
  kOnlyWorkingCommand,
  kConnectFastestCommand,
  kCopyWorkingCommand,
  kExportWorkingCommand,
  kFailoverCommand,
  kOnlyAnonymousCommand,
  kRelayCommand,
  kRotationCommand,
  kSettingsCommand,
};

// What the checks work with besides the window, the switch and the runner.
struct ListChecksParts {
  std::function<std::string()> editSources;  // opens the sources file: why it could not, or empty
  std::function<std::string()> localTime;    // the local time now ("2026-12-08 17:30:05") for 检查时间
  ProxyGuard* guard = nullptr;               // its failover is the menu's check item
  DataFile* settings = nullptr;              // where that choice is kept
  MonotonicClock* clock = nullptr;           // Ctrl+F's wait for a first full pass
  // 位置 of an address (the built-in table's); empty when unknown.
  std::function<std::string(const std::string& address)> locate;
  // Opens the 设置 window over the window that raised the event.
  std::function<void(const EventArgs&)> openSettings;
};

class ListChecks {
 public:
  ListChecks(MainWindow& mainWindow, ProxySwitch& proxySwitch, ProxyCheckRunner& runner, ListChecksParts parts);

  // The list's context menu and header clicks, F5, Ctrl+T and Ctrl+F; 按钮2
  // and 标签_状态 for a Ctrl+F still waiting.
  std::vector<EventBinding> Events();

  // `e`: the right click, for the window 设置 opens over.
  void OnListMenu(const EventArgs& e = {});
  void OpenSettings(const EventArgs& e) {
    if (parts_.openSettings) parts_.openSettings(e);
  }
  // Opens the sources file; the title says why when it cannot.
  void EditSources();
  void CheckAll();
  // host:port lines on the clipboard: of the selected row (Ctrl+C), or of
  // every working proxy, full passes first, each kind fastest first.
  void CopySelected();
  void CopyWorking();
  // The same lines of the working proxies to a file the user chooses.
  void ExportWorking();
  void CheckSelected();
  // Stops the checks still going; their rows go back to unchecked.
  void StopChecks();
  void ToggleOnlyWorking();
  // Only the working proxies that hide their user (匿名, 高匿).
  void ToggleOnlyAnonymous();
  // Ctrl+F: switches on the best proxy of the last check. With no check yet
  // it starts one; while one runs without a full pass yet, it waits: the
  // fastest full pass within kConnectWaitMilliseconds of the key (at once
  // with kEnoughFullPasses in), else the first to come, else at the end the best.
  void ConnectFastest();
  static constexpr std::uint64_t kConnectWaitMilliseconds = 3000;
  // The user acted (连接, 断开, the status label, failover): a Ctrl+F still waiting connects nothing.
  void CancelConnect() { connectFrom_.reset(); }
  static constexpr int kEnoughFullPasses = 20;
  // A click on a column heading: sorts by it, again reversed.
  void SortBy(int column);
  // A new list run is starting: checks stop, results and filter go.
  void OnListRunStarting();

  const std::vector<CheckResult>& Results() const { return results_; }
  // The usable proxies of the last check, best first (Ctrl+F's order).
  std::vector<CheckJob> UsableInOrder();
  // The proxy of the row whose target is `target`, its protocol and credentials too.
  CheckJob JobFor(const std::string& target);
  // The last result of the row whose target is `target` ("host:port", "socks=host:port").
  CheckResult ResultFor(const std::string& target);
  // The menu's "自动切换失效代理": flips the guard's failover and keeps the choice.
  void ToggleFailover();
  bool Failover() const { return parts_.guard && parts_.guard->Failover(); }
  // The menu's "本地中转": flips relay mode and keeps the choice.
  void ToggleRelay();
  bool Checking() const { return checking_; }

 private:
  // The menu's "轮换模式": flips rotation and keeps the choice.
  void ToggleRotation();
  // A choice of the menu's, kept in settings.ini with the file's other lines.
  void KeepChoice(bool ProgramSettings::*choice, bool on);
  void Check(std::vector<int> rows);
  // The row's host, port, protocol (assumed or stated) and credentials.
  CheckJob JobOfRow(int row);
  std::string Target(int row);       // as the switch names it: TargetText
  // A line of the copied and exported lists: "host:port", "socks4://host:port"
  // or "socks5://host:port", and a line end.
  std::string AddressLine(int row);
  // The working proxies' lines in their order; none: empty, and the title says so.
  std::string WorkingLines();
  // Nearly every check of the run so far found no route: the network is down.
  bool NetworkDown() const;
  void ConnectBest();
  // A Ctrl+F waiting for full passes: connects when their time has come.
  void ConnectWhenDue(bool runEnded);
  // Ends the current run; false when none was going.
  bool EndRun();
  CheckResult ResultOf(int row) const;
  void ShowResult(int row, const CheckResult& result);
  // What the judge found of a finished check: 匿名度, 出口地址 when it is not
  // the listed host, and 位置 where the user appears, unless the row page gave its own.
  void ShowJudged(int row, const CheckResult& result);
  // Results that landed in the sorted column move their rows to their places:
  // four times a second with the progress, and at the end.
  void KeepSorted();
  void Sort();  // by sortColumn_ and ascending_
  void OnStarted(unsigned run, std::size_t job);
  void OnFinished(unsigned run, std::size_t job, CheckResult result);
  void OnProgress(unsigned run);
  void OnDone(unsigned run);
  void OnOwnAddress(unsigned run, bool found);
  // The row's protocol was found by its check: when the row now names the
  // same proxy as another (host:port and protocol), the later of the two
  // goes out of sight and out of the results, merged into the earlier.
  void MergeDuplicate(int row);
  std::string RowKey(int row);  // ProxyIdentity
  bool Merged(int row) const { return row >= 0 && row < static_cast<int>(merged_.size()) && merged_[row]; }
  // Shows the rows not merged away; with 只显示可用代理 only the working ones,
  // with 只显示匿名代理 only those that hide their user.
  void ApplyFilter();
  WindowControls& Window() { return mainWindow_.Controls(); }

  MainWindow& mainWindow_;
  ProxySwitch& proxySwitch_;
  ProxyCheckRunner& runner_;
  ListChecksParts parts_;
  // Everything below lives on the window's thread.
  std::vector<CheckResult> results_;  // by list row
  std::vector<int> jobRows_;          // the list row of each job of the current run
  unsigned run_ = 0;
  bool checking_ = false;
  int finished_ = 0, passed_ = 0, unreachable_ = 0, fullPasses_ = 0;
  std::optional<std::uint64_t> connectFrom_;  // a waiting Ctrl+F's key time
  std::string progressShown_;
  bool onlyWorking_ = false, onlyAnonymous_ = false;
  bool ownAddressMissing_ = false;  // the run's judge could not name the user's own address
  std::vector<bool> merged_;                          // by list row
  std::unordered_map<std::string, int> rowOfKey_;     // RowKey to row, made at the first merge of a list
  int sortColumn_ = -1;
  bool resortOwed_ = false;
  bool ascending_ = true;
};

}  // namespace vantoip
