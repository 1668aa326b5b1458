// The simulated system information calls against the behaviour of NT 4.0.
#include <cstring>
#include <string>

#include "sim_fixture.h"

namespace {

using SysinfoSimTest = SimTest;

TEST_F(SysinfoSimTest, RecordLayoutsAreThoseOfThe32BitHeaders) {
  EXPECT_EQ(sizeof(OSVERSIONINFOA), 148u);
  EXPECT_EQ(sizeof(MEMORYSTATUS), 32u);
  EXPECT_EQ(offsetof(SYSTEM_INFO, wProcessorArchitecture), 0u);
  EXPECT_EQ(offsetof(SYSTEM_INFO, dwPageSize), 4u);
  EXPECT_LT(offsetof(SYSTEM_INFO, dwNumberOfProcessors), offsetof(SYSTEM_INFO, dwProcessorType));
  EXPECT_LT(offsetof(SYSTEM_INFO, dwAllocationGranularity), offsetof(SYSTEM_INFO, wProcessorLevel));
  EXPECT_EQ(offsetof(SYSTEM_INFO, wProcessorRevision), offsetof(SYSTEM_INFO, wProcessorLevel) + 2);
}

TEST_F(SysinfoSimTest, VersionOfAFreshMachineIsNt4Sp3) {
  OSVERSIONINFOA info;
  std::memset(&info, 0xcc, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
  EXPECT_EQ(info.dwMajorVersion, 4u);
  EXPECT_EQ(info.dwMinorVersion, 0u);
  EXPECT_EQ(info.dwBuildNumber, 1381u);
  EXPECT_STREQ(info.szCSDVersion, "Service Pack 3");
}

TEST_F(SysinfoSimTest, VersionRecordOfAnotherSizeIsRefusedUntouched) {
  for (DWORD size : {0u, 147u, 149u, 156u}) {
    OSVERSIONINFOA info;
    std::memset(&info, 0xcc, sizeof info);
    info.dwOSVersionInfoSize = size;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(GetVersionExA(&info)) << size;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER)) << size;
    EXPECT_EQ(info.dwMajorVersion, 0xccccccccu) << size;
  }
}

TEST_F(SysinfoSimTest, ScriptedVersionAndFailure) {
  sim::OsVersion version;
  version.major = 3;
  version.minor = 51;
  version.build = 1057;
  version.csd = std::string(200, 'x');  // longer than the record holds: cut at 127
  sim::SetOsVersion(version);
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(info.dwMinorVersion, 51u);
  EXPECT_EQ(std::strlen(info.szCSDVersion), 127u);

  sim::FailCall("GetVersionExA", ERROR_ACCESS_DENIED);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetVersionExA(&info));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(SysinfoSimTest, SystemInfoReportsTheScriptedProcessors) {
  sim::Processors processors;
  processors.count = 2;
  processors.level = 6;
  sim::SetProcessors(processors);
  SYSTEM_INFO info;
  std::memset(&info, 0xcc, sizeof info);
  GetSystemInfo(&info);
  EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_INTEL);
  EXPECT_EQ(info.wReserved, 0);
  EXPECT_EQ(info.dwNumberOfProcessors, 2u);
  EXPECT_EQ(info.dwActiveProcessorMask, 3u);
  EXPECT_EQ(info.wProcessorLevel, 6);
  EXPECT_EQ(info.dwPageSize, 4096u);
  EXPECT_EQ(info.dwAllocationGranularity, 65536u);
}

TEST_F(SysinfoSimTest, FailedVoidCallsLeaveTheirRecordsAlone) {
  sim::FailCall("GetSystemInfo", ERROR_ACCESS_DENIED);
  sim::FailCall("GlobalMemoryStatus", ERROR_ACCESS_DENIED);
  SYSTEM_INFO info;
  std::memset(&info, 0xcc, sizeof info);
  GetSystemInfo(&info);
  EXPECT_EQ(info.dwNumberOfProcessors, 0xccccccccu);
  MEMORYSTATUS memory;
  std::memset(&memory, 0xcc, sizeof memory);
  GlobalMemoryStatus(&memory);
  EXPECT_EQ(memory.dwTotalPhys, 0xccccccccu);
  EXPECT_EQ(sim::CallCount("GlobalMemoryStatus"), 1);
}

