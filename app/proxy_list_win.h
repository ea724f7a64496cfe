// Reads the proxy list page and fills 超级列表框1 row by row, on a worker thread.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "app/main_window.h"

namespace vantoip {

class RegexObject;

class ProxyListReader {
 public:
  ProxyListReader(MainWindow& mainWindow, std::string pageUrl);

  // The whole body of one list-reading worker thread. Runs may overlap: a
  // newer run supersedes an older one, which then stops touching the list
  // and the title, so the list never mixes the rows of two pages.
  void ReadProxyList();

  // The page text of the newest run that got its page (a copy).
  std::string LastPageText() const;

 private:
  // The steps of one run from emptying the list to the final title; returns
  // early once a newer run has started.
  void FillList(unsigned run, RegexObject& regex);
  // Carries out `write` only while `run` is the newest run; false otherwise.
  template <class Write>
  bool WriteIfNewest(unsigned run, Write write);

  MainWindow& main_;
  const std::string pageUrl_;
  std::atomic<unsigned> newestRun_{0};
  mutable std::mutex writeMutex_;  // a run's check and its write happen together
  std::string lastPageText_;
};

}  // namespace vantoip
