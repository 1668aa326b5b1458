// The simulation's side of the differential report check: lays out one
// machine description (tests/differential/machines/*.machine) on a fresh
// simulated machine, runs zrHealthLog there, and writes the report file as it
// stands on disk (a text-mode stream: every line ends with CR LF). A report
// that leaves a handle open or a heap block behind fails (exit code 3).
//
//   cvn_sim_report MACHINE OUTPUT PROCESSOR_LEVEL
//
// PROCESSOR_LEVEL is the level the Wine side's processor reports (the host's
// CPU family), so both machines judge the same processor.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "entry_points.h"
#include "sim.h"
#include "version_block.h"

namespace {

const char kReportFile[] = "C:\\report.txt";
const char kRootPrefix[] = "HKEY_LOCAL_MACHINE\\";
const char kWindowsDirectory[] = "C:\\windows";
// A path may be quoted (it then may hold blanks); backslashes are its own.
const char kNoEscape = '\x01';

[[noreturn]] void Fail(int lineNumber, const std::string& what) {
  throw std::runtime_error("line " + std::to_string(lineNumber) + ": " + what);
}

std::string Rest(std::istringstream& words) {
  std::string rest;
  std::getline(words >> std::ws, rest);
  return rest;
}

// A quoted REGEDIT4 string starting at text[at] (the opening quote): its
// contents with \\ and \" resolved; `at` ends past the closing quote.
std::string Quoted(const std::string& text, size_t& at, int lineNumber) {
  if (at >= text.size() || text[at] != '"') Fail(lineNumber, "a quoted name or string expected");
  std::string value;
  for (++at; at < text.size() && text[at] != '"'; ++at) {
    if (text[at] == '\\' && at + 1 < text.size()) ++at;
    value += text[at];
  }
  if (at >= text.size()) Fail(lineNumber, "unterminated string");
  ++at;
  return value;
}

std::string HexBytes(const std::string& text, int lineNumber) {
  std::string bytes;
  std::istringstream items(text);
  std::string item;
  while (std::getline(items, item, ',')) {
    if (item.empty()) continue;
    char* end = nullptr;
    unsigned long byte = std::strtoul(item.c_str(), &end, 16);
    if (*end != '\0' || byte > 0xFF) Fail(lineNumber, "bad hex byte '" + item + "'");
    bytes += static_cast<char>(byte);
  }
  return bytes;
}

// One value line of a REGEDIT4 key: "name"=data or @=data.
void SetRegistryValue(const std::string& key, const std::string& line, int lineNumber) {
  if (key.empty()) Fail(lineNumber, "a value before any key");
  size_t at = 0;
  std::string name;
  if (line[0] == '@') {
    at = 1;
  } else {
    name = Quoted(line, at, lineNumber);
  }
  if (at >= line.size() || line[at] != '=') Fail(lineNumber, "'=' expected after the value name");
  const std::string data = line.substr(at + 1);
  if (!data.empty() && data[0] == '"') {
    size_t from = 0;
    std::string text = Quoted(data, from, lineNumber);
    sim::SetValue(HKEY_LOCAL_MACHINE, key, name, REG_SZ, text);
  } else if (data.rfind("dword:", 0) == 0) {
    sim::SetDword(HKEY_LOCAL_MACHINE, key, name,
                  static_cast<DWORD>(std::strtoul(data.c_str() + 6, nullptr, 16)));
  } else if (data.rfind("hex:", 0) == 0) {
    sim::SetRawValue(HKEY_LOCAL_MACHINE, key, name, REG_BINARY, HexBytes(data.substr(4), lineNumber));
  } else if (data.rfind("hex(", 0) == 0 && data.find("):") != std::string::npos) {
    size_t close = data.find("):");
    DWORD type = static_cast<DWORD>(std::strtoul(data.c_str() + 4, nullptr, 16));
    sim::SetRawValue(HKEY_LOCAL_MACHINE, key, name, type, HexBytes(data.substr(close + 2), lineNumber));
  } else {
    Fail(lineNumber, "unknown value data '" + data + "'");
  }
}

// version PATH A.B.C.D TEXT, or version-table PATH A.B.C.D TABLE
// LANGUAGE,CODEPAGE TEXT: a binary whose version resource is the one the Wine
// side builds with windres (tests/wine/lib.sh, version_dll): that version,
// FileVersion TEXT and OriginalFilename in the string table TABLE (default
// 040904b0), one translation (default 0409,04b0).
void MakeVersionedFile(std::istringstream& words, bool ownTable, int lineNumber) {
  std::string path, numbers, table = "040904b0", translation = "0409,04b0";
  words >> std::quoted(path, '"', kNoEscape) >> numbers;
  if (ownTable) words >> table >> translation;
  const std::string text = Rest(words);
  unsigned part[4], language, codePage;
  if (std::sscanf(numbers.c_str(), "%u.%u.%u.%u", &part[0], &part[1], &part[2], &part[3]) != 4 ||
      std::sscanf(translation.c_str(), "%x,%x", &language, &codePage) != 2 || text.empty()) {
    Fail(lineNumber, "version PATH A.B.C.D [TABLE LANGUAGE,CODEPAGE] TEXT expected");
  }
  VersionFields fields;
  fields.fileVersionMS = fields.productVersionMS = part[0] << 16 | part[1];
  fields.fileVersionLS = fields.productVersionLS = part[2] << 16 | part[3];
  fields.tableName = table;
  fields.translations = {{static_cast<WORD>(language), static_cast<WORD>(codePage)}};
  fields.strings = {{"FileVersion", text}, {"OriginalFilename", path.substr(path.rfind('\\') + 1)}};
  sim::MakeFile(path, "MZ");
  sim::SetVersionResource(path, BuildVersionBlock(fields));
}

void LayOut(std::istream& machine) {
  std::string line, key;
  for (int lineNumber = 1; std::getline(machine, line); ++lineNumber) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      if (line.back() != ']' || line.compare(1, sizeof kRootPrefix - 1, kRootPrefix) != 0) {
        Fail(lineNumber, "a key under HKEY_LOCAL_MACHINE expected");
      }
      key = line.substr(sizeof kRootPrefix, line.size() - sizeof kRootPrefix - 1);
      sim::CreateKey(HKEY_LOCAL_MACHINE, key);
      continue;
    }
    if (line[0] == '"' || line[0] == '@') {
      SetRegistryValue(key, line, lineNumber);
      continue;
    }
    std::istringstream words(line);
    std::string directive, path;
    words >> directive;
    if (directive == "windows") {
      sim::OsVersion version;
      words >> version.major;
      words.ignore(1, '.');
      words >> version.minor >> version.build;
      version.csd = Rest(words);
      sim::SetOsVersion(version);
    } else if (directive == "dir") {
      sim::MakeDirectory(Rest(words));
    } else if (directive == "file") {
      words >> std::quoted(path, '"', kNoEscape);
      sim::MakeFile(path, Rest(words) + "\r\n");
    } else if (directive == "version" || directive == "version-table") {
      MakeVersionedFile(words, directive == "version-table", lineNumber);
    } else {
      Fail(lineNumber, "unknown directive '" + directive + "'");
    }
  }
}

