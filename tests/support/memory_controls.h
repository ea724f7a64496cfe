// In-memory stand-ins for the window and the machine, so that the handlers'
// state machines can be driven natively and deterministically.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/services.h"
#include "app/switch/proxy_settings.h"
#include "runtime/convert.h"
#include "ui/layout.h"
#include "ui/window_controls.h"

namespace vantoip::test {

class MemoryControls : public WindowControls {
  std::recursive_mutex mutex_;
  template <class F>
  auto Locked(F f) {
    std::lock_guard lock(mutex_);
    return f();
  }

 public:
  // Starts from a layout's captions, like a freshly created window.
  explicit MemoryControls(const WindowLayout& layout) {
    captions_[kThisWindow] = layout.title;
    for (const ControlLayout& c : layout.controls) {
      captions_[c.name] = c.caption;
      if (!c.columns.empty()) columns_ = static_cast<int>(c.columns.size()) + c.keptColumns;
    }
  }

  std::string Caption(const std::string& c) override { return Locked([&] { return captions_[c]; }); }
  void SetCaption(const std::string& c, const std::string& t) override {
    Locked([&] {
      captions_[c] = t;
      if (c == kThisWindow) titles.push_back(t);
      changes.push_back((c.empty() ? "title" : c) + "=" + t);
    });
  }
  bool Disabled(const std::string& c) override { return Locked([&] { return disabled_[c]; }); }
  void SetDisabled(const std::string& c, bool d) override {
    Locked([&] {
      disabled_[c] = d;
      changes.push_back(c + (d ? " disabled" : " enabled"));
    });
  }
  bool Visible(const std::string& c) override { return Locked([&] { return !visible_.count(c) || visible_[c]; }); }
  void SetVisible(const std::string& c, bool v) override { Locked([&] { visible_[c] = v; }); }
  void Close() override { Locked([&] { closed = true; }); }
  WindowPlace Place() override { return Locked([&] { return place; }); }
  void SetPlace(const WindowPlace& p) override { Locked([&] { place = p; }); }
  std::vector<int> ColumnWidths(const std::string&) override { return Locked([&] { return columnWidths; }); }
  void SetColumnWidths(const std::string&, const std::vector<int>& w) override { Locked([&] { columnWidths = w; }); }
  bool Checked(const std::string& c) override { return Locked([&] { return checked_[c]; }); }
  void SetChecked(const std::string& c, bool on) override { Locked([&] { checked_[c] = on; }); }
  int Interval(const std::string& t) override { return Locked([&] { return intervals_[t]; }); }
  void SetInterval(const std::string& t, int ms) override {
    Locked([&] {
      intervals_[t] = ms;
      changes.push_back(t + " interval=" + std::to_string(ms));
    });
  }
  int CurrentRow(const std::string&) override { return Locked([&] { return selectedRow; }); }
  void InsertRow(const std::string&) override { Locked([&] { rows.emplace_back(); }); }
  void SetCellText(const std::string&, int row, int column, const std::string& text) override {
    Locked([&] {
      if (row < 0 || row >= static_cast<int>(rows.size()) || column < 0 || column >= columns_) return;
      auto& cells = rows[row];
      if (static_cast<int>(cells.size()) <= column) cells.resize(column + 1);
      cells[column] = text;
    });
  }
  std::string GetCellText(const std::string&, int row, int column) override {
    return Locked([&]() -> std::string {
      if (row < 0 || row >= static_cast<int>(rows.size()) || column < 0) return {};
      return column < static_cast<int>(rows[row].size()) ? rows[row][column] : std::string();
    });
  }
  void DeleteAllRows(const std::string&) override { Locked([&] { rows.clear(); }); }
  int RowCount(const std::string&) override { return Locked([&] { return static_cast<int>(rows.size()); }); }
  void SortRows(const std::string&, int column, bool ascending, std::function<bool(int, int)> less) override {
    Locked([&] {
      sortedBy = {column, ascending};
      order.resize(rows.size());
      for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
      std::stable_sort(order.begin(), order.end(), less);
    });
  }
  void FilterRows(const std::string&, std::function<bool(int)> shown) override { Locked([&] { filter = shown; }); }
  void SelectRow(const std::string&, int row) override { Locked([&] { selectedRow = row; }); }
  int ShowMenu(const std::vector<MenuItem>& items) override {
    return Locked([&] {
      menus.push_back(items);
      return menuChoice;
    });
  }
  void SetProgress(int done, int total) override { Locked([&] { progress = {done, total}; }); }
  bool CopyText(const std::string& text) override {
    Locked([&] { clipboard = text; });
    return true;
  }
  void SetTrayTip(const std::string& tip) override { Locked([&] { trayTip = tip; }); }
  void ShowTrayBalloon(const std::string& text) override { Locked([&] { balloons.push_back(text); }); }
  std::optional<std::string> SaveText(const std::string& suggestedName, const std::string& bytes) override {
    Locked([&] { saved = {suggestedName, bytes}; });
    return saveAnswer;
  }
  bool ConnectClient(const std::string&, const std::string& host, int port) override {
    Locked([&] { connects.emplace_back(host, port); });
    return connectResult ? connectResult(host, port) : false;
  }
  // Runs on the test's UI thread when one is set, else at once.
  void Post(std::function<void()> work) override {
    if (uiThread) uiThread(std::move(work));
    else Locked(work);
  }

