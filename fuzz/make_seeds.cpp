// Writes the seed corpora of the fuzz targets: a few well-formed inputs and a
// few near misses each, in the layouts the targets read (see their files).
//   cvn_fuzz_seeds fuzz/corpus
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim.h"
#include "version_block.h"

namespace {

// An input, built in the order a target reads it.
struct Seed {
  std::string bytes;

  Seed& Byte(uint8_t value) {
    bytes += static_cast<char>(value);
    return *this;
  }
  Seed& Word(uint16_t value) { return Byte(value & 0xFF).Byte(value >> 8); }
  Seed& Raw(const std::string& text) {
    bytes += text;
    return *this;
  }
  Seed& ShortText(const std::string& text) { return Byte(static_cast<uint8_t>(text.size())).Raw(text); }
  Seed& LongText(const std::string& text) { return Word(static_cast<uint16_t>(text.size())).Raw(text); }
  Seed& NoFault() { return Byte(0xFF).Byte(0); }
  Seed& Fault(uint8_t choice, uint8_t nth) { return Byte(choice).Byte(nth - 1); }
};

std::filesystem::path corpus;

void Write(const std::string& target, const std::string& name, const Seed& seed) {
  std::filesystem::create_directories(corpus / target);
  std::ofstream(corpus / target / name, std::ios::binary) << seed.bytes;
}

template <typename Bytes>
std::string Text(const Bytes& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

std::string Record(const std::string& source, DWORD time, std::vector<std::string> strings) {
  sim::EventRecord record;
  record.source = source;
  record.timeGenerated = time;
  record.strings = std::move(strings);
  return Text(sim::EventRecordBytes(record, 1));
}

void EventLogSeeds() {
  std::string ours = Record("Corvane", 86400 * 365, {"Replication started", "more"});
  Write("event_log", "empty", Seed().NoFault().Byte(0).Byte(0));
  Write("event_log", "one", Seed().NoFault().Byte(0).Byte(0).LongText(ours));
  Write("event_log", "mixed",
        Seed().NoFault().Byte(0).Byte(0).LongText(Record("EventLog", 5, {"x"})).LongText(ours).LongText(
            Record("Corvane", 0xFFFFFFFF, {})));
  Write("event_log", "shrinking", Seed().NoFault().Byte(3).Byte(2).LongText(ours).LongText(ours).LongText(ours));
  std::string large = Record("Corvane", 7, {std::string(3000, 'm')});
  Write("event_log", "large", Seed().Fault(1, 1).Byte(0).Byte(0).LongText(large));
  // Texts that run to the record's end, and a length beyond the bytes read.
  std::string cut = ours.substr(0, ours.size() - 8);
  std::string lying = ours;
  lying[0] = static_cast<char>(0xFF);
  Write("event_log", "damaged", Seed().NoFault().Byte(0).Byte(0).LongText(cut).LongText(lying));
}

void VersionSeeds() {
  VersionFields fields;
  Write("version_info", "complete", Seed().NoFault().Raw(Text(BuildVersionBlock(fields))));
  Write("version_info", "malloc_fails", Seed().Fault(0, 1).Raw(Text(BuildVersionBlock(fields))));
  VersionFields longText;
  longText.strings = {{"FileVersion", std::string(100, '7')}};
  Write("version_info", "long_text", Seed().NoFault().Raw(Text(BuildVersionBlock(longText))));
  VersionFields noFixed;
  noFixed.fixedInfo = false;
  Write("version_info", "no_fixed_info", Seed().NoFault().Raw(Text(BuildVersionBlock(noFixed))));
  VersionFields noTranslation;
  noTranslation.translations = {};
  Write("version_info", "no_translation", Seed().NoFault().Raw(Text(BuildVersionBlock(noTranslation))));
  VersionFields otherTable;
  otherTable.tableName = "040704e4";
  Write("version_info", "other_table", Seed().NoFault().Raw(Text(BuildVersionBlock(otherTable))));
}

void RegistrySeeds() {
  // Items: even choice bytes add a value, odd ones a key; choice >> 1 picks
  // the parent among the keys made so far (0 is the tree itself).
  auto value = [](Seed& seed, uint8_t parent, const std::string& name, uint8_t type, const std::string& data) {
    seed.Byte(static_cast<uint8_t>(parent << 1)).ShortText(name).Byte(type).LongText(data);
  };
  auto key = [](Seed& seed, uint8_t parent, const std::string& name) {
    seed.Byte(static_cast<uint8_t>(parent << 1 | 1)).ShortText(name);
  };
  Seed types = Seed().NoFault();
  value(types, 0, "Text", REG_SZ, std::string("C:\\Corvane", 11));
  value(types, 0, "Expand", REG_EXPAND_SZ, std::string("%SystemRoot%", 13));
  value(types, 0, "Number", REG_DWORD, std::string("\x2a\0\0\x80", 4));
  value(types, 0, "List", REG_MULTI_SZ, std::string("one\0two\0\0", 9));
  value(types, 0, "Blob", REG_BINARY, "\x01\x02");
  value(types, 0, "", REG_SZ, std::string("default", 8));
  key(types, 0, "Corvane");
  value(types, 1, "Version", REG_SZ, std::string("1.5", 4));
  key(types, 1, "1.5");
  value(types, 2, "InstallationDirectory", REG_SZ, std::string("C:\\Corvane", 11));
  Write("registry_dump", "every_type", types);

  Seed edges = Seed().NoFault();
  value(edges, 0, "Full", REG_SZ, std::string(260, 'f'));
  value(edges, 0, "Over", REG_SZ, std::string(261, 'o'));
  value(edges, 0, "Short", REG_DWORD, "\x07\x00");
  value(edges, 0, "Open", REG_MULTI_SZ, std::string(300, 'm'));
  value(edges, 0, std::string(255, 'n'), REG_SZ, "x");
  Write("registry_dump", "edges", edges);

  Seed deep = Seed().NoFault();
  for (uint8_t level = 0; level < 8; ++level) {
    key(deep, level, std::string(30, static_cast<char>('a' + level)));
    value(deep, static_cast<uint8_t>(level + 1), "v", REG_DWORD, "\x01\x00\x00\x00");
  }
  Write("registry_dump", "deep", deep);
}

void SilentModeSeeds() {
  const char* const lines[][2] = {
      {"quoted_switch", "\"C:\\Program Files\\Setup\\uninst.exe\" -a C:\\WINNT\\cvnunins.log"},
      {"plain_switch", "uninst.exe -A x"},
      {"switch_at_end", "uninst.exe -a "},
      {"quoted_argument", "uninst.exe \"-a x\" -ax"},
      {"unclosed_quote", "\"C:\\Program Files\\uninst.exe -a x"},
      {"no_arguments", "uninst.exe"},
  };
  for (const auto& line : lines) Write("silent_mode", line[0], Seed().Raw(line[1]));
}

void NameServerSeeds() {
  const uint8_t kNameServer = 1, kExpand = 2, kDhcp = 4, kQuiet = 8;
  Write("name_servers", "good", Seed().NoFault().Byte(kNameServer).LongText(std::string("10.20.30.40 127.0.0.1", 22)));
  Write("name_servers", "malformed",
        Seed().NoFault().Byte(kNameServer | kQuiet).LongText("1.2.3 localhost averyveryverylongname 127.0.0.1"));
  Write("name_servers", "dhcp", Seed().NoFault().Byte(kExpand | kDhcp).LongText("").Raw(std::string("10.20.30.40\0", 12)));
  Write("name_servers", "echo_fails",
        Seed().Fault(5, 2).Byte(kNameServer | kDhcp).LongText("127.0.0.1\t10.20.30.40").Raw("localhost"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s CORPUS_DIRECTORY\n", argv[0]);
    return 2;
  }
  corpus = argv[1];
  EventLogSeeds();
  VersionSeeds();
  RegistrySeeds();
  SilentModeSeeds();
  NameServerSeeds();
  return 0;
}
