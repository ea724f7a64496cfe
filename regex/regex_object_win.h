// A regular expression run once over one subject text, answering questions
// about its matches and their groups. It drives the system's scripting
// regular-expression object ("VBScript.RegExp") through the automation bridge.
//
// The calling thread initialises COM before Create; Destroy ends that use again.
//
//   CallNativeCommand(kCoInitialize, {0});
//   RegexObject regex;
//   regex.Create(pattern, page);
//   for (int i = 1; i <= regex.MatchCount(); ++i) use(regex.SubMatchText(i, 1));
//   regex.Destroy();
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "runtime/automation_win.h"

namespace vantoip {

class RegexObject final {
 public:
  RegexObject() = default;
  RegexObject(RegexObject&&) = default;
  RegexObject& operator=(RegexObject&&) = default;
  RegexObject(const RegexObject&) = delete;
  RegexObject& operator=(const RegexObject&) = delete;
  // Releases what is still held; unlike Destroy it leaves COM initialised.
  ~RegexObject() = default;

  // The operations are virtual so that the class's dispatch table holds them
  // in this slot order, slot 3 being an empty operation.

  // Releases the expression and the matches, forgets the subject and ends the
  // calling thread's use of COM.
  virtual void Destroy();
  // A new instance sharing the same expression and match objects.
  virtual RegexObject Copy() const;
  // Compiles `pattern` and runs it over `subject`; options left out are on.
  // True when a match list was obtained (it may be empty).
  virtual bool Create(const std::string& pattern, const std::string& subject,
                      std::optional<bool> ignoreCase = std::nullopt, std::optional<bool> multiline = std::nullopt,
                      std::optional<bool> global = std::nullopt);
  virtual void Reserved() {}  // an empty slot
  virtual std::string GetPattern() const;
  // The subject with the first match, or every match when global, replaced.
  virtual std::string Replace(const std::string& replacement) const;
  virtual std::int32_t MatchCount() const;
  // Match n (1-based). When `position` is given it receives the match's
  // 0-based byte offset in the subject, -2 when it is not found there.
  virtual std::string MatchText(std::int32_t n, std::int32_t* position = nullptr) const;
  // Group m (1-based) of match n; empty when the group took no part.
  virtual std::string SubMatchText(std::int32_t n, std::int32_t m, std::int32_t* position = nullptr) const;
  // The number of groups, read from the first match; 0 without matches.
  virtual std::int32_t SubMatchCount() const;

 private:
  // 0-based byte offset of `text` searched from the start of `match`; -2 when not found.
  std::int32_t PositionOf(const std::string& text, const AutomationObject& match) const;

  AutomationObject engine_;
  AutomationObject matches_;
  std::string subject_;
};

}  // namespace vantoip