  // Inspection and set-up (guarded the same way when used from workers).
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> titles;                      // every title written, in order
  std::vector<std::string> changes;                     // every control change, in order
  std::vector<std::pair<std::string, int>> connects;    // every connect attempted
  std::function<bool(const std::string&, int)> connectResult;
  std::function<void(std::function<void()>)> uiThread;  // where posted work runs
  int selectedRow = -1;
  std::pair<int, bool> sortedBy{-1, true};  // the last SortRows: column, ascending
  std::vector<int> order;                    // the rows in that order
  std::function<bool(int)> filter;           // the last FilterRows
  std::vector<std::vector<MenuItem>> menus;  // every menu shown
  int menuChoice = 0;                        // what the user picks from it
  std::pair<int, int> progress{0, 0};        // the last SetProgress
  std::string clipboard;                     // the last CopyText
  std::pair<std::string, std::string> saved;  // the last SaveText's name and bytes
  std::string trayTip;                         // the notification area icon's tip
  std::vector<std::string> balloons;           // every balloon shown
  bool closed = false;                         // Close() was called
  WindowPlace place;
  std::vector<int> columnWidths;
  std::optional<std::string> saveAnswer = ""; // what SaveText answers: saved

 private:
  std::map<std::string, std::string> captions_;
  std::map<std::string, bool> disabled_, visible_, checked_;
  std::map<std::string, int> intervals_;
  int columns_ = 0;  // of the list
};

// Keeps each value with the registry type the real write gives it: a text is
// REG_SZ, a byte block REG_BINARY, any other value a REG_DWORD number.
class MemoryRegistry : public UserRegistry {
 public:
  enum Type { kText = 1, kBinary = 3, kNumber = 4 };  // REG_SZ, REG_BINARY, REG_DWORD

  std::string ReadText(const std::string& path) override {
    const auto it = values.find(Key(path));
    return it != values.end() && TypeOf(path) == kText ? std::get<std::string>(it->second) : "";
  }
  std::int32_t ReadNumber(const std::string& path) override {
    const auto it = values.find(Key(path));
    return it != values.end() && TypeOf(path) == kNumber ? std::get<std::int32_t>(it->second) : 0;
  }
  bool Write(const std::string& path, const Value& value) override {
    writes.push_back(path);
    if (std::holds_alternative<std::string>(value) || std::holds_alternative<ByteBlock>(value)) values[Key(path)] = value;
    else values[Key(path)] = ToInteger(value);
    types[Key(path)] = std::holds_alternative<std::string>(value) ? kText
                       : std::holds_alternative<ByteBlock>(value) ? kBinary
                                                                  : kNumber;
    return writeSucceeds;
  }
  // Sets a value as another program might have stored it.
  void Store(const std::string& path, Value value, Type type) {
    values[Key(path)] = std::move(value);
    types[Key(path)] = type;
  }
  int TypeOf(const std::string& path) const {
    const auto it = types.find(Key(path));
    return it == types.end() ? 0 : it->second;
  }
  // Value names ignore case, as in the registry.
  static std::string Key(std::string path) {
    for (char& ch : path) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return path;
  }
  bool Delete(const std::string& path) override {
    values.erase(Key(path));
    types.erase(Key(path));
    return writeSucceeds;
  }
  // Texts are kept as given: the Unicode calls see the same values.
  std::optional<std::string> ReadUnicode(const std::string& path) override {
    if (TypeOf(path) != kText) return std::nullopt;
    return std::get<std::string>(values.at(Key(path)));
  }
  bool WriteUnicode(const std::string& path, const std::string& utf8) override {
    unicodeWrites.push_back(path);
    return Write(path, utf8);
  }
  bool Exists(const std::string& path) override { return values.count(Key(path)) != 0; }
  std::map<std::string, Value> values;  // keyed by Key(path)
  std::map<std::string, int> types;     // keyed by Key(path)
  std::vector<std::string> writes;      // paths in write order, as given
  std::vector<std::string> unicodeWrites;
  bool writeSucceeds = true;
};

// Queues thread bodies; the test runs them when it chooses.
class QueuedThreads : public ThreadStarter {
 public:
  bool Start(std::function<void()> body) override {
    std::lock_guard lock(mutex_);
    queued_.push_back(std::move(body));
    return true;
  }
  int Pending() {
    std::lock_guard lock(mutex_);
    return static_cast<int>(queued_.size());
  }
  void RunAll() {
    for (;;) {
      std::function<void()> next;
      {
        std::lock_guard lock(mutex_);
        if (queued_.empty()) return;
        next = std::move(queued_.front());
        queued_.pop_front();
      }
      next();
    }
  }

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> queued_;
};

// Runs every body on a real thread of its own; joined when this goes.
class RealThreads : public ThreadStarter {
 public:
  ~RealThreads() override { JoinAll(); }
  bool Start(std::function<void()> body) override {
    std::lock_guard lock(mutex_);
    threads_.emplace_back(std::move(body));
    return true;
  }
  void JoinAll() {
    for (;;) {
      std::thread next;
      {
        std::lock_guard lock(mutex_);
        if (threads_.empty()) return;
        next = std::move(threads_.front());
        threads_.pop_front();
      }
      next.join();
    }
  }

