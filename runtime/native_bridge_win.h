// Native call bridge: declared library commands resolved by name on first
// call, called with the stack checked against the declaration.
#pragma once

#include <windows.h>

#include <atomic>
#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "runtime/handle_win.h"
#include "runtime/native_thunk_win.h"
#include "runtime/value.h"

namespace vantoip {

// Where a named library is loaded from. System libraries come from the system
// directory only, so that a DLL planted beside the program is never run; the
// program's own library comes from the program folder only.
enum class LibraryFolder { System, Program };

// A declared command. `arguments` spells the declared kinds, one letter each:
// I integer or logical, T text, B byte block, R integer by reference,
// S record by address, A array of records by address.
struct NativeCommand {
  const char* library;     // empty: the system-library search list; with ':' a full path
  const char* exportName;  // a name, or '#' and a decimal ordinal
  const char* arguments;
  LibraryFolder folder = LibraryFolder::System;
};

// One argument word with its kind, made from a program value. Words are as
// wide as an address, so handles and addresses pass whole on x86_64; a 32-bit
// integer is widened (sign-extended when signed), of which the callee reads
// the low half.
class NativeArgument {
 public:
  NativeArgument(std::int32_t value) : kind_('I'), word_(static_cast<NativeWord>(static_cast<std::intptr_t>(value))) {}
  NativeArgument(std::uint32_t value) : kind_('I'), word_(value) {}
  NativeArgument(bool value) : kind_('I'), word_(value ? 1 : 0) {}
  // A handle or address passed as an integer (on i686 the uint32_t form above).
  template <class Word>
    requires std::same_as<Word, NativeWord> && (sizeof(Word) > sizeof(std::uint32_t))
  NativeArgument(Word handle) : kind_('I'), word_(handle) {}
  // Texts: the address of the zero-terminated bytes, null for the empty text.
  NativeArgument(const std::string& text) : kind_('T'), word_(Address(text.empty() ? nullptr : text.c_str())) {}
  NativeArgument(const char* text) : kind_('T'), word_(Address(text && *text ? text : nullptr)) {}
  // A text buffer the native function writes into.
  NativeArgument(std::string* buffer) : kind_('T'), word_(Address(buffer->data())) {}
  // Byte blocks: the address of the first data byte, null for the empty block.
  NativeArgument(const ByteBlock& block) : kind_('B'), word_(Address(block.empty() ? nullptr : block.data())) {}
  NativeArgument(ByteBlock* block) : kind_('B'), word_(Address(block->empty() ? nullptr : block->data())) {}
  // A 32-bit integer variable passed by reference.
  NativeArgument(std::int32_t* variable) : kind_('R'), word_(Address(variable)) {}
  NativeArgument(std::uint32_t* variable) : kind_('R'), word_(Address(variable)) {}

  char Kind() const { return kind_; }
  NativeWord Word() const { return word_; }

 private:
  static NativeWord Address(const void* p) { return reinterpret_cast<NativeWord>(p); }
  char kind_;
  NativeWord word_;
};

class NativeCommandTable {
 public:
  // Copies the names; nothing is loaded until an entry is first called.
  explicit NativeCommandTable(std::span<const NativeCommand> commands);
  NativeCommandTable(const NativeCommandTable&) = delete;
  NativeCommandTable& operator=(const NativeCommandTable&) = delete;

  // Resolves the entry on its first call (fatal error when it cannot be) and
  // calls it; arguments that disagree with the declaration are fatal error 5,
  // and on i686 a stack left other than declared is fatal error 6. The result
  // is the whole result register: a function that returns a 32-bit value
  // leaves the upper half of it undefined on x86_64, so cast such results.
  NativeWord Call(int entry, std::initializer_list<NativeArgument> arguments);

  // The entry's address, resolved now if it was not yet; null (and no fatal
  // error) when it cannot be.
  void* TryResolve(int entry);

  // Releases every module handle held, one FreeLibrary per resolved entry.
  void ReleaseModules();

  HMODULE ModuleOf(int entry) const { return entries_[entry].module.Get(); }
  int Count() const { return static_cast<int>(entries_.size()); }

 private:
  // One declared command and, once resolved, its module and address.
  struct Entry {
    std::string library;
    std::string exportName;
    std::string arguments;
    LibraryFolder folder = LibraryFolder::System;
    ModuleHandle module;  // changed under the resolution lock only
    std::atomic<void*> address{nullptr};
  };

  void* Resolve(int entry);  // fatal error when the entry cannot be resolved

  std::vector<Entry> entries_;
  std::mutex resolveMutex_;
};

// A system library, loaded from the system folder and nowhere else.
ModuleHandle LoadSystemLibrary(const std::string& name);

// The folder of the program's executable, without a trailing backslash, at
// any length and in any characters.
std::wstring ProgramFolder();

}  // namespace vantoip
