// The replication databases and journals are the user's data: they go only
// when the user says so, never in an unattended uninstall.
#include "dialogs.h"
#include "removal.h"
#include "uninstall_steps.h"

static const char kDatabaseValue[] = "ProtectedDatasetDirectory";
static const char kJournalValue[] = "JournalRoot";
// Every file at every depth below a directory.
static const char kAllFiles[] = "\\*.*";

static const char kDeleteDataQuestion[] =
    "Do you want to delete the Corvane\nDatabases and Journal files?\n\n"
    "If you choose to delete the databases, you\nwill lose information about any Corvane\n"
    "jobs run previously from this system.\n";

// Deletes everything in the directory named by a value of the product key:
// 0 to go on, -1 when the value cannot be read and the user chose to abort.
static int DeleteDataDirectory(HKEY productKey, const char* valueName, const char* unreadableLine,
                               const char* problemText) {
  char* directory;
  LONG status = ReadStringValue(productKey, valueName, &directory);
  if (status != ERROR_SUCCESS) {
    char text[DIALOG_TEXT_SIZE];
    ComposeErrorText(text, unreadableLine, (DWORD)status, kContinueQuestion);
    return AskToContinue(text) ? 0 : -1;
  }
  if (!DeleteTree(directory, kAllFiles)) ShowDialog(problemText, kUninstallCaption, MB_ICONWARNING);
  free(directory);
  return 0;
}

// The databases, then the journals: 0 to go on, -1 to abort.
static int DeleteData(HKEY productKey) {
  if (DeleteDataDirectory(productKey, kDatabaseValue,
                          "Could not get the installed location of the CVN Exec Databases\n\n",
                          "Problem deleting Database files.\nNot all Database files were deleted.\n") != 0)
    return -1;
  DWORD size = 0;
  if (RegQueryValueExA(productKey, kJournalValue, NULL, NULL, NULL, &size) != ERROR_SUCCESS) {
    return AskToContinue("Could not get the installed location of the CVN Exec Journal "
                         "directory\n\nDo you wish to continue Uninstalling?\n")
               ? 0
               : -1;
  }
  return DeleteDataDirectory(
      productKey, kJournalValue,
      "Could not get the installed location of the CVN Exec Journal directory.\n\n",
      "Problem deleting CVN Exec Journal files.\nNot all Journal files were deleted.\n");
}

int OfferDataDeletion(int silent) {
  if (silent) return 0;
  HKEY productKey;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_QUERY_VALUE, &productKey) !=
      ERROR_SUCCESS)
    return 0;
  int result = 0;
  DWORD size = 0;
  if (RegQueryValueExA(productKey, kDatabaseValue, NULL, NULL, NULL, &size) == ERROR_SUCCESS &&
      ShowDialog(kDeleteDataQuestion, kUninstallCaption,
                 MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES) {
    result = DeleteData(productKey);
  }
  RegCloseKey(productKey);
  return result;
}
