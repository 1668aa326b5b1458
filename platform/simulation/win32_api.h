// The Win32 subset the product uses, as declared by the Windows headers,
// implemented by the simulation in this directory. Each area has its own
// header; this one gathers them.
#pragma once

#include "win_types.h"
#include "win_errors.h"
#include "win_kernel.h"
#include "win_user.h"
#include "win_services.h"
#include "win_privileges.h"
#include "win_sysinfo.h"
#include "win_eventlog.h"
#include "win_security.h"
#include "win_registry.h"
#include "win_winsock.h"
#include "win_icmp.h"
#include "win_files.h"
#include "win_version.h"
