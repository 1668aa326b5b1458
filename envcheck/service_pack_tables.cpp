// The system files each supported service pack ships, with the version it
// ships them in, packed: every file is a ".DLL", and a table names few
// versions. A packed table holds first its versions "a,b,c,d", each ended by a
// NUL, the list by an empty one; then one row per file: the name without
// ".DLL", followed by one lower-case letter for its version ('a' the first of
// the list, 'b' the second, ...). Names hold no lower-case letter, so the
// letter also ends the row; a NUL ends the table. Rows are in ascending byte
// order of the file name, so names beginning with "_" come last.
// UnpackServicePackTable writes a table out as the rows CompareServicePackFiles
// reads.
#include "system_checks.h"

static const char kDllSuffix[] = ".DLL";

int UnpackServicePackTable(const char* packed, char* rows, size_t size) {
  const char* versions = packed;
  const char* row;
  size_t used = 0;

  // Past the version list and its closing empty entry.
  for (row = packed; *row != '\0';) row += strlen(row) + 1;
  ++row;
  while (*row != '\0') {
    const char* name = row;
    const char* version = versions;
    size_t nameLength, versionLength;
    int index;

    while (*row != '\0' && (*row < 'a' || *row > 'z')) ++row;
    if (*row == '\0') return 0;
    nameLength = (size_t)(row - name);
    for (index = *row - 'a'; index > 0 && *version != '\0'; --index) version += strlen(version) + 1;
    if (*version == '\0') return 0;
    versionLength = strlen(version);
    // The row, its NUL and the table's closing one.
    if (nameLength + sizeof kDllSuffix + versionLength + 2 > size - used) return 0;
    memcpy(rows + used, name, nameLength);
    used += nameLength;
    memcpy(rows + used, kDllSuffix, sizeof kDllSuffix - 1);
    used += sizeof kDllSuffix - 1;
    rows[used++] = ',';
    memcpy(rows + used, version, versionLength + 1);
    used += versionLength + 1;
    ++row;
  }
  if (size - used < 1) return 0;
  rows[used] = '\0';
  return 1;
}

