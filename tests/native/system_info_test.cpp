// The processor, Windows directory and memory lines, and the drive table.
#include <cstdint>
#include <string>
#include <vector>

#include "check_fixture.h"
#include "system_checks.h"

namespace {

using Strings = std::vector<std::string>;

const char kIntel[] = "       System - Intel (or compatible) processor(s)\n";
const char kOneProcessor[] = "               Number of processor(s): 1\n";
const char kTypeOf[] = "               Type of processor(s): ";
const char kDriveHeader[] = "       Drive   Total   Avail   Type\n          Mb       Mb\n";
const char kNoNtfs[] =
    "       This system does not have an NTFS partition,\n  therefore it can not be configured to be "
    "a Target\n     Server. It can be fully functional Source Server.\n";

std::string DriveLine(const std::string& root, int total, int free, const std::string& fs) {
  return "       " + root + "      " + std::to_string(total) + "      " + std::to_string(free) +
         "      $" + fs + "\n";
}

std::string TooLittleSpace(int largest) {
  return "       Corvane service requires 50 Mb free disk space,\n      this system only has " +
         std::to_string(largest) + ". The Corvane Target Service\n  cannot be installed on it.\n";
}

sim::Drive Fixed(const std::string& fileSystem, DWORD bytesPerSector, DWORD sectorsPerCluster,
                 DWORD totalClusters, DWORD freeClusters) {
  sim::Drive drive;
  drive.fileSystem = fileSystem;
  drive.bytesPerSector = bytesPerSector;
  drive.sectorsPerCluster = sectorsPerCluster;
  drive.totalClusters = totalClusters;
  drive.freeClusters = freeClusters;
  return drive;
}

class SystemInfoTest : public CheckTest {
 protected:
  void SetProcessorLevel(WORD level) {
    sim::Processors processors;
    processors.level = level;
    sim::SetProcessors(processors);
  }
  // The processor line's name entry: the fourth entry of the section.
  std::string ProcessorName() {
    Strings entries = Entries();
    return entries.size() > 3 ? entries[3] : "<none>";
  }
};

TEST_F(SystemInfoTest, PentiumMachineShowsEveryLineAndFindsNothing) {
  EXPECT_EQ(CheckSystemInfo(REPORT_ALL), SEV_INFORMATION);
  EXPECT_EQ(Entries(), (Strings{kIntel, kOneProcessor, kTypeOf, "Pentium", "\n",
                                "       Windows Directory path: C:\\WINNT\n",
                                "       Total physical Memory 64 Mb\n",
                                "       Free physical memory 20 Mb\n",
                                "       Total page file size 100 Mb\n", "       Free page file 70 Mb\n"}));
  EXPECT_STREQ(WindowsDirectory, "C:\\WINNT");
  EXPECT_EQ(WarningCount, 0u);
  EXPECT_EQ(ErrorCount, 0u);
  EXPECT_EQ(sim::HeapBlocks(), 1);  // the pending report alone
}

TEST_F(SystemInfoTest, ProcessorGenerationsByLevel) {
  const std::pair<WORD, const char*> names[] = {{4, "80486"}, {5, "Pentium"}, {6, "Pentium Pro"}};
  for (const auto& name : names) {
    ReportDiscard();
    SetProcessorLevel(name.first);
    EXPECT_EQ(CheckSystemInfo(REPORT_ALL), SEV_INFORMATION) << name.first;
    EXPECT_EQ(ProcessorName(), name.second);
  }
  EXPECT_EQ(WarningCount + ErrorCount, 0u);
}

TEST_F(SystemInfoTest, An80386CountsOneErrorAndTheSectionGoesOn) {
  SetProcessorLevel(3);
  EXPECT_EQ(CheckSystemInfo(REPORT_ERRORS), SEV_ERROR);
  EXPECT_EQ(ProcessorName(), "80386 - This processor is not supported.");
  EXPECT_EQ(Entries().size(), 10u);
  EXPECT_EQ(Entries()[5], "       Windows Directory path: C:\\WINNT\n");
  EXPECT_EQ(ErrorCount, 1u);
  EXPECT_EQ(WarningCount, 0u);
}

TEST_F(SystemInfoTest, UnknownLevelsContinueTheLineWithAWarning) {
  for (WORD level : {0, 2}) {
    ReportDiscard();
    SetProcessorLevel(level);
    EXPECT_EQ(CheckSystemInfo(REPORT_WARNINGS), SEV_WARNING) << level;
    EXPECT_EQ(ProcessorName(), "Unknown.\n     Unknown Processor type \"" + std::to_string(level) +
                                   "\" may not supported.\n      Contact Velmora Software for "
                                   "updated status.");
    EXPECT_EQ(Entries()[4], "\n");
  }
  EXPECT_EQ(WarningCount, 2u);
  EXPECT_EQ(ErrorCount, 0u);
}

TEST_F(SystemInfoTest, LevelsAboveSixAreLaterGenerationsNamedLikeTheNewest) {
  // Pentium 4, a level just above, today's AMD processors, the largest level.
  for (WORD level : {15, 7, 23, 25, 65535}) {
    ReportDiscard();
    SetProcessorLevel(level);
    EXPECT_EQ(CheckSystemInfo(REPORT_WARNINGS), SEV_INFORMATION) << level;
    EXPECT_EQ(ProcessorName(), "Pentium Pro") << level;
  }
  EXPECT_EQ(WarningCount + ErrorCount, 0u);
}

TEST_F(SystemInfoTest, OtherArchitectureAddsOnlyItsErrorAndLeavesTheDirectoryAlone) {
  sim::Processors alpha;
  alpha.architecture = PROCESSOR_ARCHITECTURE_ALPHA;
  sim::SetProcessors(alpha);
  std::strcpy(WindowsDirectory, "D:\\EARLIER");
  EXPECT_EQ(CheckSystemInfo(REPORT_ALL), SEV_ERROR);
  EXPECT_EQ(Entries(), (Strings{"This processor architecture not currently supported.\n Contact "
                                "Velmora Software for updated status.\n"}));
  EXPECT_STREQ(WindowsDirectory, "D:\\EARLIER");
  EXPECT_EQ(sim::CallCount("GetWindowsDirectoryA"), 0);
  EXPECT_EQ(sim::CallCount("GlobalMemoryStatus"), 0);
  EXPECT_EQ(ErrorCount, 1u);
}

TEST_F(SystemInfoTest, WindowsDirectoryUnavailableWarnsInPlaceOfThePath) {
  sim::FailCall("GetWindowsDirectoryA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(CheckSystemInfo(REPORT_ALL), SEV_WARNING);
  Strings entries = Entries();
  ASSERT_EQ(entries.size(), 10u);
  EXPECT_EQ(entries[5], " Unable to get Windows Directory.\n");
  EXPECT_EQ(entries[6], "       Total physical Memory 64 Mb\n");
  EXPECT_EQ(WarningCount, 1u);

  // With an 80386 as well the error stays the result; both are counted.
  ReportDiscard();
  SetProcessorLevel(3);
  sim::FailCall("GetWindowsDirectoryA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(CheckSystemInfo(REPORT_ALL), SEV_ERROR);
  EXPECT_EQ(WarningCount, 2u);
  EXPECT_EQ(ErrorCount, 1u);
}

TEST_F(SystemInfoTest, WindowsDirectoryIsRefilled) {
  std::strcpy(WindowsDirectory, "D:\\EARLIER");
  sim::SetWindowsDirectory("E:\\WINNT40");
  CheckSystemInfo(REPORT_ALL);
  EXPECT_STREQ(WindowsDirectory, "E:\\WINNT40");
  EXPECT_EQ(Entries()[5], "       Windows Directory path: E:\\WINNT40\n");
}

TEST_F(SystemInfoTest, MemoryIsDividedBy1048567) {
  sim::Memory memory;
  memory.totalPhys = 4294967295u;
  memory.availPhys = 67108864u;
  memory.totalPageFile = 1048567u;
  memory.availPageFile = 1048566u;
  sim::SetMemory(memory);
  sim::Processors two;
  two.count = 2;
  sim::SetProcessors(two);
  CheckSystemInfo(REPORT_ALL);
  Strings entries = Entries();
  ASSERT_EQ(entries.size(), 10u);
  EXPECT_EQ(entries[1], "               Number of processor(s): 2\n");
  EXPECT_EQ(entries[6], "       Total physical Memory 4096 Mb\n");
  EXPECT_EQ(entries[7], "       Free physical memory 64 Mb\n");
  EXPECT_EQ(entries[8], "       Total page file size 1 Mb\n");
  EXPECT_EQ(entries[9], "       Free page file 0 Mb\n");
}

void SetVersion(DWORD major, DWORD minor, DWORD build) {
  sim::OsVersion version;
  version.major = major;
  version.minor = minor;
  version.build = build;
  version.csd = "";
  sim::SetOsVersion(version);
}

struct Posture {
  const char* name;
  DWORD major, minor, build;
};
const Posture kNt351{"NT 3.51", 3, 51, 1057}, kNt4{"NT 4.0", 4, 0, 1381}, k2000{"2000", 5, 0, 2195},
    kXp{"XP", 5, 1, 2600}, k10{"10", 10, 0, 19045};

// The four memory lines: entries 6 to 9.
Strings MemoryLines(int total, int free, int pageTotal, int pageFree) {
  return {"       Total physical Memory " + std::to_string(total) + " Mb\n",
          "       Free physical memory " + std::to_string(free) + " Mb\n",
          "       Total page file size " + std::to_string(pageTotal) + " Mb\n",
          "       Free page file " + std::to_string(pageFree) + " Mb\n"};
}

Strings MemoryShown(const Strings& entries) {
  return entries.size() == 10 ? Strings(entries.begin() + 6, entries.end()) : entries;
}

// 24 Gb of memory, 20 free, a page file of 1 Tb with 5 Gb free.
sim::Memory MachineOfToday() {
  sim::Memory memory;
  memory.totalPhys = 24ull << 30;
  memory.availPhys = 20ull << 30;
  memory.totalPageFile = 1ull << 40;
  memory.availPageFile = 5ull << 30;
  return memory;
}

TEST_F(SystemInfoTest, MemoryBeyondFourGbIsShownWholeFromWindows2000On) {
  // Divided by 1,048,567: 24 Gb is 24576 Mb, 1 Tb 1048585.
  sim::SetMemory(MachineOfToday());
  for (const Posture& posture : {k2000, kXp, k10}) {
    ReportDiscard();
    SetVersion(posture.major, posture.minor, posture.build);
    EXPECT_EQ(CheckSystemInfo(REPORT_ALL), SEV_INFORMATION) << posture.name;
    EXPECT_EQ(MemoryShown(Entries()), MemoryLines(24576, 20480, 1048585, 5120)) << posture.name;
  }
  EXPECT_EQ(sim::CallCount("GlobalMemoryStatus"), 0);
}

TEST_F(SystemInfoTest, WindowsNtBefore2000KeepsItsThirtyTwoBitFigures) {
  // NT 3.51 and 4.0 have no 64-bit figures: the low 32 bits of 5 Gb are 1 Gb.
  sim::Memory memory = MachineOfToday();
  memory.totalPhys = 5ull << 30;
  memory.availPhys = 4ull << 30;
  sim::SetMemory(memory);
  for (const Posture& posture : {kNt351, kNt4}) {
    ReportDiscard();
    SetVersion(posture.major, posture.minor, posture.build);
    CheckSystemInfo(REPORT_ALL);
    EXPECT_EQ(MemoryShown(Entries()), MemoryLines(1024, 0, 0, 1024)) << posture.name;
  }
  EXPECT_EQ(sim::CallCount("GlobalMemoryStatusEx"), 0);
}

TEST_F(SystemInfoTest, FailedSixtyFourBitFiguresFallBackToTheThirtyTwoBitOnes) {
  // Windows 10 gives a program that is not large-address-aware at most 2 Gb.
  sim::SetMemory(MachineOfToday());
  SetVersion(k10.major, k10.minor, k10.build);
  sim::FailCall("GlobalMemoryStatusEx", ERROR_INVALID_PARAMETER);
  CheckSystemInfo(REPORT_ALL);
  EXPECT_EQ(MemoryShown(Entries()), MemoryLines(2048, 2048, 2048, 2048));
  ReportDiscard();
  // The first look-up is the processor count's.
  sim::FailCall("GetProcAddress", ERROR_PROC_NOT_FOUND, 2);
  CheckSystemInfo(REPORT_ALL);
  EXPECT_EQ(MemoryShown(Entries()), MemoryLines(2048, 2048, 2048, 2048));
  EXPECT_EQ(sim::CallCount("GlobalMemoryStatus"), 2);
}

// A 32-bit process on a 64-bit server of `threads` logical processors.
void SetServer(DWORD threads) {
  sim::Processors processors;
  processors.count = threads;
  processors.wow64 = true;
  sim::SetProcessors(processors);
}

std::string ProcessorCountLine(int count) {
  return "               Number of processor(s): " + std::to_string(count) + "\n";
}

TEST_F(SystemInfoTest, ServersShowTheMachinesProcessorsWhereTheSystemCanTellThem) {
  struct Seen {
    DWORD threads;
    Posture system;
    int shown;
  };
  // Windows XP tells the process's group (Server 2003 runs on 64 at most),
  // Windows 7 on every group; the 32-bit view alone stops at 32.
  const Seen seen[] = {{48, kXp, 48}, {128, kXp, 64}, {48, k10, 48}, {128, k10, 128}};
  for (const Seen& s : seen) {
    ReportDiscard();
    SetServer(s.threads);
    SetVersion(s.system.major, s.system.minor, s.system.build);
    EXPECT_EQ(CheckSystemInfo(REPORT_ALL), SEV_INFORMATION) << s.threads << " " << s.system.name;
    Strings entries = Entries();
    ASSERT_GT(entries.size(), 1u);
    EXPECT_EQ(entries[0], kIntel) << s.system.name;
    EXPECT_EQ(entries[1], ProcessorCountLine(s.shown)) << s.threads << " " << s.system.name;
  }
}

TEST_F(SystemInfoTest, ProcessorCountFallsBackCallByCallToTheThirtyTwoBitView) {
  SetServer(128);
  SetVersion(k10.major, k10.minor, k10.build);
  sim::FailCall("GetActiveProcessorCount", ERROR_INVALID_PARAMETER);
  CheckSystemInfo(REPORT_ALL);
  EXPECT_EQ(Entries().at(1), ProcessorCountLine(64));
  ReportDiscard();
  sim::FailCall("GetProcAddress", ERROR_PROC_NOT_FOUND, 1, 2);
  CheckSystemInfo(REPORT_ALL);
  EXPECT_EQ(Entries().at(1), ProcessorCountLine(32));
}

TEST_F(SystemInfoTest, NtBeforeXpAsksNoLaterCallForItsProcessors) {
  sim::Processors processors;
  processors.count = 4;
  sim::SetProcessors(processors);
  for (const Posture& posture : {kNt351, kNt4, k2000}) {
    ReportDiscard();
    SetVersion(posture.major, posture.minor, posture.build);
    CheckSystemInfo(REPORT_ALL);
    EXPECT_EQ(Entries().at(1), ProcessorCountLine(4)) << posture.name;
  }
  EXPECT_EQ(sim::CallCount("GetNativeSystemInfo") + sim::CallCount("GetActiveProcessorCount"), 0);
}

TEST_F(SystemInfoTest, MemoryFiguresStopAtTheLargestTheReportPrints) {
  // 2^31 - 1 Mb of 1,048,567 bytes is the largest; 2^64 - 1 bytes is far beyond.
  sim::Memory memory;
  memory.totalPhys = ~0ull;
  memory.availPhys = 2147483647ull * 1048567;
  memory.totalPageFile = 2147483648ull * 1048567;
  memory.availPageFile = 2147483647ull * 1048567 - 1;
  sim::SetMemory(memory);
  SetVersion(k10.major, k10.minor, k10.build);
  CheckSystemInfo(REPORT_ALL);
  EXPECT_EQ(MemoryShown(Entries()), MemoryLines(2147483647, 2147483647, 2147483647, 2147483646));
}

class DrivesTest : public CheckTest {
 protected:
  void SetUp() override {
    CheckTest::SetUp();
    sim::RemoveAllDrives();
  }
};

TEST_F(DrivesTest, OneGbDriveWithExactlyFiftyMbFreeMeetsTheRule) {
  sim::SetDrive('C', Fixed("NTFS", 512, 8, 262144, 12800));
  EXPECT_EQ(CheckDrives(REPORT_ALL), SEV_INFORMATION);
  EXPECT_EQ(Entries(), (Strings{kDriveHeader, DriveLine("C:\\", 1024, 50, "NTFS")}));
  EXPECT_EQ(ErrorCount, 0u);
  EXPECT_EQ(sim::HeapBlocks(), 1);  // the drive list is released
}

TEST_F(DrivesTest, SmallClustersRoundFreeSpaceDownToNothing) {
  // unit 512 / 32 = 16; 1000 / 32 = 31; 31 * 16 / 1024 = 0.
  sim::SetDrive('C', Fixed("NTFS", 512, 1, 2097152, 1000));
  EXPECT_EQ(CheckDrives(REPORT_ALL), SEV_ERROR);
  EXPECT_EQ(Entries(), (Strings{kDriveHeader, DriveLine("C:\\", 1024, 0, "NTFS"), TooLittleSpace(0)}));
  EXPECT_EQ(ErrorCount, 1u);
}

TEST_F(DrivesTest, NoFixedDriveAtAll) {
  sim::Drive floppy = Fixed("FAT", 512, 1, 2880, 2000);
  floppy.type = DRIVE_REMOVABLE;
  sim::Drive network = Fixed("NTFS", 512, 8, 2621440, 1310720);
  network.type = DRIVE_REMOTE;
  sim::Drive ram = network;
  ram.type = DRIVE_RAMDISK;
  sim::Drive cd = Fixed("CDFS", 2048, 1, 300000, 0);
  cd.type = DRIVE_CDROM;
  sim::SetDrive('A', floppy);
  sim::SetDrive('D', cd);
  sim::SetDrive('F', network);
  sim::SetDrive('R', ram);
  EXPECT_EQ(CheckDrives(REPORT_ALL), SEV_ERROR);
  EXPECT_EQ(Entries(), (Strings{kDriveHeader, TooLittleSpace(0)}));
  EXPECT_EQ(ErrorCount, 1u);
  EXPECT_EQ(sim::CallCount("GetVolumeInformationA"), 0);
}

TEST_F(DrivesTest, LargestFreeSpaceCountsAndAnNtfsDriveSparesTheNote) {
  sim::SetDrive('C', Fixed("FAT", 512, 64, 64000, 16000));  // 2000 Mb, 500 free
  sim::SetDrive('E', Fixed("NTFS", 512, 8, 81920, 2560));   // 320 Mb, 10 free
  EXPECT_EQ(CheckDrives(REPORT_ALL), SEV_INFORMATION);
  EXPECT_EQ(Entries(), (Strings{kDriveHeader, DriveLine("C:\\", 2000, 500, "FAT"),
                                DriveLine("E:\\", 320, 10, "NTFS")}));
  EXPECT_EQ(ErrorCount, 0u);
}

TEST_F(DrivesTest, WithoutNtfsTheNoteFollowsTheTable) {
  sim::SetDrive('C', Fixed("FAT", 512, 64, 64000, 16000));
  EXPECT_EQ(CheckDrives(REPORT_ALL), SEV_INFORMATION);
  EXPECT_EQ(Entries(), (Strings{kDriveHeader, DriveLine("C:\\", 2000, 500, "FAT"), kNoNtfs}));
}

TEST_F(DrivesTest, TooLittleSpaceLeavesOutTheNtfsNote) {
  sim::SetDrive('C', Fixed("FAT", 512, 64, 64000, 1568));  // 49 Mb free
  EXPECT_EQ(CheckDrives(REPORT_ALL), SEV_ERROR);
  EXPECT_EQ(Entries(), (Strings{kDriveHeader, DriveLine("C:\\", 2000, 49, "FAT"), TooLittleSpace(49)}));
}

TEST_F(DrivesTest, NtfsDriveWithUnreadableClustersIsNotListedButSparesTheNote) {
  sim::Drive ntfs = Fixed("NTFS", 512, 8, 262144, 131072);
  ntfs.spaceError = ERROR_ACCESS_DENIED;
  sim::SetDrive('C', Fixed("FAT", 512, 64, 64000, 16000));
  sim::SetDrive('E', ntfs);
  EXPECT_EQ(CheckDrives(REPORT_ALL), SEV_INFORMATION);
  EXPECT_EQ(Entries(), (Strings{kDriveHeader, DriveLine("C:\\", 2000, 500, "FAT")}));
}

TEST_F(DrivesTest, UnreadableVolumeShowsTheDollarAlone) {
  sim::Drive drive = Fixed("NTFS", 512, 8, 262144, 131072);
  drive.volumeError = ERROR_ACCESS_DENIED;
  sim::SetDrive('C', drive);
  EXPECT_EQ(CheckDrives(REPORT_ALL), SEV_INFORMATION);
  EXPECT_EQ(Entries(), (Strings{kDriveHeader, DriveLine("C:\\", 1024, 512, ""), kNoNtfs}));
}

TEST_F(DrivesTest, FileSystemNameMustBeNtfsExactly) {
  sim::SetDrive('C', Fixed("ntfs", 512, 8, 262144, 131072));
  EXPECT_EQ(CheckDrives(REPORT_ALL), SEV_INFORMATION);
  EXPECT_EQ(Entries().back(), kNoNtfs);
}

TEST_F(DrivesTest, DriveListUnavailable) {
  sim::SetDrive('C', Fixed("NTFS", 512, 8, 262144, 131072));
  const std::string failed = std::string(kDriveHeader) + "       Failed to get list of valid drives.\n";
  // The size query, the allocation, then the list itself. The report keeps
  // its entries, so the only allocation left is the list's.
  sim::FailCall("GetLogicalDriveStringsA", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(CheckDrives(REPORT_ALL), SEV_ERROR);
  EXPECT_EQ(Text(), failed);
  sim::FailCall("malloc", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(CheckDrives(REPORT_ALL), SEV_ERROR);
  EXPECT_EQ(Text(), failed + failed);
  sim::FailCall("GetLogicalDriveStringsA", ERROR_NOT_ENOUGH_MEMORY, 2);
  EXPECT_EQ(CheckDrives(REPORT_ALL), SEV_ERROR);
  EXPECT_EQ(Text(), failed + failed + failed);
  EXPECT_EQ(sim::CallCount("GetLogicalDriveStringsA"), 4);
  EXPECT_EQ(sim::CallCount("GetDriveTypeA"), 0);
  EXPECT_EQ(ErrorCount, 3u);
  EXPECT_EQ(sim::HeapBlocks(), 1);
}

TEST_F(DrivesTest, ListThatGrewAfterTheSizeQueryIsNotReadUnwritten) {
  sim::SetDrive('C', Fixed("NTFS", 512, 8, 262144, 131072));
  sim::ConnectDriveAfterNextListing('F', Fixed("NTFS", 512, 8, 262144, 131072));
  EXPECT_EQ(CheckDrives(REPORT_ALL), SEV_ERROR);
  EXPECT_EQ(Text(), std::string(kDriveHeader) + "       Failed to get list of valid drives.\n");
  EXPECT_EQ(sim::CallCount("GetDriveTypeA"), 0);
  EXPECT_EQ(sim::HeapBlocks(), 1);
}

TEST_F(DrivesTest, LevelIsNotConsulted) {
  sim::SetDrive('C', Fixed("FAT", 512, 64, 64000, 16000));
  CheckDrives(REPORT_ALL);
  Strings atLevel0 = Entries();
  ReportDiscard();
  CheckDrives(REPORT_ERRORS);
  EXPECT_EQ(Entries(), atLevel0);
}

// The sizes the 32-bit signed figures give, dividing in the same order.
int32_t Mb32(uint32_t clusters, uint32_t bytesPerSector, uint32_t sectorsPerCluster) {
  int32_t unit = static_cast<int32_t>(bytesPerSector * sectorsPerCluster) / 32;
  return static_cast<int32_t>(clusters / 32) * unit / 1024;
}

TEST_F(DrivesTest, VolumesBelowTwoTbShowWhat32BitFiguresShow) {
  struct Geometry {
    DWORD bytesPerSector, sectorsPerCluster, totalClusters, freeClusters;
  };
  const Geometry geometries[] = {
      {512, 1, 4194303, 4194303},      {512, 4, 1000003, 77},         {512, 8, 536870911, 12345679},
      {512, 16, 268435455, 268435455}, {512, 128, 33554431, 1048607}, {4096, 16, 33554431, 33554431},
      {2048, 1, 96, 31},               {512, 8, 536870880, 536870880},
  };
  for (const Geometry& g : geometries) {
    ReportDiscard();
    sim::SetDrive('C', Fixed("NTFS", g.bytesPerSector, g.sectorsPerCluster, g.totalClusters,
                             g.freeClusters));
    CheckDrives(REPORT_ALL);
    EXPECT_EQ(Entries()[1],
              DriveLine("C:\\", Mb32(g.totalClusters, g.bytesPerSector, g.sectorsPerCluster),
                        Mb32(g.freeClusters, g.bytesPerSector, g.sectorsPerCluster), "NTFS"))
        << g.totalClusters << " clusters of " << g.bytesPerSector * g.sectorsPerCluster;
  }
  // The largest volume the 32-bit figures hold: 16,777,215 units of 128, just below 2 Tb.
  EXPECT_EQ(Mb32(536870880, 512, 8), 2097151);
}

TEST_F(DrivesTest, VolumesOfTwoTbAndMoreShowTheirTrueSize) {
  // 4 Kb clusters: 2 Tb is 536,870,912 clusters; the 32-bit product would overflow.
  sim::SetDrive('C', Fixed("NTFS", 512, 8, 536870912, 536870912));
  // 64 Kb clusters, every cluster count the system can give: 256 Tb.
  sim::SetDrive('E', Fixed("NTFS", 512, 128, 0xFFFFFFFFu, 0xFFFFFFC0u));
  // 4 Kb clusters, 16 Tb, 3 Tb free.
  sim::SetDrive('F', Fixed("NTFS", 512, 8, 0xFFFFFFFFu, 805306368));
  EXPECT_EQ(CheckDrives(REPORT_ALL), SEV_INFORMATION);
  EXPECT_EQ(Entries(), (Strings{kDriveHeader, DriveLine("C:\\", 2097152, 2097152, "NTFS"),
                                DriveLine("E:\\", 268435454, 268435452, "NTFS"),
                                DriveLine("F:\\", 16777215, 3145728, "NTFS")}));
}

// 4 Kb clusters: 17 Tb; 64 Tb; 16 Tb and 40 Mb (10240 clusters over 2^32),
// all of it free.
const ULONGLONG k17Tb = 17ull << 28, k64Tb = 1ull << 34, k16TbAnd40Mb = (1ull << 32) + 10240;

void SetLargeDrives() {
  sim::Drive drive = Fixed("NTFS", 512, 8, 0, 0);
  drive.totalClusters = k17Tb;
  drive.freeClusters = 1ull << 28;  // 1 Tb
  sim::SetDrive('E', drive);
  drive.totalClusters = drive.freeClusters = k64Tb;
  sim::SetDrive('F', drive);
  drive.totalClusters = drive.freeClusters = k16TbAnd40Mb;
  sim::SetDrive('G', drive);
}

TEST_F(DrivesTest, DrivesBeyondTwoToTheThirtyTwoClustersShowTheirTrueSizeFromNt4On) {
  SetLargeDrives();
  for (const Posture& posture : {kNt4, k2000, kXp, k10}) {
    ReportDiscard();
    SetVersion(posture.major, posture.minor, posture.build);
    EXPECT_EQ(CheckDrives(REPORT_ALL), SEV_INFORMATION) << posture.name;
    EXPECT_EQ(Entries(), (Strings{kDriveHeader, DriveLine("E:\\", 17825792, 1048576, "NTFS"),
                                  DriveLine("F:\\", 67108864, 67108864, "NTFS"),
                                  DriveLine("G:\\", 16777256, 16777256, "NTFS")}))
        << posture.name;
  }
  EXPECT_EQ(ErrorCount, 0u);
}

TEST_F(DrivesTest, WithoutByteCountsNt351SeesTheLowThirtyTwoBitsOfTheCounts) {
  SetLargeDrives();
  SetVersion(kNt351.major, kNt351.minor, kNt351.build);
  EXPECT_EQ(CheckDrives(REPORT_ALL), SEV_INFORMATION);
  EXPECT_EQ(Entries(), (Strings{kDriveHeader, DriveLine("E:\\", 1048576, 1048576, "NTFS"),
                                DriveLine("F:\\", 0, 0, "NTFS"), DriveLine("G:\\", 40, 40, "NTFS")}));
  EXPECT_EQ(sim::CallCount("GetDiskFreeSpaceExA"), 0);
}

TEST_F(DrivesTest, FailedByteCountsFallBackToTheClusterCounts) {
  sim::Drive drive = Fixed("NTFS", 512, 8, 0, 0);
  drive.totalClusters = drive.freeClusters = k16TbAnd40Mb;
  sim::SetDrive('G', drive);
  SetVersion(kXp.major, kXp.minor, kXp.build);
  sim::FailCall("GetDiskFreeSpaceExA", ERROR_NOT_READY);
  EXPECT_EQ(CheckDrives(REPORT_ALL), SEV_ERROR);
  EXPECT_EQ(Entries(), (Strings{kDriveHeader, DriveLine("G:\\", 40, 40, "NTFS"), TooLittleSpace(40)}));
}

TEST_F(DrivesTest, ClusterSizesNotAPowerOfTwoKeepTheClusterCounts) {
  // 1536-byte clusters: unit 48; a cluster size of 0 shows 0.
  SetVersion(kXp.major, kXp.minor, kXp.build);
  sim::SetDrive('C', Fixed("NTFS", 512, 3, 65536, 65536));
  sim::SetDrive('E', Fixed("NTFS", 0, 8, 65536, 65536));
  CheckDrives(REPORT_ALL);
  EXPECT_EQ(Entries(), (Strings{kDriveHeader, DriveLine("C:\\", 96, 96, "NTFS"), DriveLine("E:\\", 0, 0, "NTFS")}));
  EXPECT_EQ(sim::CallCount("GetDiskFreeSpaceExA"), 0);
}

TEST_F(DrivesTest, AbsurdClusterSizesStopAtTheLargestFigure) {
  sim::SetDrive('C', Fixed("NTFS", 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 64));
  EXPECT_EQ(CheckDrives(REPORT_ALL), SEV_INFORMATION);
  EXPECT_EQ(Entries()[1], DriveLine("C:\\", 2147483647, 2147483647, "NTFS"));
}

}  // namespace
