// HKLM keys in either registry view.
//
// On 64-bit Windows, HKLM\Software has two views: what a 32-bit program writes there lands
// in the 32-bit view (Wow6432Node) and what a 64-bit program writes in the 64-bit view, and
// neither kind sees the other's keys unless it asks for that view. The driver's installer
// may be of either kind, as may the monitor: a key of the configuration is looked for in
// the program's own view first, then in the other. On 32-bit Windows there is one view and
// both lookups reach it.
#pragma once

#include <windows.h>

// The view of this program's own kind, and of the other kind.
constexpr REGSAM REG_VIEW_OWN = sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
constexpr REGSAM REG_VIEW_OTHER = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
// Both, in the order of every lookup.
constexpr REGSAM REG_VIEWS[] = {REG_VIEW_OWN, REG_VIEW_OTHER};
// Both, in one order for programs of either kind: for a value that a 32-bit and a 64-bit
// program must read alike when the views disagree (which instance table a printer uses).
constexpr REGSAM REG_VIEWS_FIXED_ORDER[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};

// Opens the existing HKLM key `path` with `access` in the given view (REG_VIEW_OWN or
// REG_VIEW_OTHER). The RegOpenKeyExA result; *key is null unless it is ERROR_SUCCESS.
LONG OpenMachineKeyInView(const char* path, REGSAM access, REGSAM view, HKEY* key);

// Opens the existing HKLM key `path` with `access`: in the own view when the key is there,
// else in the other view. Only a key missing from the own view sends the lookup on; a key
// that is there but refuses the access is not looked for elsewhere. So a later open of the
// same key for writing reaches the view that a value was read from. Returns the result of
// the last open; *view (optional) receives the view of the key opened, and is left as it
// was when none opened.
LONG OpenMachineKey(const char* path, REGSAM access, HKEY* key, REGSAM* view = nullptr);

// Opens the existing HKLM key `path` in the view whose key holds the value `valueName`: the
// own view's when it does, else the other view's; when neither does, as OpenMachineKey.
// For keys that several drivers or models share, one value each (the profile paths by
// model, the trace switch): the own view's key may exist without the value that an
// installer of the other kind wrote into the other view. *view as for OpenMachineKey.
LONG OpenMachineKeyFor(const char* path, const char* valueName, REGSAM access, HKEY* key, REGSAM* view = nullptr);