// Windows NT 4.0 Service Pack 3: 333 files in 20 versions.
extern const char Nt4Sp3Files[] =
    "4,0,1381,4\0" "2,20,4118,1\0" "4,0,1381,2\0" "4,0,1381,3\0" "4,70,1147,1\0"  // a-e
    "3,10,0,103\0" "5,0,1500,4\0" "4,4,1381,4\0" "2,1,0,1\0" "4,73,1381,40\0"  // f-j
    "3,0,28,22\0" "4,0,1382,4\0" "0,2,0,0\0" "4,0,835,1381\0" "4,40,837,1381\0"  // k-o
    "1996,10,31,96\0" "5,0,4118,1\0" "4,80,1600,1381\0" "4,40,1381,1\0" "2,65,2,1\0"  // p-t
    "\0"
    "ACLEDITa" "ADVAPI32a" "ASYCFILTb" "ATIa" "BASESRVa" "BULL18a" "BULL24c" "BULL9c" "BULLASERc"
    "CIRRUSa" "CNVFATd" "COMCTL32e" "COMDLG32a" "COMMDLGf" "COMPSTUIa" "CRYPT32a" "CS32BA11g"
    "CSBASEg" "D3DHALFh" "D3DIMh" "D3DRAMPFh" "D3DRG16Fh" "D3DRG24Fh" "D3DRG32Fh" "D3DRG8Fh"
    "D3DRGBFh" "D3DRMh" "D3DRM16Fh" "D3DRM24Fh" "D3DRM32Fh" "D3DRM8Fh" "D3DXOFh" "DCIMAN32a"
    "DDRAWh" "DHCPCSVCd" "DHCPSAPId" "DHCPSSVCa" "DIGIINSTi" "DIGSIGj" "DINPUTh" "DMd" "DMKDALPd"
    "DMKDX86d" "DOCPROPa" "DPCPCLc" "DPLAYXh" "DPMODEMXh" "DPWSOCKXh" "DS16GTk" "DS32GTk" "DSOUNDh"
    "EECXXALPd" "EECXXX86d" "EMALPd" "EMX86d" "EPSON24a" "EPSON9a" "ESCP2MSa" "EVENTLOGa" "FMIFSd"
    "FONTEXTa" "FPNWl" "FPNWCLNTa" "FSCFGd" "FTPSVC2a" "GDI32a" "GLU32a" "GOPHERDa" "GSCFGd" "HALa"
    "HAL486Ca" "HALAPICa" "HALASTa" "HALCBUSa" "HALCBUSMa" "HALMCAa" "HALMPSa" "HALMPSMa" "HALOLIa"
    "HALSPa" "HALWYSE7a" "HP5SIMa" "HP5SIMUIm" "HPDSKJETa" "HPPCLa" "HPRASDDm" "HPRASDUIm"
    "HTICONSa" "HTTPODBCa" "HYPERTRMa" "IBM238Xa" "IBMPPDSLa" "IFSUTILd" "IMAGEHLPa" "INETMIB1a"
    "INFOCOMMa" "IPRIPd" "IPROPa" "ISMa" "JOYPORTa" "JP350a" "KBDALa" "KBDBEa" "KBDBENEa" "KBDBLRa"
    "KBDBRa" "KBDBUa" "KBDCAa" "KBDCRa" "KBDCZa" "KBDCZ1a" "KBDDAa" "KBDDLLa" "KBDDVa" "KBDESa"
    "KBDESTa" "KBDFCa" "KBDFIa" "KBDFRa" "KBDGKLa" "KBDGRa" "KBDGR1a" "KBDHEa" "KBDHE220a"
    "KBDHE319a" "KBDHELA2a" "KBDHELA3a" "KBDHUa" "KBDHU1a" "KBDICa" "KBDIRa" "KBDITa" "KBDIT142a"
    "KBDLAa" "KBDLTa" "KBDLVa" "KBDLV1a" "KBDNEa" "KBDNOa" "KBDPLa" "KBDPL1a" "KBDPOa" "KBDROa"
    "KBDRUa" "KBDRU1a" "KBDSFa" "KBDSGa" "KBDSLa" "KBDSL1a" "KBDSPa" "KBDSWa" "KBDTUFa" "KBDTUQa"
    "KBDUKa" "KBDURa" "KBDURSa" "KBDUSa" "KBDUSLa" "KBDUSRa" "KBDUSXa" "KBDYCCa" "KBDYCLa"
    "KERNEL32a" "KYOCERAXa" "LMHSVCd" "LMINKJETd" "LOADPERFa" "LOCALMONa" "LOCALSPLa" "LPDSVCd"
    "LPRHELPa" "LPRMONa" "LSASRVa" "MANTAL24a" "MANTAL90a" "MAPI32n" "MCD32a" "MCIAVI32a" "MCIWAVEa"
    "MGAa" "MGMTAPId" "MINET32o" "MMDRVa" "MPRa" "MPU401g" "MSAFDa" "MSGINAa" "MSGSVCa" "MSOSSa"
    "MSPRIVSd" "MSV1_0a" "MSWSOCKa" "MTPCLa" "MTXDMp" "NDDEAPIa" "NDDENB32a" "NETAPI32a" "NETCFGa"
    "NETLOGONa" "NETSETUPa" "NETUI1a" "NETUI2a" "NTDLLa" "NTLANMANa" "NTLMSSPSa" "NTPRINTa"
    "NTPRINTAa" "NWAPI32a" "NWPROVAUa" "NWWKSa" "ODBC16GTk" "ODBC32k" "ODBC32GTk" "ODBCCP32k"
    "ODBCCR32k" "ODBCINTk" "ODBCTRACk" "OLE32a" "OLEAUT32b" "OLECNV32a" "OLEDLGa" "OLEPRO32q"
    "OLIDM9a" "OPENGL32a" "OPTRAa" "PANSON24a" "PASSFILTa" "PCL5EMSa" "PCL5EMS2a" "PCL5MSa"
    "PERFCTRSd" "PERFNWd" "PLOTUIm" "PRINTUIa" "PROFEXTa" "PSCRIPTm" "PSCRPTUIm" "RASADMINa"
    "RASAPI32a" "RASAUTOa" "RASCAUTHd" "RASCCPa" "RASCHAPd" "RASDDm" "RASDDUIm" "RASDLGa"
    "RASGPRXYa" "RASGTWYa" "RASIPHLPa" "RASIPXCPd" "RASMANd" "RASMSGa" "RASMXSd" "RASNBFCPd"
    "RASNBIPCa" "RASPAPd" "RASPPPENa" "RASPPTPLa" "RASSAPId" "RASSAUTHd" "RASSCRPTd" "RASSHELLd"
    "RASSPAPd" "RASTAPIa" "RNR20a" "RPCLTC1a" "RPCLTCCMa" "RPCLTSCMa" "RPCMQCLa" "RPCMQSVRa"
    "RPCRT4a" "RSABASEa" "S3a" "SAMLIBa" "SAMSRVa" "SCHANNELr" "SECBASICs" "SECURITYa" "SERIALUId"
    "SETUPAPIa" "SFMMONa" "SHCOMPUIa" "SHCVd" "SHELL32a" "SHRPCL5Ea" "SIDEWNDRa" "SNDBLSTa"
    "SNMPAPId" "SPOOLSSa" "SQLSRV32t" "SRVSVCa" "SSINCa" "SSPIFILTa" "SYMCVTd" "SYSSETUPa" "TAPI32d"
    "TCPCFGa" "TLLOCd" "TLPIPEd" "TLSERd" "TXTONLYa" "UFATd" "ULIBa" "UMPNPMGRa" "UNTFSd" "USER32a"
    "USERENVa" "USEREXTSa" "USERKDXa" "VDMDBGc" "VGA256a" "VWIPXSPXc" "W32a" "W3SCFGd" "W3SVCa"
    "WIN32SPLa" "WINSRPCd" "WINSRVa" "WKSSVCa" "WOW32a" "WS2HELPd" "WS2_32a" "WSHNETBSd" "WSHTCPIPa"
    "X42XXPCLa" "XACTSRVa" "XEROXDCSa" "XEROXPCLa" "_CS32BA1g" "_CSBASEg" "_JOYPORTa" "_MPU401g"
    "_SNDBLSTa";

