// Start-up of the monitor: turns the command line into either an orderly exit or a
// printer to watch.
#pragma once

#include <windows.h>

#include "mainframe.h"

// Start-up delays, in milliseconds: a normal start; a start from the per-user Run key
// (/EF "HKCU"); and the extra wait of such a start when another monitor already runs.
constexpr DWORD STARTUP_DELAY_MS = 2000;
constexpr DWORD STARTUP_DELAY_FROM_RUN_MS = 100;
constexpr DWORD STARTUP_DELAY_OTHER_MONITOR_MS = 1500;

// Reads the command line (the text after the program name), waits the start-up delay and
// decides. With no printer to monitor (a named printer that the spooler says does not
// exist, or neither a printer nor a port name) it removes the start-up entry and deletes
// the /A parameter file when the raw command line holds "/A " or "/a ", and returns 0. A
// printer that the spooler cannot reach now is started all the same. Returns 0 as well
// when no model identifier is known. Otherwise it creates the frame's hidden window and runs its
// StartUp: 1 only when the monitor runs and the caller must enter the message loop. A
// printer that can never be served (StartUp -1) loses its start-up entry, its /A file and
// its tray icon setting; the frame is cleaned up whenever StartUp did not return 1.
//
// wideArgs (optional) is the same command line as the process received it in wide
// characters. When the ANSI code page cannot hold it exactly, or when the printer that does
// not open is what that code page makes of a listed printer's name, the names read are not
// the ones meant: it traces why and returns 0 before the delay or the decision, touching no
// start-up entry, target or file.
int InitInstance(const char* cmdLine, CMainFrame* frame, HINSTANCE instance, const wchar_t* wideArgs = nullptr);

// The arguments of a wide command line: the text after the program name (quoted or not)
// and the blanks that follow it.
const wchar_t* WideArguments(const wchar_t* commandLine);