TEST_F(SysinfoSimTest, MemoryStatusFillsEveryFigure) {
  sim::Memory figures;
  figures.totalPhys = 0xFFFFFFFFu;
  figures.availPhys = 0x7FFFFFFFu;
  sim::SetMemory(figures);
  MEMORYSTATUS memory;
  std::memset(&memory, 0xcc, sizeof memory);
  memory.dwLength = sizeof memory;
  GlobalMemoryStatus(&memory);
  EXPECT_EQ(memory.dwLength, 32u);
  EXPECT_EQ(memory.dwMemoryLoad, 51u);
  EXPECT_EQ(memory.dwTotalPhys, 0xFFFFFFFFu);
  EXPECT_EQ(memory.dwAvailPhys, 0x7FFFFFFFu);
  EXPECT_EQ(memory.dwTotalPageFile, 100u << 20);
  EXPECT_EQ(memory.dwAvailPageFile, 70u << 20);
}

TEST_F(SysinfoSimTest, DriveStringsSizeQueryThenList) {
  SetLastError(0xdeadbeef);
  DWORD needed = GetLogicalDriveStringsA(0, nullptr);
  EXPECT_EQ(needed, 13u);  // A:\ C:\ D:\ and the final NUL
  char buffer[32];
  std::memset(buffer, 0x55, sizeof buffer);
  EXPECT_EQ(GetLogicalDriveStringsA(12, buffer), 13u);  // one short: nothing written
  EXPECT_EQ(buffer[0], 0x55);
  EXPECT_EQ(GetLogicalDriveStringsA(needed, buffer), 12u);
  EXPECT_EQ(std::string(buffer, 13), std::string("A:\\\0C:\\\0D:\\\0\0", 13));
  EXPECT_EQ(buffer[13], 0x55);
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);
}

TEST_F(SysinfoSimTest, DriveStringsAreListedByLetterAndCanFail) {
  sim::RemoveAllDrives();
  sim::SetDrive('z', sim::Drive{});
  sim::SetDrive('E', sim::Drive{});
  char buffer[16];
  ASSERT_EQ(GetLogicalDriveStringsA(sizeof buffer, buffer), 8u);
  EXPECT_EQ(std::string(buffer, 9), std::string("E:\\\0Z:\\\0\0", 9));

  sim::FailCall("GetLogicalDriveStringsA", ERROR_NOT_ENOUGH_MEMORY);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetLogicalDriveStringsA(0, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
}

TEST_F(SysinfoSimTest, DriveConnectedDuringAListingMakesTheListLonger) {
  sim::ConnectDriveAfterNextListing('F', sim::Drive{});
  DWORD needed = GetLogicalDriveStringsA(0, nullptr);
  EXPECT_EQ(needed, 13u);
  char buffer[32];
  std::memset(buffer, 0x55, sizeof buffer);
  EXPECT_EQ(GetLogicalDriveStringsA(needed, buffer), 17u);  // F:\ came meanwhile
  EXPECT_EQ(buffer[0], 0x55);
  EXPECT_EQ(GetDriveTypeA("F:\\"), static_cast<UINT>(DRIVE_FIXED));
}

TEST_F(SysinfoSimTest, DriveTypesOfAFreshMachine) {
  EXPECT_EQ(GetDriveTypeA("A:\\"), static_cast<UINT>(DRIVE_REMOVABLE));
  EXPECT_EQ(GetDriveTypeA("c:\\"), static_cast<UINT>(DRIVE_FIXED));
  EXPECT_EQ(GetDriveTypeA("C:"), static_cast<UINT>(DRIVE_FIXED));
  EXPECT_EQ(GetDriveTypeA(nullptr), static_cast<UINT>(DRIVE_FIXED));
  EXPECT_EQ(GetDriveTypeA("D:\\"), static_cast<UINT>(DRIVE_CDROM));
  EXPECT_EQ(GetDriveTypeA("Q:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
  EXPECT_EQ(GetDriveTypeA("C:\\WINNT"), static_cast<UINT>(DRIVE_NO_ROOT_DIR));
}

TEST_F(SysinfoSimTest, VolumeInformationOfFixedAndEmptyDrives) {
  char fileSystem[MAX_PATH];
  std::memset(fileSystem, 0x55, sizeof fileSystem);
  ASSERT_TRUE(GetVolumeInformationA("C:\\", nullptr, 0, nullptr, nullptr, nullptr, fileSystem,
                                    sizeof fileSystem));
  EXPECT_STREQ(fileSystem, "NTFS");

  std::memset(fileSystem, 0x55, sizeof fileSystem);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetVolumeInformationA("A:\\", nullptr, 0, nullptr, nullptr, nullptr, fileSystem,
                                     sizeof fileSystem));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));
  EXPECT_EQ(fileSystem[0], 0x55);

  EXPECT_FALSE(GetVolumeInformationA("Q:\\", nullptr, 0, nullptr, nullptr, nullptr, fileSystem,
                                     sizeof fileSystem));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(GetVolumeInformationA("C:", nullptr, 0, nullptr, nullptr, nullptr, fileSystem,
                                     sizeof fileSystem));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
  EXPECT_FALSE(GetVolumeInformationA("C:\\", nullptr, 0, nullptr, nullptr, nullptr, fileSystem, 4));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_LENGTH));
}

