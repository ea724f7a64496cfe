// Conversions between runtime values and VARIANTs for the automation bridge.
#pragma once

#include "runtime/automation_win.h"

namespace vantoip {

// The argument's value as a VARIANT (by-reference variables are read through
// their address). `declared` is the parameter's declared base type, VT_EMPTY
// when unknown; it decides how an object is passed. False: the value's kind
// cannot be passed.
bool ToVariant(const AutomationArgument& argument, VARTYPE declared, VARIANT& out);

// A copy of `source`, references followed, changed to the target's kind and
// stored in it. False (target untouched) when the change is impossible.
bool FromVariant(const VARIANT& source, bool& target);
bool FromVariant(const VARIANT& source, DateTime& target);
bool FromVariant(const VARIANT& source, std::string& target);
bool FromVariant(const VARIANT& source, std::uint8_t& target);
bool FromVariant(const VARIANT& source, std::int16_t& target);
bool FromVariant(const VARIANT& source, std::int32_t& target);
bool FromVariant(const VARIANT& source, std::int64_t& target);
bool FromVariant(const VARIANT& source, float& target);
bool FromVariant(const VARIANT& source, double& target);
bool FromVariant(const VARIANT& source, AutomationObject& target);
bool FromVariant(const VARIANT& source, AutomationVariant& target);

}  // namespace vantoip
