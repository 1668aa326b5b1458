// The two service-pack file tables: counts, order, row shape and contents, and
// how a packed table unpacks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "system_checks.h"

namespace {

// The rows of a packed table as the comparison reads them.
std::vector<std::string> Rows(const char* packed) {
  static char table[SERVICE_PACK_ROWS_SIZE];
  std::vector<std::string> rows;
  EXPECT_EQ(UnpackServicePackTable(packed, table, sizeof table), 1);
  for (const char* row = table; *row != '\0'; row += std::strlen(row) + 1) rows.emplace_back(row);
  return rows;
}

std::string Name(const std::string& row) { return row.substr(0, row.find(',')); }

bool Holds(const std::vector<std::string>& rows, const std::string& row) {
  return std::find(rows.begin(), rows.end(), row) != rows.end();
}

TEST(ServicePackTables, RowCounts) {
  EXPECT_EQ(Rows(Nt4Sp3Files).size(), 333u);
  EXPECT_EQ(Rows(Nt351Sp5Files).size(), 142u);
}

TEST(ServicePackTables, NamesStrictlyAscendInByteOrderSoUnderscoresComeLast) {
  for (const char* table : {Nt4Sp3Files, Nt351Sp5Files}) {
    std::vector<std::string> rows = Rows(table);
    for (size_t i = 1; i < rows.size(); ++i) {
      // strcmp compares as unsigned char: plain byte order.
      EXPECT_LT(std::strcmp(Name(rows[i - 1]).c_str(), Name(rows[i]).c_str()), 0)
          << rows[i - 1] << " / " << rows[i];
    }
  }
  std::vector<std::string> nt4 = Rows(Nt4Sp3Files);
  EXPECT_EQ(nt4[nt4.size() - 6], "XEROXPCL.DLL,4,0,1381,4");
  EXPECT_EQ(nt4[nt4.size() - 5], "_CS32BA1.DLL,5,0,1500,4");
  // "." sorts before digits: KBDCZ.DLL comes before KBDCZ1.DLL.
  auto at = [&](const std::string& name) {
    return std::find_if(nt4.begin(), nt4.end(), [&](const std::string& r) { return Name(r) == name; });
  };
  EXPECT_LT(at("KBDCZ.DLL"), at("KBDCZ1.DLL"));
  EXPECT_LT(at("HP5SIM.DLL"), at("HP5SIMUI.DLL"));
}

TEST(ServicePackTables, EveryRowIsAnUpperCaseNameAndFourSixteenBitNumbers) {
  for (const char* table : {Nt4Sp3Files, Nt351Sp5Files}) {
    for (const std::string& row : Rows(table)) {
      EXPECT_EQ(std::count(row.begin(), row.end(), ','), 4) << row;
      EXPECT_EQ(row.find(' '), std::string::npos) << row;
      std::string name = Name(row);
      EXPECT_TRUE(std::none_of(name.begin(), name.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
          << row;
      const char* p = row.c_str() + name.size();
      for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(*p, ',') << row;
        char* end;
        unsigned long number = std::strtoul(p + 1, &end, 10);
        EXPECT_NE(end, p + 1) << row;
        EXPECT_LE(number, 65535u) << row;
        p = end;
      }
      EXPECT_EQ(*p, '\0') << row;
    }
  }
}

TEST(ServicePackTables, Nt4Sp3FirstAndLastRowsAndEveryVersionGroup) {
  std::vector<std::string> rows = Rows(Nt4Sp3Files);
  ASSERT_GE(rows.size(), 3u);
  EXPECT_EQ(rows[0], "ACLEDIT.DLL,4,0,1381,4");
  EXPECT_EQ(rows[1], "ADVAPI32.DLL,4,0,1381,4");
  EXPECT_EQ(rows[2], "ASYCFILT.DLL,2,20,4118,1");
  EXPECT_EQ(rows.back(), "_SNDBLST.DLL,4,0,1381,4");
  for (const char* row : {
           "ATI.DLL,4,0,1381,4",         "KBDUSX.DLL,4,0,1381,4",     "MSV1_0.DLL,4,0,1381,4",
           "XEROXPCL.DLL,4,0,1381,4",    "_JOYPORT.DLL,4,0,1381,4",   "CNVFAT.DLL,4,0,1381,3",
           "TAPI32.DLL,4,0,1381,3",      "WSHNETBS.DLL,4,0,1381,3",   "D3DHALF.DLL,4,4,1381,4",
           "DSOUND.DLL,4,4,1381,4",      "DS16GT.DLL,3,0,28,22",      "ODBCTRAC.DLL,3,0,28,22",
           "HP5SIMUI.DLL,0,2,0,0",       "RASDDUI.DLL,0,2,0,0",       "BULL24.DLL,4,0,1381,2",
           "VWIPXSPX.DLL,4,0,1381,2",    "CS32BA11.DLL,5,0,1500,4",   "_MPU401.DLL,5,0,1500,4",
           "ASYCFILT.DLL,2,20,4118,1",   "OLEAUT32.DLL,2,20,4118,1",  "DIGIINST.DLL,2,1,0,1",
           "SQLSRV32.DLL,2,65,2,1",      "COMMDLG.DLL,3,10,0,103",    "MAPI32.DLL,4,0,835,1381",
           "FPNW.DLL,4,0,1382,4",        "MINET32.DLL,4,40,837,1381", "SECBASIC.DLL,4,40,1381,1",
           "COMCTL32.DLL,4,70,1147,1",   "DIGSIG.DLL,4,73,1381,40",   "SCHANNEL.DLL,4,80,1600,1381",
           "OLEPRO32.DLL,5,0,4118,1",    "MTXDM.DLL,1996,10,31,96",
       }) {
    EXPECT_TRUE(Holds(rows, row)) << row;
  }
}

TEST(ServicePackTables, Nt351Sp5LastRowAndEveryVersionGroup) {
  std::vector<std::string> rows = Rows(Nt351Sp5Files);
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.front(), "ADVAPI32.DLL,3,51,1057,6");
  EXPECT_EQ(rows.back(), "WSOCK32.DLL,3,51,1057,6");
  for (const char* row : {
           "BROWSER.DLL,3,51,1057,6",  "NWAPI16.DLL,3,51,1057,6",  "RPCLTC7.DLL,3,51,1057,6",
           "PLOTTER.DLL,0,1,0,0",      "WOWFAXUI.DLL,0,1,0,0",     "OLE2DISP.DLL,2,10,3023,1",
           "TYPELIB.DLL,2,10,3023,1",  "OLE32.DLL,2,10,35,38",     "OLETHK32.DLL,2,10,35,38",
           "PCL1200.DLL,3,51,1057,4",  "TXTONLY.DLL,3,51,1057,4",  "DECPSMON.DLL,0,10,1,1",
           "OLEDLG.DLL,1,0,0,0",       "OLEAUT32.DLL,2,20,4049,1", "DDEML.DLL,3,50,0,103",
           "PCL5MS.DLL,3,51,1057,5",   "FTSRCH.DLL,4,0,0,4550",
       }) {
    EXPECT_TRUE(Holds(rows, row)) << row;
  }
}

TEST(ServicePackTables, VersionGroupSizes) {
  auto count = [](const char* table, const std::string& version) {
    std::vector<std::string> rows = Rows(table);
    return std::count_if(rows.begin(), rows.end(), [&](const std::string& r) {
      return r.substr(r.find(',') + 1) == version;
    });
  };
  EXPECT_EQ(count(Nt4Sp3Files, "4,0,1381,4"), 222);
  EXPECT_EQ(count(Nt4Sp3Files, "4,0,1381,3"), 48);
  EXPECT_EQ(count(Nt4Sp3Files, "4,4,1381,4"), 20);
  EXPECT_EQ(count(Nt4Sp3Files, "3,0,28,22"), 9);
  EXPECT_EQ(count(Nt4Sp3Files, "0,2,0,0"), 8);
  EXPECT_EQ(count(Nt4Sp3Files, "4,0,1381,2"), 6);
  EXPECT_EQ(count(Nt4Sp3Files, "5,0,1500,4"), 6);
  EXPECT_EQ(count(Nt4Sp3Files, "2,20,4118,1"), 2);
  EXPECT_EQ(count(Nt351Sp5Files, "3,51,1057,6"), 122);
  EXPECT_EQ(count(Nt351Sp5Files, "0,1,0,0"), 7);
  EXPECT_EQ(count(Nt351Sp5Files, "2,10,3023,1"), 3);
  EXPECT_EQ(count(Nt351Sp5Files, "2,10,35,38"), 2);
  EXPECT_EQ(count(Nt351Sp5Files, "3,51,1057,4"), 2);
}

TEST(ServicePackTables, UnpackingAddsTheSuffixAndSpellsOutTheVersionOfEachLetter) {
  const char packed[] = "1,2,3,4\0" "5,6,7,8\0" "\0" "Ab" "B_9a" "Cb";
  char rows[64];
  ASSERT_EQ(UnpackServicePackTable(packed, rows, sizeof rows), 1);
  const char expected[] = "A.DLL,5,6,7,8\0B_9.DLL,1,2,3,4\0C.DLL,5,6,7,8\0";
  EXPECT_EQ(std::string(rows, sizeof expected), std::string(expected, sizeof expected));
}

TEST(ServicePackTables, UnpackingNeedsRoomForEveryRowAndTheEndAndWritesNoFurther) {
  const char packed[] = "1,2,3,4\0" "\0" "Aa" "Ba";
  const size_t needed = sizeof "A.DLL,1,2,3,4" + sizeof "B.DLL,1,2,3,4" + 1;
  for (size_t size = 0; size <= needed; ++size) {
    std::vector<char> rows(needed + 8, '#');
    EXPECT_EQ(UnpackServicePackTable(packed, rows.data(), size), size == needed ? 1 : 0) << size;
    EXPECT_EQ(std::count(rows.begin() + static_cast<std::ptrdiff_t>(size), rows.end(), '#'),
              static_cast<std::ptrdiff_t>(rows.size() - size))
        << size;
  }
}

TEST(ServicePackTables, RowsWithoutAVersionLetterOrWithAnUnknownOneAreRefused) {
  char rows[64];
  EXPECT_EQ(UnpackServicePackTable("1,2,3,4\0" "\0" "Aa" "B", rows, sizeof rows), 0);
  EXPECT_EQ(UnpackServicePackTable("1,2,3,4\0" "\0" "Ab", rows, sizeof rows), 0);
  EXPECT_EQ(UnpackServicePackTable("\0" "\0", rows, sizeof rows), 1);
  EXPECT_EQ(rows[0], '\0');
}

}  // namespace
