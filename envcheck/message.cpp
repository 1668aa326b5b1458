// The message catalog: every report line is a numbered string resource of the
// message module.
#include "report.h"

HMODULE MessageModule = NULL;

static const char kBadStringId[] = "***BAD STRING ID***";
static char MessageBuffer[2048];

const char* LoadMessage(UINT id) {
  if (MessageModule == NULL) MessageModule = GetModuleHandleA(NULL);
  if (LoadStringA(MessageModule, id, MessageBuffer, sizeof MessageBuffer) == 0) return kBadStringId;
  return MessageBuffer;
}
