// The replication databases and journals are the user's data: they go only
// when the user says so, never in an unattended uninstall. The question
// names the directories that would go: where users may set the product
// key's values, they are not necessarily the product's.
#include "code_page.h"
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
// The question, then, when a directory could be read, a blank line and each
// directory on a line of its own, cut to a path's length.
enum { DATA_QUESTION_SIZE = sizeof kDeleteDataQuestion + 1 + 2 * MAX_PATH };

// A data directory as read from the product key, before the question.
typedef struct {
  char* path;     // NULL when it could not be read
  LONG status;    // the registry's answer to the read
  int listed;     // the value exists (read or not)
} DataDirectory;

static void ReadDataDirectory(HKEY productKey, const char* valueName, DataDirectory* directory) {
  DWORD size = 0;
  directory->path = NULL;
  directory->listed =
      RegQueryValueExA(productKey, valueName, NULL, NULL, NULL, &size) == ERROR_SUCCESS;
  directory->status =
      directory->listed ? ReadStringValue(productKey, valueName, &directory->path) : ERROR_FILE_NOT_FOUND;
}

// Appends the path and a line break at text[*length]; whole characters of
// at most MAX_PATH - 1 bytes of it.
static void AppendPathLine(char* text, size_t* length, const char* path) {
  if (path == NULL) return;
  size_t n = strlen(path);
  if (n >= MAX_PATH) n = WholeCharacters(path, MAX_PATH - 1);
  memcpy(text + *length, path, n);
  text[*length + n] = '\n';
  *length += n + 1;
  text[*length] = '\0';
}

static int AskToDelete(const DataDirectory* databases, const DataDirectory* journals) {
  char text[DATA_QUESTION_SIZE];
  size_t length = sizeof kDeleteDataQuestion - 1;
  memcpy(text, kDeleteDataQuestion, length);
  if (databases->path != NULL || journals->path != NULL) text[length++] = '\n';
  text[length] = '\0';
  AppendPathLine(text, &length, databases->path);
  AppendPathLine(text, &length, journals->path);
  return ShowDialog(text, kUninstallCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

// A directory that is not there has nothing left to delete: an uninstall
// run again after one that was ended finds its data gone.
static int IsGone(const char* path) {
  if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES) return 0;
  DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Deletes everything in a data directory: 0 to go on, -1 when it could not
// be read and the user chose to abort.
static int DeleteDataDirectory(const DataDirectory* directory, const char* unreadableLine,
                               const char* problemText) {
  if (directory->path == NULL) {
    char text[DIALOG_TEXT_SIZE];
    ComposeErrorText(text, unreadableLine, (DWORD)directory->status, kContinueQuestion);
    return AskToContinue(text) ? 0 : -1;
  }
  if (!DeleteTree(directory->path, kAllFiles) && !IsGone(directory->path))
    ShowDialog(problemText, kUninstallCaption, MB_ICONWARNING);
  return 0;
}

// The databases, then the journals: 0 to go on, -1 to abort.
static int DeleteData(const DataDirectory* databases, const DataDirectory* journals) {
  if (DeleteDataDirectory(databases,
                          "Could not get the installed location of the CVN Exec Databases\n\n",
                          "Problem deleting Database files.\nNot all Database files were deleted.\n") != 0)
    return -1;
  if (!journals->listed) {
    return AskToContinue("Could not get the installed location of the CVN Exec Journal "
                         "directory\n\nDo you wish to continue Uninstalling?\n")
               ? 0
               : -1;
  }
  return DeleteDataDirectory(
      journals, "Could not get the installed location of the CVN Exec Journal directory.\n\n",
      "Problem deleting CVN Exec Journal files.\nNot all Journal files were deleted.\n");
}

int OfferDataDeletion(int silent) {
  if (silent) return 0;
  HKEY productKey;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductKey, 0, KEY_QUERY_VALUE, &productKey) !=
      ERROR_SUCCESS)
    return 0;
  int result = 0;
  DataDirectory databases;
  ReadDataDirectory(productKey, kDatabaseValue, &databases);
  if (databases.listed) {
    DataDirectory journals;
    ReadDataDirectory(productKey, kJournalValue, &journals);
    if (AskToDelete(&databases, &journals)) result = DeleteData(&databases, &journals);
    free(journals.path);
  }
  free(databases.path);
  RegCloseKey(productKey);
  return result;
}
