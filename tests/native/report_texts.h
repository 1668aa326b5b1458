// Texts of the report that several test files expect: the header on the
// simulation's default clock, the section headings, and the lines and keys
// more than one section's tests meet.
#pragma once

inline constexpr char kHeader[] =
    "Velmora Software Corvane environment check.\n"
    "V1.5.1 Build 841-0 - Current Time Monday, December 7, 2026 10:30:15 AM\n\n";
inline constexpr char kSystemHeading[] = "\nSYSTEM INFORMATION:\n\n";
inline constexpr char kCompatibilityHeading[] =
    "\n**** IMPORTANT PRODUCT COMPATIBILITY INFORMATION: ****\n\n";
inline constexpr char kRegistryHeading[] = "\nSELECTED CONFIGURATION REGISTRY INFORMATION:\n\n";
inline constexpr char kEventLogHeading[] = "\nCorvane EVENTLOG ENTRIES:\n\n";

inline constexpr char kNoConflicts[] = "There were no TCP/IP port conflicts detected\n\n";
inline constexpr char kMapperWithService[] =
    "The Corvane service is installed and there is a \nTCP/IP port mapper running on this system.\n\n";

inline constexpr char kProductKeyPath[] = "SOFTWARE\\Velmora Software\\Corvane\\1.5";
