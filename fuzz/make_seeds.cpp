// Writes the seed corpora of the fuzz targets: a few well-formed inputs and a
// few near misses each, in the layouts the targets read (see their files).
//   cvn_fuzz_seeds fuzz/corpus
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
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
  // Windows 2000: one record a read.
  Write("event_log", "one_a_read", Seed().NoFault().Byte(0).Byte(0x80).LongText(ours).LongText(ours));
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
  const uint8_t kWindows2000 = 0x80;  // with an adapter's own lists
  Write("name_servers", "adapters",
        Seed().Fault(11, 1).Byte(kNameServer | kWindows2000).LongText("10.0.0.9, 10.20.30.40").Raw("127.0.0.1,10.0.0.9"));
}

// Items of a generated tree (FuzzTree::Grow): kind in the low two bits
// (0 file, 1 directory, 2 junction, 3 file in use), the parent's index
// above them.
enum ItemKind : uint8_t { kFile = 0, kDirectory = 1, kJunction = 2, kFileInUse = 3 };
Seed& Item(Seed& seed, ItemKind kind, uint8_t parent, const std::string& name, uint8_t attributes = 0) {
  return seed.Byte(static_cast<uint8_t>(parent << 2 | kind)).ShortText(name).Byte(attributes);
}
Seed& Junction(Seed& seed, uint8_t parent, const std::string& name, uint8_t target) {
  return Item(seed, kJunction, parent, name).Byte(target);
}

void DeleteTreeSeeds() {
  // Directories: 0 C:\Data\Tree, 1 C:\Data\Sibling, 2 C:\Outside, 3 D:\Far,
  // then those the items make, in order.
  auto tree = [](Seed& seed) {
    Item(seed, kFile, 0, "a.txt");
    Item(seed, kFile, 0, "b.rpt", FILE_ATTRIBUTE_READONLY);
    Item(seed, kDirectory, 0, "sub");                 // 4
    Item(seed, kFile, 4, "c.rpt");
    Item(seed, kFileInUse, 4, "busy.rpt");
    Junction(seed, 0, "out", 2);                      // 5: out of the tree
    Junction(seed, 4, "loop", 0);                     // 6: back to its top
    Junction(seed, 0, "far", 3);                      // 7: another drive
    Item(seed, kFile, 2, "victim.rpt");
    Item(seed, kFile, 1, "victim.txt");
    Item(seed, kDirectory, 0, "hidden", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);  // 8
    Item(seed, kFile, 8, "d.txt", FILE_ATTRIBUTE_SYSTEM);
    return seed;
  };
  auto write = [&](const char* name, uint8_t directory, const std::string& suffix, const std::string& pattern,
                   uint8_t current = 0xFF) {
    Seed seed = Seed().NoFault().Byte(directory).ShortText(suffix).ShortText(pattern).Byte(current);
    Write("delete_tree", name, tree(seed));
  };
  write("everything", 0, "", "\\*.*");
  write("narrow_pattern", 0, "\\", "*.rpt");
  write("parent_pattern", 0, "", "\\..\\*.*");
  write("drive_root", 0xFF, "C:\\", "*.*");
  write("relative", 0xFF, "Data\\Tree", "\\*.*", 0xFE);
  write("through_junction", 5, "", "\\*.*");
  write("junction_loop", 6, "\\loop", "\\*.*");
  write("dotted", 0, "\\sub\\..\\..", "\\*.*");
  Seed failing = Seed().Fault(2, 1).Byte(0).ShortText("").ShortText("\\*.*").Byte(0xFF);
  Write("delete_tree", "delete_fails", tree(failing));
  // Past the faults: "sub" swapped for a junction just before the walk opens it.
  Seed swapped = Seed().Fault(9, 8).Byte(0).ShortText("").ShortText("\\*.*").Byte(4);
  Write("delete_tree", "swap_during_walk", tree(swapped));
  // Names as kept: bytes 1-6 stand for look-alikes and characters beyond the
  // code page ("\1\1\2keep.txt" is "．．＼keep.txt", "..\keep.txt" on 1252).
  Seed named = Seed().NoFault().Byte(0).ShortText("").ShortText("\\*.*").Byte(0xFF);
  Item(named, kFile, 0, "\x01\x01\x02keep.txt");
  Item(named, kDirectory, 0, "\x06\x06");           // 4
  Item(named, kFile, 4, "\x01\x01\x02\x01\x01\x02keep.txt", FILE_ATTRIBUTE_READONLY);
  Item(named, kFileInUse, 4, "\x04\x05\x03x.log");
  Write("delete_tree", "names_beyond_the_page", named);
}