 private:
  std::mutex mutex_;
  std::deque<std::thread> threads_;
};

// A thread of its own standing in for the window's thread: posted work runs
// there in order, as the window's dispatcher runs it.
class UiThread {
 public:
  UiThread() : thread_([this] { Loop(); }) {}
  ~UiThread() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  void Post(std::function<void()> work) {
    {
      std::lock_guard lock(mutex_);
      work_.push_back(std::move(work));
    }
    changed_.notify_all();
  }
  // Waits until everything posted so far has run.
  void Drain() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return work_.empty() && !running_; });
  }
  // Makes `controls` post to this thread.
  void Serve(MemoryControls& controls) {
    controls.uiThread = [this](std::function<void()> work) { Post(std::move(work)); };
  }

 private:
  void Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] { return stopping_ || !work_.empty(); });
      if (work_.empty()) return;
      std::function<void()> next = std::move(work_.front());
      work_.pop_front();
      running_ = true;
      lock.unlock();
      next();
      lock.lock();
      running_ = false;
      changed_.notify_all();
    }
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> work_;
  bool running_ = false, stopping_ = false;
  std::thread thread_;
};

// Records the options sent; each is accepted, 37 only while refreshAccepted holds.
class RecordingInternetOptions : public InternetOptions {
 public:
  bool Set(int option) override {
    options.push_back(option);
    return option == 37 ? refreshAccepted : true;
  }
  std::vector<int> options;
  bool refreshAccepted = true;
};

class ManualClock : public MonotonicClock {
 public:
  std::uint64_t Milliseconds() override { return now += step; }
  std::uint64_t now = 1000;
  std::uint64_t step = 0;  // added on every reading
};

// Per-connection options kept as written: the LAN ("") and the entries named.
class MemoryConnectionOptions : public ConnectionOptions {
 public:
  std::vector<std::string> EntryNames() override { return entries; }
  std::optional<ConnectionSettings> Read(const std::string& name) override {
    if (std::count(unreadable.begin(), unreadable.end(), name)) return std::nullopt;
    const auto it = byName.find(name);
    if (it != byName.end()) return it->second;
    if (name.empty() || std::count(entries.begin(), entries.end(), name)) return ConnectionSettings{name};
    return std::nullopt;
  }
  bool Write(const ConnectionSettings& settings) override {
    if (std::count(refused.begin(), refused.end(), settings.name)) return false;
    byName[settings.name] = settings;
    return true;
  }
  std::vector<std::string> entries;
  std::vector<std::string> refused;     // names whose options are not taken
  std::vector<std::string> unreadable;  // names whose options cannot be read
  std::map<std::string, ConnectionSettings> byName;
};

// A file of the data folder in memory.
class MemoryDataFile : public DataFile {
 public:
  Contents Load() override {
    if (unreadable) return {State::Unreadable};
    return file ? Contents{State::Read, *file} : Contents{State::Missing};
  }
  bool Write(const std::string& text) override {
    if (writable) file = text;
    return writable;
  }
  void Forget() override { file.reset(); }
  void SetAside() override {
    if (file) setAside.push_back(*file);
    file.reset();
  }
  std::optional<std::string> file;
  std::vector<std::string> setAside;  // every file set aside, oldest first
  bool writable = true;
  bool unreadable = false;  // there, but not to be read just now
};

// Every service the main window uses, in memory.
struct MemoryServices {
  MemoryRegistry registry;
  QueuedThreads threads;
  ManualClock clock;
  RecordingInternetOptions internet;
  MemoryConnectionOptions connections;
  MemoryDataFile snapshot, settings;
  Services services{registry, threads, clock, internet, connections, snapshot, settings};
};

}  // namespace vantoip::test
