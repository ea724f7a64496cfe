#include "regex/regex_object_win.h"

#include "runtime/convert.h"
#include "runtime/native_commands_win.h"
#include "runtime/text.h"

namespace vantoip {
namespace {

std::int32_t ToIntegerCount(double value) { return static_cast<std::int32_t>(TruncateToInteger(value)); }

// The scripting object's lists are 0-based; the class counts from 1.
double ItemIndex(std::int32_t oneBased) { return static_cast<double>(oneBased) - 1; }

}  // namespace

void RegexObject::Destroy() {
  ReleaseObject(engine_);
  ReleaseObject(matches_);
  subject_.clear();
  CallNativeCommand(kCoUninitialize, {});
}

RegexObject RegexObject::Copy() const {
  RegexObject copy;
  copy.engine_ = CopyObject(engine_);
  copy.matches_ = CopyObject(matches_);
  copy.subject_ = subject_;
  return copy;
}

bool RegexObject::Create(const std::string& pattern, const std::string& subject, std::optional<bool> ignoreCase,
                         std::optional<bool> multiline, std::optional<bool> global) {
  bool ignoreCaseOn = ignoreCase.value_or(true);
  bool multilineOn = multiline.value_or(true);
  bool globalOn = global.value_or(true);
  ReleaseObject(engine_);
  CreateObject(engine_, "VBScript.RegExp");
  WriteProperty(engine_, "IgnoreCase", {&ignoreCaseOn});
  WriteProperty(engine_, "Multiline", {&multilineOn});
  // The expression object has no such property; the write fails and changes nothing.
  WriteProperty(engine_, "Singleline", {true});
  WriteProperty(engine_, "Global", {&globalOn});
  WriteProperty(engine_, "Pattern", {pattern});
  ReleaseObject(matches_);
  matches_ = CallObjectMethod(engine_, "Execute", {subject});
  subject_ = subject;
  return !IsObjectEmpty(matches_);
}

std::string RegexObject::GetPattern() const {
  const bool noEngine = IsObjectEmpty(engine_);
  std::string pattern = ReadTextProperty(engine_, "Pattern");
  return noEngine ? std::string() : pattern;
}

std::string RegexObject::Replace(const std::string& replacement) const {
  return CallTextMethod(engine_, "Replace", {subject_, replacement});
}

std::int32_t RegexObject::MatchCount() const { return ToIntegerCount(ReadNumberProperty(matches_, "Count")); }

std::string RegexObject::MatchText(std::int32_t n, std::int32_t* position) const {
  const AutomationObject match = ReadObjectProperty(matches_, "Item", {ItemIndex(n)});
  std::string text = ReadTextProperty(match, "Value");
  if (position) *position = PositionOf(text, match);
  return text;
}

std::string RegexObject::SubMatchText(std::int32_t n, std::int32_t m, std::int32_t* position) const {
  const AutomationObject match = ReadObjectProperty(matches_, "Item", {ItemIndex(n)});
  const AutomationObject groups = ReadObjectProperty(match, "SubMatches");
  AutomationVariant group = ReadVariantProperty(groups, "Item", {ItemIndex(m)});
  std::string text = VariantToText(group);
  ClearVariant(group);
  if (position) *position = PositionOf(text, match);
  return text;
}

std::int32_t RegexObject::SubMatchCount() const {
  AutomationObject first = ReadObjectProperty(matches_, "Item", {0});
  const AutomationObject groups = ReadObjectProperty(first, "SubMatches");
  ReleaseObject(first);
  return ToIntegerCount(ReadNumberProperty(groups, "Count"));
}

// The search starts at the match's character index taken as a byte offset, so
// with two-byte characters before the match it starts early and finds the
// first equal text from there. It ignores case exactly when the expression's
// IgnoreCase reads back as "0"; an exact search always finds the match text
// itself, being a piece of the subject.
std::int32_t RegexObject::PositionOf(const std::string& text, const AutomationObject& match) const {
  const std::int32_t first = ToIntegerCount(ReadNumberProperty(match, "FirstIndex"));
  const bool ignoreCase = ReadTextProperty(engine_, "IgnoreCase") == "0";
  return FindText(subject_, text, first + 1, ignoreCase) - 1;
}

}  // namespace vantoip