void UninstallSeeds() {
  // Directories: 0 the installation directory, 1 databases, 2 journals,
  // 3 C:\Users, 4 C:\WINNT, 5 D:\, then those the items make.
  const uint8_t kSilent = 1, kKeyRemoved = 2, kAfterAbort = 4, kSharedControl = 8, kSwapped = 16;
  auto value = [](Seed& seed, uint8_t type, uint8_t base, const std::string& text) {
    seed.Byte(type).Byte(base).LongText(text);
  };
  auto tree = [](Seed& seed) {
    Item(seed, kFile, 0, "old.rpt");
    Item(seed, kFile, 0, "setup.isu");
    Item(seed, kDirectory, 0, "Logs");                // 6
    Item(seed, kFileInUse, 6, "today.log");
    Junction(seed, 6, "users", 3);                    // 7
    Junction(seed, 1, "loop", 1);                     // 8
    Item(seed, kDirectory, 1, "2026");                // 9
    Item(seed, kFile, 9, "db.dat", FILE_ATTRIBUTE_READONLY);
    Junction(seed, 2, "windows", 4);                  // 10
    Item(seed, kFile, 3, "mine.isu");
    return seed;
  };
  auto write = [&](const char* name, uint8_t flags, uint16_t answers, uint8_t installed, uint8_t behaviour,
                   const std::vector<std::pair<uint8_t, std::string>>& values) {
    Seed seed = Seed().NoFault().Byte(flags).Word(answers).Byte(installed).Byte(behaviour);
    for (size_t i = 0; i < 4; ++i) {
      if (i < values.size()) {
        value(seed, 1, values[i].first, values[i].second);
      } else {
        value(seed, 0, 0xFF, "");
      }
    }
    Write("uninstall", name, tree(seed));
  };
  write("attended_yes", 0, 0xFFFF, 0x1F, 0, {{0, ""}, {1, ""}, {2, ""}});
  write("attended_no", kKeyRemoved, 0, 0x1F, 0x1F, {{0, ""}, {1, ""}, {2, ""}});
  write("silent", kSilent | kKeyRemoved | kSharedControl, 0, 0x1F, 0x20, {{0, ""}, {1, ""}, {2, ""}});
  write("swap_between_hooks", kSilent | kKeyRemoved | kSwapped, 0, 0x1F, 0x20, {{0, ""}, {1, ""}, {2, ""}});
  write("never_stops", kAfterAbort, 0x0001, 0x01, 0xE0, {{0, ""}});
  write("no_backslash", kSharedControl, 0xFFFF, 0, 0, {{0xFF, "C:\\Program Files\\Corvane"}, {1, ""}});
  write("roots", 0, 0xFFFF, 0, 0, {{0xFF, "C:\\"}, {0xFF, "C:\\"}, {0xFF, "D:\\"}, {0xFF, "C:"}});
  write("parents", 0, 0xFFFF, 0, 0,
        {{0, "..\\..\\"}, {1, "\\.."}, {0xFF, ".."}, {0xFF, "C:\\Program Files\\Corvane\\Logs\\..\\..\\"}});
  write("relative", 0, 0xFFFF, 0, 0, {{0xFF, "Program Files\\Corvane\\"}, {0xFF, "Users"}, {0xFF, ""}});
  write("long", kSilent, 0xFFFF, 0, 0,
        {{0, std::string(300, 'x') + "\\"}, {1, std::string(250, 'y')}, {2, std::string(2, '\0') + "z"}});
  write("stash_elsewhere", kKeyRemoved, 0xFFFF, 0, 0,
        {{0xFF, ""}, {0xFF, ""}, {0xFF, ""}, {3, "\\"}});
  write("junction_dirs", 0, 0xFFFF, 0, 0, {{7, "\\"}, {8, ""}, {10, ""}});
  // Past the 15 faults, four choices a call: the process ended right after
  // the second MoveFileExA (the fifth call), Windows restarted, run again.
  const uint8_t kKillAfterMoveRestarted = 15 + 4 * 4 + 1 + 2;
  Seed killed = Seed().Fault(kKillAfterMoveRestarted, 2).Byte(kSilent | kKeyRemoved).Word(0).Byte(0x1F).Byte(0x20);
  for (int i = 0; i < 3; ++i) value(killed, 1, static_cast<uint8_t>(i), "");
  value(killed, 0, 0xFF, "");
  Write("uninstall", "killed_and_run_again", tree(killed));
  Seed odd = Seed().Fault(4, 1).Byte(0).Word(0xFFFF).Byte(0).Byte(0);
  value(odd, 3, 0, "");
  value(odd, 2, 1, "");
  value(odd, 7, 2, "");
  value(odd, 1, 0, "\xff\x01*?\"<>|");
  Write("uninstall", "odd_values", tree(odd));
  // Past the faults and the kills (4 x 15), three choices a group of 16
  // calls: a user plants look-alike names, swaps a product directory for a
  // junction, or makes a registry link, at that call of any kind.
  const uint8_t kUserActs = 15 + 4 * 15;
  const char* const kActs[] = {"user_plants_names_at_a_call", "user_swaps_a_directory_at_a_call",
                               "user_links_a_key_at_a_call"};
  for (uint8_t act = 0; act < 3; ++act) {
    Seed acting = Seed().Fault(static_cast<uint8_t>(kUserActs + 3 * 2 + act), 5).Byte(0).Word(0xFFFF).Byte(0x1F).Byte(0);
    for (int i = 0; i < 3; ++i) value(acting, 1, static_cast<uint8_t>(i), "");
    value(acting, 0, 0xFF, "");
    Seed grown = tree(acting);
    Item(grown, kFile, 6, "\x01\x01\x02victim.txt");
    Write("uninstall", kActs[act], grown);
  }
}

