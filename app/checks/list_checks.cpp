#include "app/checks/list_checks.h"

#include <algorithm>
#include <memory>
#include <tuple>

#include "app/checks/proxy_order.h"
#include "app/list/proxy_address.h"
#include "app/main_window_controls.h"
#include "app/settings/program_settings.h"
#include "runtime/convert.h"
#include "runtime/text.h"
#include "ui/coalesced_posts.h"

namespace vantoip {
namespace {

constexpr const char* kList = main_window::kProxyList;
constexpr int kControlKey = 1;  // in EventArgs::keys
constexpr int kF5 = 0x74;       // virtual-key codes
constexpr int kKeyC = 'C';
constexpr int kKeyF = 'F';
constexpr int kKeyT = 'T';

std::string Count(int done, int total) { return ToText(done) + "/" + ToText(total); }

}  // namespace

ListChecks::ListChecks(MainWindow& mainWindow, ProxySwitch& proxySwitch, ProxyCheckRunner& runner,
                         ListChecksParts parts)
    : mainWindow_(mainWindow), proxySwitch_(proxySwitch), runner_(runner), parts_(std::move(parts)) {}

std::vector<EventBinding> ListChecks::Events() {
  return {
      {kList, EventKind::ListMenu, [this](const EventArgs& e) { OnListMenu(e); }},
      {kList, EventKind::HeaderClick, [this](const EventArgs& e) { SortBy(e.column); }},
      {kThisWindow, EventKind::Key,
       [this](const EventArgs& e) {
         if (e.key == kF5 && e.keys == 0) mainWindow_.OnRefresh();
         if (e.key == kKeyT && e.keys == kControlKey) CheckAll();
         if (e.key == kKeyF && e.keys == kControlKey) ConnectFastest();
         if (e.key == kKeyC && e.keys == kControlKey) CopySelected();
       }},
      // The user's own 连接, 断开 or status toggle ends a Ctrl+F still waiting.
      {main_window::kConnectButton, EventKind::Click, [this](const EventArgs&) { CancelConnect(); }},
      {main_window::kStatusLabel, EventKind::MouseDown, [this](const EventArgs&) { CancelConnect(); }},
  };
}

void ListChecks::OnListMenu(const EventArgs& e) {
  WindowControls& w = Window();
  const bool selected = w.CurrentRow(kList) >= 0;
  const std::vector<MenuItem> items = {
      {kEditSourcesCommand, "编辑代理来源(&E)…"},
      {},
      {kCheckAllCommand, "检测全部代理(&T)"},
      {kCheckSelectedCommand, "检测选中代理(&S)", false, selected},
      {kStopChecksCommand, "停止检测(&P)", false, checking_},
      {},
      {kOnlyWorkingCommand, "只显示可用代理(&A)", onlyWorking_},
      {kOnlyAnonymousCommand, "只显示匿名代理(&N)", onlyAnonymous_},
      {kConnectFastestCommand, "连接最快的可用代理(&F)"},
      {kCopyWorkingCommand, "复制可用代理(&C)"},
      {kExportWorkingCommand, "导出可用代理(&X)…"},
      {},
      {kFailoverCommand, "自动切换失效代理(&G)", Failover()},
      {kRelayCommand, "本地中转(&R)", proxySwitch_.RelayMode()},
      {kRotationCommand, "轮换模式(&L)", proxySwitch_.Rotation()},
      {},
      {kSettingsCommand, "设置(&O)…"},
  };
  switch (w.ShowMenu(items)) {
    case kEditSourcesCommand: EditSources(); break;
    case kCheckAllCommand: CheckAll(); break;
    case kCheckSelectedCommand: CheckSelected(); break;
    case kStopChecksCommand: StopChecks(); break;
    case kOnlyWorkingCommand: ToggleOnlyWorking(); break;
    case kOnlyAnonymousCommand: ToggleOnlyAnonymous(); break;
    case kConnectFastestCommand: ConnectFastest(); break;
    case kCopyWorkingCommand: CopyWorking(); break;
    case kExportWorkingCommand: ExportWorking(); break;
    case kFailoverCommand: ToggleFailover(); break;
    case kRelayCommand: ToggleRelay(); break;
    case kRotationCommand: ToggleRotation(); break;
    case kSettingsCommand: OpenSettings(e); break;
  }
}

void ListChecks::EditSources() {
  if (!parts_.editSources) return;
  const std::string failure = parts_.editSources();
  if (!failure.empty()) Window().SetCaption(kThisWindow, failure);
}

std::string ListChecks::Target(int row) { return TargetText(JobOfRow(row)); }

std::string ListChecks::AddressLine(int row) {
  WindowControls& w = Window();
  const ProxyProtocol protocol = ProtocolOfCell(w.GetCellText(kList, row, kProtocolColumn));
  const std::string scheme = protocol == ProxyProtocol::kHttp ? "" : ToLowerText(ProtocolName(protocol)) + "://";
  return scheme + w.GetCellText(kList, row, kAddressColumn) + ":" + w.GetCellText(kList, row, kPortColumn) + "\r\n";
}

void ListChecks::CopySelected() {
  const int row = Window().CurrentRow(kList);
  if (row >= 0) Window().CopyText(AddressLine(row));
}

std::vector<CheckJob> ListChecks::UsableInOrder() {
  std::vector<CheckJob> jobs;
  for (std::size_t row : PassesInOrder(results_)) {
    jobs.push_back(JobOfRow(static_cast<int>(row)));
    jobs.back().protocolAssumed = false;  // its pass proved it: no other protocol tried, no longer check
  }
  return jobs;
}

CheckJob ListChecks::JobFor(const std::string& target) {
  for (int row = 0; row < static_cast<int>(results_.size()); ++row)
    if (Target(row) == target) return JobOfRow(row);
  return JobOfTarget(target);
}

CheckResult ListChecks::ResultFor(const std::string& target) {
  for (int row = 0; row < static_cast<int>(results_.size()); ++row)
    if (Target(row) == target) return results_[row];
  return {};
}

void ListChecks::ToggleFailover() {
  CancelConnect();
  if (!parts_.guard) return;
  parts_.guard->SetFailover(!parts_.guard->Failover());
  KeepChoice(&ProgramSettings::failover, parts_.guard->Failover());
}

void ListChecks::ToggleRelay() {
  proxySwitch_.SetRelayMode(!proxySwitch_.RelayMode());
  KeepChoice(&ProgramSettings::relay, proxySwitch_.RelayMode());
}

void ListChecks::ToggleRotation() {
  proxySwitch_.SetRotation(!proxySwitch_.Rotation());
  KeepChoice(&ProgramSettings::rotation, proxySwitch_.Rotation());
}

void ListChecks::KeepChoice(bool ProgramSettings::*choice, bool on) {
  if (!parts_.settings) return;
  ProgramSettings settings = ReadProgramSettings(*parts_.settings);
  settings.*choice = on;
  WriteProgramSettings(*parts_.settings, settings);
}

std::string ListChecks::WorkingLines() {
  std::string text;
  for (std::size_t row : PassesInOrder(results_)) text += AddressLine(static_cast<int>(row));
  if (text.empty()) Window().SetCaption(kThisWindow, "没有可用代理");
  return text;
}

void ListChecks::CopyWorking() {
  const std::string text = WorkingLines();
  if (!text.empty()) Window().CopyText(text);
}

void ListChecks::ExportWorking() {
  const std::string text = WorkingLines();
  if (text.empty()) return;
  // host:port lines are ASCII, so the bytes are UTF-8 as they stand.
  const std::optional<std::string> failure = Window().SaveText("可用代理.txt", text);
  if (!failure) return;
  const int count = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  Window().SetCaption(kThisWindow, failure->empty() ? "已导出 " + ToText(count) + " 个可用代理"
                                                    : "导出失败：" + *failure);
}

void ListChecks::CheckAll() {
  std::vector<int> rows;
  for (int row = 0; row < Window().RowCount(kList); ++row)
    if (!Merged(row)) rows.push_back(row);
  Check(std::move(rows));
}

void ListChecks::CheckSelected() {
  const int row = Window().CurrentRow(kList);
  if (row < 0) return;
  // During a run the row joins it, unless it is in it already.
  if (checking_ && std::find(jobRows_.begin(), jobRows_.end(), row) != jobRows_.end()) return;
  if (checking_ && runner_.Add({JobOfRow(row)})) {
    jobRows_.push_back(row);
    ShowResult(row, {});
    progressShown_.clear();
    OnProgress(run_);
    return;
  }
  Check({row});
}

CheckJob ListChecks::JobOfRow(int row) {
  WindowControls& w = Window();
  CheckJob job = JobOf(ProxyTarget{w.GetCellText(kList, row, kAddressColumn), w.GetCellText(kList, row, kPortColumn)});
  job.protocol = ProtocolOfCell(w.GetCellText(kList, row, kProtocolColumn));
  job.protocolAssumed =
      job.protocol == ProxyProtocol::kHttp && w.GetCellText(kList, row, kProtocolStatedColumn).empty();
  std::tie(job.user, job.password) = CredentialsOfCell(w.GetCellText(kList, row, kCredentialsColumn));
  return job;
}

void ListChecks::Check(std::vector<int> rows) {
  EndRun();
  results_.resize(Window().RowCount(kList));
  std::vector<CheckJob> jobs;
  for (int row : rows) {
    jobs.push_back(JobOfRow(row));
    ShowResult(row, {});
  }
  jobRows_ = std::move(rows);
  checking_ = true;
  finished_ = passed_ = unreachable_ = fullPasses_ = 0;
  ownAddressMissing_ = false;
  progressShown_.clear();
  const unsigned run = ++run_;
  // The runner's events come on its worker: they are carried to the window's
  // thread in batches, where a run that has ended meanwhile is told apart.
  const CoalescedPosts posts([this](std::function<void()> work) { Window().Post(std::move(work)); });
  ProxyCheckRunner::Events events;
  events.started = [this, posts, run](std::size_t job) { posts.Add([this, run, job] { OnStarted(run, job); }); };
  events.finished = [this, posts, run](std::size_t job, CheckResult result) {
    posts.Add([this, run, job, result] { OnFinished(run, job, result); });
  };
  events.progress = [this, posts, run] { posts.Add([this, run] { OnProgress(run); }); };
  events.done = [this, posts, run] { posts.Add([this, run] { OnDone(run); }); };
  events.ownAddress = [this, posts, run](bool found) { posts.Add([this, run, found] { OnOwnAddress(run, found); }); };
  runner_.Start(std::move(jobs), std::move(events));
  OnProgress(run);
}

bool ListChecks::EndRun() {
  connectFrom_.reset();
  if (!checking_) return false;
  runner_.Stop();
  ++run_;
  checking_ = false;
  for (int row : jobRows_)
    if (ResultOf(row).outcome == CheckOutcome::Checking) ShowResult(row, {});
  Window().SetProgress(0, 0);
  return true;
}

void ListChecks::StopChecks() {
  if (EndRun())
    Window().SetCaption(kThisWindow, "检测已停止：可用 " + Count(passed_, static_cast<int>(jobRows_.size())));
}

CheckResult ListChecks::ResultOf(int row) const {
  return row >= 0 && row < static_cast<int>(results_.size()) ? results_[row] : CheckResult{};
}

void ListChecks::ShowResult(int row, const CheckResult& result) {
  if (row < 0 || row >= static_cast<int>(results_.size())) return;
  if (HasTime(results_[row]) && !HasTime(result)) {  // the judge's cells go with the result they came with
    Window().SetCellText(kList, row, kAnonymityColumn, "");
    Window().SetCellText(kList, row, kExitAddressColumn, "");
  }
  results_[row] = result;
  Window().SetCellText(kList, row, kResultColumn, CheckResultText(result));
  resortOwed_ = resortOwed_ || sortColumn_ == kResultColumn;
}

void ListChecks::ShowJudged(int row, const CheckResult& result) {
  if (!HasTime(result)) return;
  WindowControls& w = Window();
  w.SetCellText(kList, row, kAnonymityColumn, std::string(AnonymityText(result.anonymity)));
  const bool elsewhere = !result.exitAddress.empty() && result.exitAddress != w.GetCellText(kList, row, kAddressColumn);
  w.SetCellText(kList, row, kExitAddressColumn, elsewhere ? result.exitAddress : "");
  if (!elsewhere || !parts_.locate || !w.GetCellText(kList, row, kOwnLocationColumn).empty()) return;
  if (const std::string location = parts_.locate(result.exitAddress); !location.empty())
    w.SetCellText(kList, row, kLocationColumn, location);
}

void ListChecks::KeepSorted() {
  if (!resortOwed_) return;
  resortOwed_ = false;
  Sort();
}

void ListChecks::OnStarted(unsigned run, std::size_t job) {
  if (run == run_ && job < jobRows_.size()) ShowResult(jobRows_[job], {CheckOutcome::Checking, 0});
}

void ListChecks::OnFinished(unsigned run, std::size_t job, CheckResult result) {
  if (run != run_ || job >= jobRows_.size()) return;
  ++finished_;
  if (Merged(jobRows_[job])) return;  // merged into an earlier row meanwhile
  if (IsPass(result)) ++passed_;
  if (result.outcome == CheckOutcome::Unreachable) ++unreachable_;
  if (result.outcome == CheckOutcome::Passed) ++fullPasses_;
  const int row = jobRows_[job];
  ShowResult(row, result);
  ShowJudged(row, result);
  // A check of our own is the newest and a measured one: in sight in 速度 and
  // 检查时间, where the list page's figures stood; and in 协议 the protocol
  // that answered, found now for good.
  WindowControls& w = Window();
  if (ProtocolOfCell(w.GetCellText(kList, row, kProtocolColumn)) != result.protocol) {
    w.SetCellText(kList, row, kProtocolColumn, std::string(ProtocolName(result.protocol)));
    w.SetCellText(kList, row, kProtocolStatedColumn, "1");
    MergeDuplicate(row);
  }
  if (HasTime(result)) w.SetCellText(kList, row, kSpeedColumn, ToText(result.milliseconds) + " ms");
  if (parts_.localTime) w.SetCellText(kList, row, kCheckTimeColumn, parts_.localTime());
  ConnectWhenDue(false);
}

void ListChecks::OnProgress(unsigned run) {
  if (run != run_ || !checking_) return;
  const int total = static_cast<int>(jobRows_.size());
  const std::string title =
      NetworkDown() ? "网络不可用" : "正在检测 " + Count(finished_, total) + "，可用 " + ToText(passed_);
  KeepSorted();
  ConnectWhenDue(false);
  if (title == progressShown_) return;
  progressShown_ = title;
  Window().SetCaption(kThisWindow, title);
  Window().SetProgress(finished_, total);
}

void ListChecks::OnDone(unsigned run) {
  if (run != run_ || !checking_) return;
  checking_ = false;
  KeepSorted();
  Window().SetCaption(kThisWindow, NetworkDown() ? "网络不可用"
                                                 : "检测完毕：可用 " + Count(passed_, static_cast<int>(jobRows_.size())) +
                                                       (ownAddressMissing_ ? "（未能取得本机地址）" : ""));
  Window().SetProgress(0, 0);
  ConnectWhenDue(true);
}

void ListChecks::OnOwnAddress(unsigned run, bool found) {
  if (run == run_) ownAddressMissing_ = !found;
}

bool ListChecks::NetworkDown() const {
  // Nearly every answer so far says the network itself is not there.
  constexpr int kEnoughToTell = 10;
  const int total = static_cast<int>(jobRows_.size());
  return finished_ >= std::min(kEnoughToTell, total) && finished_ > 0 && unreachable_ * 10 >= finished_ * 9;
}

void ListChecks::ToggleOnlyWorking() {
  onlyWorking_ = !onlyWorking_;
  ApplyFilter();
}

void ListChecks::ToggleOnlyAnonymous() {
  onlyAnonymous_ = !onlyAnonymous_;
  ApplyFilter();
}

void ListChecks::ApplyFilter() {
  std::function<bool(int)> shown;
  const bool anyMerged = std::find(merged_.begin(), merged_.end(), true) != merged_.end();
  if (onlyWorking_ || onlyAnonymous_ || anyMerged)
    shown = [this](int row) {
      const CheckResult result = ResultOf(row);
      return !Merged(row) && (!onlyWorking_ || IsPass(result)) && (!onlyAnonymous_ || HidesUser(result));
    };
  Window().FilterRows(kList, shown);
}

std::string ListChecks::RowKey(int row) {
  WindowControls& w = Window();
  return ProxyIdentity(w.GetCellText(kList, row, kAddressColumn), w.GetCellText(kList, row, kPortColumn),
                       ProtocolOfCell(w.GetCellText(kList, row, kProtocolColumn)));
}

void ListChecks::MergeDuplicate(int row) {
  if (rowOfKey_.empty())  // the list's keys, once: a merge is rare
    for (int other = 0; other < static_cast<int>(results_.size()); ++other)
      if (other != row) rowOfKey_.emplace(RowKey(other), other);
  const auto [it, fresh] = rowOfKey_.emplace(RowKey(row), row);
  if (fresh) return;
  const int earlier = std::min(it->second, row), later = std::max(it->second, row);
  it->second = earlier;
  // The earlier keeps the better result: a pass, else its own unless it has none yet.
  const CheckResult kept = ResultOf(earlier), other = ResultOf(later);
  if (IsPass(kept) && IsPass(other)) --passed_;  // one proxy, counted once
  const bool none = kept.outcome == CheckOutcome::NotChecked || kept.outcome == CheckOutcome::Checking;
  if (!IsPass(kept) && (IsPass(other) || none)) ShowResult(earlier, other);
  results_[later] = {};
  merged_.resize(results_.size());
  merged_[later] = true;
  ApplyFilter();
}

void ListChecks::ConnectFastest() {
  const bool checked = std::any_of(results_.begin(), results_.end(),
                                   [](const CheckResult& r) { return r.outcome != CheckOutcome::NotChecked; });
  if (checking_ ? fullPasses_ > 0 : checked || Window().RowCount(kList) == 0) return ConnectBest();
  if (!checking_) CheckAll();
  connectFrom_ = parts_.clock ? parts_.clock->Milliseconds() : 0;
}

void ListChecks::ConnectWhenDue(bool runEnded) {
  if (!connectFrom_) return;
  const bool waited = !parts_.clock || parts_.clock->Milliseconds() - *connectFrom_ >= kConnectWaitMilliseconds;
  if (runEnded || fullPasses_ >= kEnoughFullPasses || (waited && fullPasses_ > 0)) ConnectBest();
}

void ListChecks::ConnectBest() {
  connectFrom_.reset();
  const std::optional<std::size_t> fastest = FastestPassed(results_);
  WindowControls& w = Window();
  if (!fastest) {
    w.SetCaption(kThisWindow, "没有可用代理");
    return;
  }
  w.SelectRow(kList, static_cast<int>(*fastest));
  // Switched on already: straight over, never off first, which would lose
  // the user's own settings kept while a proxy is on.
  if (proxySwitch_.IsOn()) {
    proxySwitch_.SwitchTo(Target(static_cast<int>(*fastest)));
    return;
  }
  mainWindow_.OnRowPick();
  proxySwitch_.ToggleProxy();
}

void ListChecks::SortBy(int column) {
  if (column < 0 || column > kLastColumn) return;
  ascending_ = column == sortColumn_ ? !ascending_ : true;
  sortColumn_ = column;
  Sort();
}

void ListChecks::Sort() {
  const int column = sortColumn_;
  const bool ascending = ascending_;
  std::function<bool(int, int)> less;
  if (column == kResultColumn) {
    less = [this, ascending](int a, int b) {
      const int order = CompareResults(ResultOf(a), ResultOf(b));
      return ascending ? order < 0 : order > 0;
    };
  } else {
    // Each row's text read once, not at every comparison.
    WindowControls& w = Window();
    auto texts = std::make_shared<std::vector<std::string>>(w.RowCount(kList));
    for (std::size_t row = 0; row < texts->size(); ++row) (*texts)[row] = w.GetCellText(kList, static_cast<int>(row), column);
    less = [texts, column, ascending](int a, int b) {
      const int order = CompareColumn(column, (*texts)[a], (*texts)[b]);
      return ascending ? order < 0 : order > 0;
    };
  }
  Window().SortRows(kList, column, ascending, less);
}

void ListChecks::OnListRunStarting() {
  EndRun();
  results_.clear();
  jobRows_.clear();
  rowOfKey_.clear();
  // Else the new rows, all unchecked or of other numbers, would stay hidden.
  const bool filtered = onlyWorking_ || onlyAnonymous_ || !merged_.empty();
  onlyWorking_ = onlyAnonymous_ = false;
  merged_.clear();
  if (filtered) ApplyFilter();
  if (sortColumn_ < 0) return;
  sortColumn_ = -1;
  Window().SortRows(kList, -1, true, [](int a, int b) { return a < b; });  // the list's own order again
}

}  // namespace vantoip