// Windows NT 3.51 Service Pack 5: 142 files in 11 versions.
extern const char Nt351Sp5Files[] =
    "3,51,1057,6\0" "3,50,0,103\0" "0,10,1,1\0" "4,0,0,4550\0" "2,10,3023,1\0"  // a-e
    "2,10,35,38\0" "2,20,4049,1\0" "1,0,0,0\0" "3,51,1057,4\0" "3,51,1057,5\0"  // f-j
    "0,1,0,0\0"  // k-k
    "\0"
    "ADVAPI32a" "BASESRVa" "BROWSERa" "CANON800a" "CIRRUSa" "COMCTL32a" "COMDLG32a" "CSRSRVa"
    "DDEMLb" "DECPSMONc" "DHCPSSVCa" "DICONIXa" "ESCP2MSa" "EVENTLOGa" "FMIFSa" "FPNWa" "FTPSVCa"
    "FTPSVC2a" "FTSRCHd" "GDI32a" "GDSPACEa" "GLSRVa" "GOPHERDa" "HALa" "HAL486Ca" "HALAPICa"
    "HALASTa" "HALCBUSa" "HALCBUSMa" "HALMCAa" "HALMPSa" "HALOLIa" "HALSPa" "HALWS3a" "HALWYSE7a"
    "HPDSKJETa" "HPMONa" "HPPCLa" "HPPCL5MSa" "HTTPODBCa" "IFSUTILa" "IMAGEHLPa" "INETMIB1a"
    "INETSLOCa" "INFOADMNa" "INFOCOMMa" "KBDUKa" "KERNEL32a" "LMMIB2a" "LOCALMONa" "LOCALSPLa"
    "LPDSVCa" "LPRHELPa" "LPRMONa" "LSASRVa" "MGMTAPIa" "MPRa" "MSGINAa" "NDDENB32a" "NETAPI32a"
    "NETLOGONa" "NETRAPa" "NETUI0a" "NETUI1a" "NETUI2a" "NTDLLa" "NTLANMANa" "NTLMSSPSa" "NWAPI16a"
    "NWAPI32a" "NWMONa" "NWPRINTa" "NWPROVAUa" "NWWKSa" "OLE2DISPe" "OLE2NLSe" "OLE32f" "OLEAUT32g"
    "OLEDLGh" "OLETHK32f" "OPENGL32a" "PATCHDLLa" "PCL1200i" "PCL5EMSa" "PCL5MSj" "PERFCTRSa"
    "PLOTTERk" "PLOTUIk" "PRFLBMSGa" "PSCRIPTk" "PSCRPTUIk" "QVa" "RASCCPa" "RASCHAPa" "RASCTRSa"
    "RASDDk" "RASDDUIk" "RASGTWYa" "RASIPXCPa" "RASMANa" "RASNBFCPa" "RASPAPa" "RASPPPENa"
    "RASTAPIa" "RPCDGC3a" "RPCDGS3a" "RPCDGS6a" "RPCLTC1a" "RPCLTC3a" "RPCLTC5a" "RPCLTC6a"
    "RPCLTC7a" "RPCLTS3a" "RPCLTS5a" "RPCLTS6a" "RPCRT4a" "S3a" "SAMLIBa" "SAMSRVa" "SECURITYa"
    "SETUPDLLa" "SFMMONa" "SFMPSPRTa" "SHELL32a" "SNMPAPIa" "SRVSVCa" "SSLSSPIa" "TXTONLYi"
    "TYPELIBe" "ULIBa" "UNTFSa" "USER32a" "VDMREDIRa" "W3SVCa" "WIN32SPLa" "WINSCTRSa" "WINSEVNTa"
    "WINSRVa" "WOW32a" "WOWFAXUIk" "WSHNETBSa" "WSOCK32a";
