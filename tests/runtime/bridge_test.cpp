#include "runtime/native_bridge_win.h"

#include <windows.h>
#include <gtest/gtest.h>

#include "runtime/encoding_win.h"
#include "runtime/native_commands_win.h"
#include "tests/support/child_process_win.h"
#include "tests/support/fatal_capture.h"

namespace vantoip {
namespace {

std::string TestDll() { return test::BesideTestExecutable("bridge_test_dll.dll"); }

TEST(NativeBridge, EmptyLibraryNameResolvesFromKernel32First) {
  const NativeCommand commands[] = {{"", "GetCurrentProcessId", ""}, {"", "ShellExecuteA", "ITTTTI"}};
  NativeCommandTable table(commands);
  EXPECT_EQ(table.ModuleOf(0), nullptr);  // nothing loaded before the first call
  EXPECT_EQ(table.Call(0, {}), GetCurrentProcessId());
  EXPECT_EQ(table.ModuleOf(0), GetModuleHandleA("kernel32.dll"));
  // An export only Shell32 has is found after the other five were tried and released.
  table.Call(1, {0, std::string("open"), std::string("vantoip_nothing_to_open.xyz"), std::string(), std::string(), 0});
  EXPECT_EQ(table.ModuleOf(1), GetModuleHandleA("shell32.dll"));
}

TEST(NativeBridge, FullPathOrdinalAndSameExportTwice) {
  const std::string dll = TestDll();
  const NativeCommand commands[] = {
      {dll.c_str(), "Add2", "II"},    {dll.c_str(), "#12", "II"},       {dll.c_str(), "Add2", "IR"},
      {dll.c_str(), "#13", "I"},      {dll.c_str(), "Digits6", "IIIIII"}};
  NativeCommandTable table(commands);
  EXPECT_EQ(table.Call(0, {2, 3}), 5u);
  EXPECT_EQ(table.Call(1, {40, 2}), 42u);  // ordinal 12 is Add2
  EXPECT_EQ(table.ModuleOf(2), nullptr);   // same export, separate entry, still unresolved
  std::int32_t variable = 0;
  // Declared with a by-reference second argument: Add2 receives the variable's whole address.
  EXPECT_EQ(table.Call(2, {0, &variable}), reinterpret_cast<NativeWord>(&variable));
  EXPECT_EQ(static_cast<std::int32_t>(table.Call(3, {7})), -7);
  EXPECT_EQ(table.ModuleOf(0), table.ModuleOf(1));
  // On x86_64 the last two go on the stack above the registers' shadow space.
  EXPECT_EQ(table.Call(4, {1, 2, 3, 4, 5, 6}), 123456u);
}

TEST(NativeBridge, ReleasesOneReferencePerResolvedEntry) {
  const std::string dll = TestDll();
  const NativeCommand commands[] = {{dll.c_str(), "Add2", "II"}, {dll.c_str(), "Negate", "I"}};
  {
    NativeCommandTable table(commands);
    table.Call(0, {1, 1});
    table.Call(1, {1});
    EXPECT_NE(GetModuleHandleA(dll.c_str()), nullptr);
    table.ReleaseModules();
    EXPECT_EQ(GetModuleHandleA(dll.c_str()), nullptr);  // both references gone, library unloaded
    EXPECT_EQ(table.Call(0, {4, 5}), 9u);                // resolves again after a release
  }
  EXPECT_EQ(GetModuleHandleA(dll.c_str()), nullptr);  // the table's end releases what it holds
}

TEST(NativeBridge, CallsThatDisagreeWithTheDeclarationAreFatal) {
  const std::string dll = TestDll();
  const NativeCommand commands[] = {{dll.c_str(), "Add2", "II"}};
  NativeCommandTable table(commands);
  EXPECT_EQ(test::CatchFatal([&] { table.Call(0, {1}); }).code, kTypeMismatch);
  EXPECT_EQ(test::CatchFatal([&] { table.Call(0, {1, std::string("x")}); }).code, kTypeMismatch);
}

TEST(NativeBridge, ResolutionFailuresNameLibraryAndExportOnFirstCall) {
  const NativeCommand commands[] = {{"no_such_library_vantoip.dll", "Anything", "I"}, {"", "NoSuchExportVantoip", ""},
                                    {"kernel32.dll", "NoSuchExportVantoip", ""}};
  NativeCommandTable table(commands);  // building the table raises nothing
  EXPECT_EQ(test::CatchFatal([&] { table.Call(0, {1}); }).text,
            "运行时出错!\r\n\r\n错误信息：无法找到指定DLL库文件“no_such_library_vantoip.dll”中的输出命令“Anything”\r\n");
  EXPECT_EQ(test::CatchFatal([&] { table.Call(1, {}); }).text,
            "运行时出错!\r\n\r\n错误信息：无法找到指定DLL库文件中的输出命令“NoSuchExportVantoip”\r\n");
  EXPECT_EQ(test::CatchFatal([&] { table.Call(2, {}); }).text,
            "运行时出错!\r\n\r\n错误信息：无法找到指定DLL库文件“kernel32.dll”中的输出命令“NoSuchExportVantoip”\r\n");
  EXPECT_EQ(table.ModuleOf(2), nullptr);
}

TEST(NativeBridge, ProgramTableHasItsSeventeenEntriesUnresolved) {
  EXPECT_EQ(ProgramCommands().Count(), 17);
  for (int i = 0; i < 17; ++i) EXPECT_EQ(ProgramCommands().ModuleOf(i), nullptr) << i;
}

std::string Probe(const char* what) { return "\"" + test::BesideTestExecutable("planted\\bridge_probe.exe") + "\" " + what; }

#if defined(__i386__) || defined(_M_IX86)
// i686: stdcall callees remove their arguments, so a wrong count shows on the stack.
TEST(NativeBridgeProcess, StackCheckCatchesAWrongDeclaration) {
  for (const char* what : {"extra-argument", "cdecl"}) {
    SCOPED_TRACE(what);
    test::ExpectErrorBox(test::RunChild(Probe(what)),
                         "运行时出错!\r\n\r\n错误代码：6\r\n\r\n错误信息：调用DLL命令后发现堆栈错误\r\n");
  }
}
#else
// x86_64: the caller removes the arguments, so the same calls return normally
// (one convention for all functions) and there is no stack error to raise.
TEST(NativeBridgeProcess, WrongArgumentCountsReturnNormallyOnX64) {
  for (const char* what : {"extra-argument", "cdecl"}) {
    SCOPED_TRACE(what);
    const auto outcome = test::RunChild(Probe(what));
    EXPECT_FALSE(outcome.sawErrorBox) << WideToGbk(outcome.boxText);
    ASSERT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.exitCode, 0u);
  }
}
#endif

TEST(NativeBridgeProcess, MissingLibraryEndsTheProgram) {
  test::ExpectErrorBox(
      test::RunChild(Probe("missing-library")),
      "运行时出错!\r\n\r\n错误信息：无法找到指定DLL库文件“no_such_library_vantoip.dll”中的输出命令“Anything”\r\n");
}

// The program's own library is loaded from the program folder or not at all.
TEST(NativeBridgeProcess, ProgramLibraryOutsideTheProgramFolderIsNotLoaded) {
  const auto bare = test::RunChild(Probe("bare-test-dll"));
  EXPECT_TRUE(bare.exited);
  EXPECT_EQ(bare.exitCode, 0u) << "the normal search does not find the library";
  test::ExpectErrorBox(
      test::RunChild(Probe("program-test-dll")),
      "运行时出错!\r\n\r\n错误信息：无法找到指定DLL库文件“bridge_test_dll.dll”中的输出命令“Add2”\r\n");
}

TEST(NativeBridgeProcess, PlantedSystemLibraryBesideTheProgramIsNotLoaded) {
  const std::string marker = test::BesideTestExecutable("planted\\planted_dll_was_loaded.txt");
  // Wine prefers its built-in DLLs; ctest runs this test with WINEDLLOVERRIDES
  // wininet=n,b, which restores the Windows search order (program folder first).
  const std::string dir = test::BesideTestExecutable("planted");
  SetCurrentDirectoryA(dir.c_str());

  DeleteFileA(marker.c_str());
  test::RunChild(Probe("bare-wininet"));
  EXPECT_NE(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES) << "the plant itself does not work";

  DeleteFileA(marker.c_str());
  const auto bridged = test::RunChild(Probe("program-wininet"));
  EXPECT_TRUE(bridged.exited);
  EXPECT_EQ(bridged.exitCode, 0u);
  EXPECT_EQ(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES) << "the bridge loaded the planted DLL";
  EXPECT_FALSE(bridged.sawErrorBox) << WideToGbk(bridged.boxText);
}

}  // namespace
}  // namespace vantoip
