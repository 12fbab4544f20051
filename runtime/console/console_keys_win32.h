// The console control handler, visible to the tests that deliver notifications to it.
#pragma once
#include <windows.h>

// Close, log-off and shut-down become the close key (TRUE); everything else keeps the
// system's default handling (FALSE).
BOOL WINAPI console_ctrl_handler(DWORD ctrl_type);
