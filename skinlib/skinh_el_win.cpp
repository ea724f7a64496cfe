// SkinH_EL.dll: gives the windows of the calling thread the look of a stored
// skin handed over in memory.
#include <windows.h>

#include "skinlib/skin_description.h"
#include "skinlib/skin_session_win.h"

namespace {

enum AttachResult : int {
  kAttached = 0,
  kRemoved = 1,       // no skin given: the windows have their own look again
  kDamagedSkin = 2,   // nothing changed
  kNotAttached = 3,   // the skin belongs to another thread, or no hook could be set
};

}  // namespace

// `data`, `length`: the data of a stored skin (".SHE", 00 03, unpacked size,
// LZMA properties and stream). The text and the three integers are reserved.
extern "C" int __stdcall SkinH_AttachRes(const unsigned char* data, int length, const char* /*reserved*/,
                                         int /*reserved*/, int /*reserved*/, int /*reserved*/) {
  using namespace vantoip::skin;
  if (!data || length <= 0) {
    DetachSkin();
    return kRemoved;
  }
  const auto skin = LoadSkin({data, static_cast<std::size_t>(length)});
  if (!skin) return kDamagedSkin;
  return AttachSkin(*skin) ? kAttached : kNotAttached;
}