TEST_F(SysinfoSimTest, VolumeLabelSerialAndFlags) {
  sim::Drive drive;
  drive.fileSystem = "FAT";
  drive.label = "DATA";
  drive.serial = 0x12345678;
  sim::SetDrive('E', drive);
  char label[16], fileSystem[16];
  DWORD serial = 0, component = 0, flags = 0;
  ASSERT_TRUE(GetVolumeInformationA("E:\\", label, sizeof label, &serial, &component, &flags,
                                    fileSystem, sizeof fileSystem));
  EXPECT_STREQ(label, "DATA");
  EXPECT_STREQ(fileSystem, "FAT");
  EXPECT_EQ(serial, 0x12345678u);
  EXPECT_EQ(component, 255u);
  EXPECT_EQ(flags & FS_PERSISTENT_ACLS, 0u);
}

TEST_F(SysinfoSimTest, DiskFreeSpacePerDriveAndItsFailures) {
  sim::Drive drive;
  drive.sectorsPerCluster = 64;
  drive.bytesPerSector = 512;
  drive.freeClusters = 1000;
  drive.totalClusters = 0xFFFFFFFFu;
  sim::SetDrive('F', drive);
  DWORD sectors = 0, bytes = 0, freeClusters = 0, total = 0;
  ASSERT_TRUE(GetDiskFreeSpaceA("F:\\", &sectors, &bytes, &freeClusters, &total));
  EXPECT_EQ(sectors, 64u);
  EXPECT_EQ(bytes, 512u);
  EXPECT_EQ(freeClusters, 1000u);
  EXPECT_EQ(total, 0xFFFFFFFFu);

  drive.spaceError = ERROR_ACCESS_DENIED;
  sim::SetDrive('F', drive);
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(GetDiskFreeSpaceA("F:\\", &sectors, &bytes, &freeClusters, &total));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(GetDiskFreeSpaceA("D:\\", &sectors, &bytes, &freeClusters, &total));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));

  sim::FailCall("GetDiskFreeSpaceA", ERROR_INVALID_FUNCTION);
  EXPECT_FALSE(GetDiskFreeSpaceA("C:\\", &sectors, &bytes, &freeClusters, &total));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
  EXPECT_TRUE(GetDiskFreeSpaceA("C:\\", &sectors, &bytes, &freeClusters, &total));
}

TEST_F(SysinfoSimTest, ResetBringsBackTheFreshMachine) {
  sim::RemoveAllDrives();
  sim::OsVersion version;
  version.major = 5;
  sim::SetOsVersion(version);
  sim::Reset();
  EXPECT_EQ(GetLogicalDriveStringsA(0, nullptr), 13u);
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(info.dwMajorVersion, 4u);
}

}  // namespace
