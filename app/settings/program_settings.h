// The program's settings, kept in settings.ini in its data folder: UTF-8
// "key=value" lines. A key the program does not know is kept as it stands when
// the file is written again; a damaged file or value gives the default.
#pragma once

#include <string>

#include "app/services.h"

namespace vantoip {

struct ProgramSettings {
  bool failover = true;   // "自动切换失效代理": the guard replaces a dead proxy
  bool relay = false;     // "本地中转": 连接 puts the local relay in place
  bool rotation = false;  // "轮换模式": each relayed connection through the next of the best
};

ProgramSettings ReadProgramSettings(DataFile& file);
// The file's other lines kept, the settings' own lines replaced or added.
bool WriteProgramSettings(DataFile& file, const ProgramSettings& settings);

}  // namespace vantoip
