// The readers of the two files any program of the user's can write: the
// snapshot of the proxy settings and settings.ini. An accepted snapshot
// written again reads back the same; settings.ini's settings written read back
// as written (a choice changed, too), and every line the user put there that
// is no setting's survives in order (in UTF-8, whatever Notepad encoding it came in).
// Input: the file's bytes, read as both.
#include <algorithm>
#include <string>
#include <vector>

#include "app/notepad_text.h"
#include "app/settings/program_settings.h"
#include "app/switch/proxy_settings.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

class StringFile final : public vantoip::DataFile {
 public:
  explicit StringFile(std::string text) : text_(std::move(text)) {}
  Contents Load() override { return {State::Read, text_}; }
  bool Write(const std::string& text) override {
    text_ = text;
    return true;
  }
  void Forget() override {}
  void SetAside() override {}
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// The lines that are no setting's, without their line ends, as UTF-8.
std::vector<std::string> OtherLines(const std::string& bytes) {
  const std::string text = vantoip::NotepadTextUtf8(bytes);
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t equals = line.find('=');
    std::string key = equals == std::string::npos ? "" : line.substr(0, equals);
    while (!key.empty() && (key.front() == ' ' || key.front() == '\t')) key.erase(0, 1);
    while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
    const auto& fields = vantoip::SettingFields();
    if (std::none_of(fields.begin(), fields.end(), [&](const vantoip::SettingField& f) { return f.key == key; }))
      lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantoip;
  const std::string text(reinterpret_cast<const char*>(data), size);

  if (const std::optional<ProxySnapshot> snapshot = ReadSnapshot(text)) {
    const std::optional<ProxySnapshot> again = ReadSnapshot(SnapshotText(*snapshot));
    FUZZ_CHECK(again && *again == *snapshot);
  }

  StringFile ini(text);
  const ProgramSettings read = ReadProgramSettings(ini);
  FUZZ_CHECK(WriteProgramSettings(ini, read));
  const ProgramSettings back = ReadProgramSettings(ini);
  for (const SettingField& field : SettingFields()) FUZZ_CHECK(SettingText(back, field) == SettingText(read, field));
  for (const bool failover : {read.failover, !read.failover}) {
    StringFile copy(text);
    FUZZ_CHECK(WriteProgramSettings(copy, {.failover = failover}));
    FUZZ_CHECK(ReadProgramSettings(copy).failover == failover);
    FUZZ_CHECK(OtherLines(copy.Text()) == OtherLines(text));
  }
  return 0;
}
