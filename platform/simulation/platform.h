// The one header through which product code reaches the system.
// Native build: the Win32 subset over our simulation, plus the C runtime
// redirections that let tests observe heap, standard output and exit.
#pragma once

#include "win32_api.h"
#include "win_crt.h"
