// The program's skin: the skinning library it carries, written beside the
// program, and the stored skins handed to it.
#pragma once

namespace vantoip {

// Writes the carried skinning library beside the program (hidden) unless a
// file of that name is already there; an existing file is left untouched.
void EnsureSkinLibrary();

// Hands stored skin `number` (1-33; any other number hands none) to the
// skinning library, but only when the library file beside the program holds
// exactly the carried bytes: a foreign, damaged or missing file is never
// loaded, nor any file elsewhere, and the program then runs with its own
// look, as it does when the carried file fails to load.
void ApplySkin(int number);

}  // namespace vantoip