// The machine around the description: Wine's Windows directory and fixed
// drives (C:, and Z: for the host's root), a healthy scripted network, the
// host's processor generation.
void PrepareMachine(int processorLevel) {
  sim::Reset();
  sim::RemoveAllDrives();
  sim::SetDrive('C', sim::Drive{});
  sim::SetDrive('Z', sim::Drive{});
  sim::SetWindowsDirectory(kWindowsDirectory);
  sim::SetSystemDirectory(std::string(kWindowsDirectory) + "\\system32");
  sim::MakeDirectory(std::string(kWindowsDirectory) + "\\system32\\drivers");
  sim::Processors processors;
  processors.level = static_cast<WORD>(processorLevel);
  sim::SetProcessors(processors);
  sim::ScriptNetwork();
}

// The simulated stream keeps the product's line ends; msvcrt's text mode
// writes each as CR LF.
std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: cvn_sim_report MACHINE OUTPUT PROCESSOR_LEVEL\n";
    return 2;
  }
  std::ifstream machine(argv[1]);
  if (!machine) {
    std::cerr << argv[1] << ": cannot be read\n";
    return 2;
  }
  try {
    PrepareMachine(std::atoi(argv[3]));
    LayOut(machine);
  } catch (const std::exception& problem) {
    std::cerr << argv[1] << ": " << problem.what() << "\n";
    return 2;
  }
  zrHealthLog(kReportFile, "CVNUNIST.dll");
  if (sim::OpenHandles() != 0 || sim::HeapBlocks() != 0) {
    std::cerr << argv[1] << ": the report left " << sim::OpenHandles() << " handles and "
              << sim::HeapBlocks() << " heap blocks\n";
    return 3;
  }
  std::ofstream output(argv[2], std::ios::binary);
  output << WithCrLf(sim::FileContents(kReportFile));
  return output ? 0 : 2;
}