void CvncheckSeeds() {
  auto write = [](const char* name, uint8_t results, const std::vector<std::string>& arguments) {
    Seed seed = Seed().NoFault().Byte(results).Byte(static_cast<uint8_t>(arguments.size() + 1));
    for (const std::string& argument : arguments) seed.ShortText(argument);
    Write("cvncheck_args", name, seed);
  };
  write("none", 0, {});
  write("out_file", 0x25, {"-out", "C:\\Reports\\report.txt"});
  write("levels", 0x2A, {"-warnings", "-errors", "-eventlogs"});
  write("letter_case", 0x15, {"-WARNINGS", "-EventLogs", "-OUT", "C:\\Reports\\old.txt"});
  write("help", 0, {"-?"});
  write("help_slash", 0, {"-errors", "/?"});
  write("unknown", 0, {"-warning"});
  write("out_last", 0, {"-warnings", "-out"});
  write("out_long", 0, {"-out", "C:\\Reports\\" + std::string(250, 'r')});
  write("out_directory", 0, {"-out", "C:\\Reports"});
  write("out_twice", 0x02, {"-out", "C:\\Reports\\a.txt", "-out", "report.txt", "-errors"});
  write("empty_argument", 0, {""});
  Write("cvncheck_args", "out_fails", Seed().Fault(0, 1).Byte(0).Byte(3).ShortText("-out").ShortText("C:\\r.txt"));
}

void ValidateSeeds() {
  const uint8_t kExamine = 1, kNoList = 2, kNoFile = 0x0C, kDirectoryFile = 0x04, kOtherModule = 0x20;
  auto write = [](const char* name, uint8_t flags, uint8_t level, uint8_t results, const std::string& pings,
                  const std::string& list) {
    Write("validate_targets", name,
          Seed().NoFault().Byte(flags).Byte(level).Byte(results).ShortText(pings).Raw(list));
  };
  write("alpha_beta", kExamine, 0, 0, std::string("\0\1", 2), "alpha beta");
  write("both_ending", kExamine | 0x10, 1, 0x12, std::string("\1\0", 2), "alpha beta ");
  write("all_answer", kExamine, 2, 0, std::string("\0\0\0", 3), "a b c ");
  write("long_name", kExamine, 0, 0, "", std::string(127, 'h') + " " + std::string(128, 'i') + " ");
  write("blanks", kExamine, 0, 0, "\2\2\2", "   ");
  write("no_list", kExamine | kNoList, 0, 0, "", "");
  write("not_asked", 0, 0, 0x21, "", "alpha beta ");
  write("no_file", kExamine | kNoFile, 0, 0, "", "alpha ");
  write("directory_file", kExamine | kDirectoryFile, 0, 0, "", "alpha ");
  write("other_module", kExamine | kOtherModule, 0, 0, "\1", "127.0.0.1 ");
  Write("validate_targets", "report_fails", Seed().Fault(3, 1).Byte(kExamine).Byte(0).Byte(0).ShortText("\1\1").Raw("a b "));
}

