// The attached skin: a hook that meets every window the attaching thread
// creates, and a subclass on each window it skins. Windows of one thread only.
#pragma once

#include "skinlib/skin_description.h"

namespace vantoip::skin {

// Gives the calling thread's windows, present and future, the look of `skin`
// (replacing the skin it had). False when a skin is attached on another thread
// or the hook cannot be set.
bool AttachSkin(const Skin& skin);

// Returns the calling thread's windows to their own look and stops meeting new
// ones. Nothing happens when no skin is attached on this thread.
void DetachSkin();

}  // namespace vantoip::skin
