// Late-bound automation objects: create them by class name, read and write
// their properties and call their methods by name. Failures never raise: they
// leave a per-thread status code and give the empty value of the result kind.
#pragma once

#include <ole2.h>
#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "runtime/handle_win.h"
#include "runtime/value.h"

namespace vantoip {

// An automation object: one reference to its IUnknown, or empty.
class AutomationObject {
 public:
  AutomationObject() = default;
  explicit AutomationObject(IUnknown* object);  // takes a reference of its own
  explicit AutomationObject(ComPtr<IUnknown> object) : interface_(std::move(object)) {}

  IUnknown* Interface() const { return interface_.Get(); }
  template <class Other>
  ComPtr<Other> As() const {
    return interface_.As<Other>();
  }

 private:
  ComPtr<IUnknown> interface_;
};

// One VARIANT, cleared when the value goes; all-zero is VT_EMPTY.
class AutomationVariant {
 public:
  AutomationVariant() { VariantInit(&variant_); }
  AutomationVariant(AutomationVariant&& other) noexcept;
  AutomationVariant& operator=(AutomationVariant&& other) noexcept;
  AutomationVariant(const AutomationVariant&) = delete;
  AutomationVariant& operator=(const AutomationVariant&) = delete;
  ~AutomationVariant() { VariantClear(&variant_); }

  const VARIANT& Get() const { return variant_; }
  VARIANT* Receive();  // cleared, for an out-parameter

 private:
  VARIANT variant_;
};

// An optional argument left out.
struct Omitted {};
inline constexpr Omitted kOmitted{};

// One argument of a by-name call: a runtime value, an object, a variant, a
// variable passed by reference, or an omitted optional argument.
class AutomationArgument {
 public:
  using Variable = std::variant<bool*, DateTime*, std::string*, std::uint8_t*, std::int16_t*, std::int32_t*,
                                std::int64_t*, float*, double*, AutomationObject*, AutomationVariant*>;
  using Content = std::variant<Omitted, Value, const AutomationObject*, const AutomationVariant*, Variable>;

  AutomationArgument(Omitted) {}
  template <class T>
  requires(!std::is_pointer_v<std::decay_t<T>> && std::is_constructible_v<Value, T>) AutomationArgument(T&& value)
      : content_(Value(std::forward<T>(value))) {}
  AutomationArgument(const char* text) : content_(Value(std::string(text))) {}
  AutomationArgument(const AutomationObject& object) : content_(&object) {}
  AutomationArgument(const AutomationVariant& variant) : content_(&variant) {}
  template <class T>
  requires std::is_constructible_v<Variable, T*> AutomationArgument(T* variable) : content_(Variable(variable)) {}

  const Content& Get() const { return content_; }
  bool IsOmitted() const { return std::holds_alternative<Omitted>(content_); }

 private:
  Content content_;
};

using AutomationArguments = std::initializer_list<AutomationArgument>;

enum class InvocationKind { Get, Put, Method };

// LastCallStatus codes.
enum AutomationStatus : std::int32_t {
  kCallSucceeded = 0,
  kObjectEmpty = -1,
  kNoDispatch = -2,
  kNameNotBound = -3,
  kNoTypeInformation = -4,
  kTooManyArguments = -5,
  kArgumentKindNotPassable = -7,
  kResultNotConvertible = -8,
  kBadParamCount = -9,
  kBadVarType = -10,
  kMemberRaisedError = -11,
  kMemberNotFound = -12,
  kNoNamedArgs = -13,
  kOverflow = -14,
  kParamNotFound = -15,
  kTypeMismatchStatus = -16,
  kParamNotOptional = -17,
  kInvokeFailed = -18,
};

// Outcome of the most recent by-name call made on the calling thread.
std::int32_t LastCallStatus();

// The one by-name call behind every property and method operation. Result is
// void, a runtime value type, AutomationObject or AutomationVariant; on failure
// it is the empty value of that kind.
template <class Result>
Result CallByName(const AutomationObject& object, std::string_view name, InvocationKind kind,
                  AutomationArguments arguments);

// `classText` is a ProgID or a CLSID in braces; `typeLibraryFile` is optional
// (empty). On failure the variable keeps what it held.
bool CreateObject(AutomationObject& object, const std::string& classText, const std::string& typeLibraryFile = {});
void ReleaseObject(AutomationObject& object);
bool IsObjectEmpty(const AutomationObject& object);
AutomationObject CopyObject(const AutomationObject& source);

inline bool WriteProperty(const AutomationObject& object, std::string_view name, AutomationArguments values) {
  CallByName<void>(object, name, InvocationKind::Put, values);
  return LastCallStatus() == kCallSucceeded;
}
inline std::string ReadTextProperty(const AutomationObject& object, std::string_view name,
                                    AutomationArguments arguments = {}) {
  return CallByName<std::string>(object, name, InvocationKind::Get, arguments);
}
inline double ReadNumberProperty(const AutomationObject& object, std::string_view name,
                                 AutomationArguments arguments = {}) {
  return CallByName<double>(object, name, InvocationKind::Get, arguments);
}
inline AutomationObject ReadObjectProperty(const AutomationObject& object, std::string_view name,
                                           AutomationArguments arguments = {}) {
  return CallByName<AutomationObject>(object, name, InvocationKind::Get, arguments);
}
inline AutomationVariant ReadVariantProperty(const AutomationObject& object, std::string_view name,
                                             AutomationArguments arguments = {}) {
  return CallByName<AutomationVariant>(object, name, InvocationKind::Get, arguments);
}
inline std::string CallTextMethod(const AutomationObject& object, std::string_view name,
                                  AutomationArguments arguments) {
  return CallByName<std::string>(object, name, InvocationKind::Method, arguments);
}
inline AutomationObject CallObjectMethod(const AutomationObject& object, std::string_view name,
                                         AutomationArguments arguments) {
  return CallByName<AutomationObject>(object, name, InvocationKind::Method, arguments);
}

// The held value as text; empty when it has no text form.
std::string VariantToText(const AutomationVariant& variant);
void ClearVariant(AutomationVariant& variant);

}  // namespace vantoip