void OsVersionSeeds() {
  auto write = [](const char* name, Seed seed, uint8_t platform, uint8_t major, uint8_t minor, uint16_t build,
                  uint8_t level, uint8_t windowsLength, const std::string& productType, const std::string& csd) {
    seed.Byte(platform).Byte(major).Byte(minor).Word(build).Byte(level).Byte(windowsLength);
    seed.Byte(REG_SZ).ShortText(productType + std::string(1, '\0')).Raw(csd);
    Write("os_version", name, seed);
  };
  write("nt4_sp3_server", Seed().NoFault(), 2, 4, 0, 1381, 0, 0, "ServerNT", "Service Pack 3");
  write("nt4_sp3_level1", Seed().NoFault(), 2, 4, 0, 1381, 1, 0, "WinNT", "Service Pack 3");
  write("nt4_sp6a", Seed().NoFault(), 2, 4, 0, 1381, 0, 0, "LanmanNT", "Service Pack 6a");
  write("nt4_no_csd", Seed().NoFault(), 2, 4, 0, 1381, 0, 0, "WinNT", "");
  write("nt351_sp5", Seed().NoFault(), 2, 3, 51, 1057, 0, 0, "WinNT", "Service Pack 5");
  write("nt351_sp4", Seed().NoFault(), 2, 3, 51, 1057, 2, 0, "WinNT", "Service Pack 4");
  write("nt350", Seed().NoFault(), 2, 3, 50, 807, 0, 0, "WinNT", "");
  write("nt5", Seed().NoFault(), 2, 5, 0, 2195, 0, 0, "WinNT", "Service Pack 1");
  write("not_nt", Seed().NoFault(), 1, 4, 10, 1998, 0, 0, "", "A");
  write("signed_number", Seed().NoFault(), 2, 4, 0, 1381, 0, 0, "", "Service Pack \t-99999999999999999999");
  write("full_csd", Seed().NoFault(), 2, 6, 0, 1, 0, 0, "", "Service Pack " + std::string(200, '9'));
  write("long_windows", Seed().NoFault(), 2, 4, 0, 1381, 4, 0xFF, "", "Service Pack 3");
  write("version_fails", Seed().Fault(0, 1), 2, 4, 0, 1381, 0, 0, "", "Service Pack 3");
  write("windows_fails", Seed().Fault(1, 1), 2, 3, 51, 1057, 0, 0, "", "Service Pack 4");
  write("windows10", Seed().NoFault(), 2, 10, 0, 19045, 0, 0, "LanmanNT", "");
  write("windows81_truth_fails", Seed().Fault(6, 1), 2, 6, 3, 9600, 0, 0, "WinNT", "");
}

void ConfiguredValuesSeeds() {
  // Starts: 0 none, 1 C:\Corvane (exists), 2 C:\Corvane\readme.txt (a
  // file), 3 C:\Gone (missing).
  auto write = [](const char* name, uint8_t level, const std::vector<std::tuple<uint8_t, uint8_t, std::string>>& paths,
                  const std::vector<std::tuple<uint8_t, uint8_t, std::string>>& products) {
    Seed seed = Seed().NoFault().Byte(level);
    for (const auto& path : paths) seed.Byte(std::get<0>(path)).Byte(std::get<1>(path)).LongText(std::get<2>(path));
    for (size_t i = paths.size(); i < 4; ++i) seed.Byte(0).Byte(0).LongText("");
    for (const auto& product : products)
      seed.Byte(std::get<0>(product)).Byte(std::get<1>(product)).ShortText(std::get<2>(product));
    Write("configured_values", name, seed);
  };
  const std::string disabled("\4\0\0\0", 4), automatic("\2\0\0\0", 4), manual("\3\0\0\0", 4);
  write("all_present", 0, {{1, 1, "\\"}, {1, 1, ""}, {2, 2, ""}, {1, 1, "\\."}}, {});
  write("missing_paths", 1, {{1, 1, "\\"}, {0, 0, ""}, {1, 3, ""}, {3, 3, "\\x"}}, {});
  write("odd_types", 0, {{1, 0, "C:\\"}, {4, 1, ""}, {2, 0, "%SystemRoot%"}, {7, 1, std::string("a\0b", 3)}}, {});
  write("long_path", 2, {{1, 1, "\\" + std::string(400, 'p')}, {1, 0, ""}, {1, 2, "\\"}}, {});
  write("products", 0, {}, {{1, REG_DWORD, disabled}, {1, REG_DWORD, automatic}, {1, REG_DWORD, manual}, {1, REG_DWORD, disabled}});
  write("products_enabled", 0, {{0, 0, ""}},
        {{1, REG_DWORD, automatic}, {1, REG_DWORD, disabled}, {3, REG_DWORD, automatic}, {1, REG_DWORD, manual}});
  write("odd_starts", 0, {{1, 1, ""}},
        {{1, REG_DWORD, "\4\0"}, {1, REG_BINARY, disabled}, {1, REG_DWORD, disabled + disabled}, {1, 0, ""}});
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
  DeleteTreeSeeds();
  UninstallSeeds();
  CvncheckSeeds();
  ValidateSeeds();
  OsVersionSeeds();
  ConfiguredValuesSeeds();
  return 0;
}
