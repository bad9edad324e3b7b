#pragma once
// Control interface of the stand-in KOACPI.DLL, for tests and tools only (the program never uses it).
// These functions are exported by name (cdecl); the ten BIOS operations are exported by ordinal only.
//
// Layout JSON (the same format is the persistent store):
// {
//   "info": [1, 538313985, 2, "text", ...],        information package: numbers -> integer elements,
//                                                  strings -> text elements; element 2 is the info code
//   "groups": {
//     "0x0F": [ item, ... ],                       group number as hex text; items in the group's order
//     "0x05": { "items": [ item, ... ],            object form: "package" replaces the group package
//               "package": [ 1, "x", ... ] }       with exactly these elements (malformed groups)
//   }
// }
// item:
// {
//   "id": "0x0F080000",                            hex text or number; kind = bits 19-16 (8 string,
//                                                  7 boolean, else number)
//   "value": 2, "default": 2,                      current and default value (an option index)
//   "options": ["Standard", ...],                  string items: the option texts
//   "base": 0, "step": 1, "exponent": 0,           number items: 24-bit base and step, exponent byte,
//   "count": 8, "extra": ["Auto"],                 numeric option count, extra strings
//   "restart": [0, 4],                             option indexes that take effect only after a restart
//   "min": 0, "max": 4,                            accepted values (default: 0 .. options - 1;
//                                                  boolean 0 .. 1)
//   "readable": true, "writable": true,            AcpiGetItem fails / AcpiSetItem refuses when false
//   "descriptor": [ 1, "x", ... ]                  optional: the descriptor package exactly as given
// }                                                (element 0 is then whatever the list says)
// Only "id" is required; "value" defaults to "default", which defaults to 0. An item is listed in the group
// its id names, once. Unknown keys, and keys of another kind ("options" on a number item), are refused, as
// are base/step outside -0x800000 .. 0xFFFFFF and an exponent outside -128 .. 255. Element lists take
// numbers from -2^31 to 2^32 - 1 (negative ones as their 32-bit pattern). A refused layout changes nothing.
//
// Descriptor packages built from the fields: 0 id, 1 and 2 the lowest and highest accepted value, 3 default,
// then string: S and S texts; boolean: nothing more; number: base word ((exponent byte << 24) | 24-bit
// base), step word (24-bit step), count, and when there are extra strings E and E texts.
//
// AcpiSetItem accepts a value when the item exists, is writable and the value is in range; commit 0 writes
// nothing, commit 1 writes and saves the store, any other commit is refused. A write that cannot be saved is
// refused and the old value kept: it would not survive a restart.
//
// Debugger output (OutputDebugStringA), one line each, starting "KOACPI: ": a damaged or unreadable store
// (naming the file, the reason and the backup), a refused layout (the same text as the error buffer), a
// write that could not be saved.
//
// Call log: one line per call of the ten operations, '\n'-terminated:
//   AcpiInit() = 1
//   AcpiSetItem(0x0f080000, 2, 1) = 0x1
//   AcpiGetItem(0x0f080000) = 0x1 -> 2             "-> value" only when a value was written
//   AcpiGetInfo(4096) = 1                          the size offered
//   AcpiGetGroup(0x0f, 4096) = 1
//   AcpiFirstElement() = ok | null
//   AcpiElementCount() = 5
//   AcpiElementData() = ok | null
//   AcpiNextElement() = ok | null
//   AcpiGetItemInfo(0x0f080000, 4096) = 1          the id read through the data pointer, "?" if invalid
// Ids are 0x%08x, groups 0x%02x, results of AcpiSetItem / AcpiGetItem 0x%x, everything else decimal. A size
// pointer that is null shows as "null", one that cannot be read as "?". The newest 65536 lines are kept.
// A call answered by an injected rule is logged like any other, with the injected result.
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Status results: 1 = done, 0 = failed (a reason goes to the debugger output and, where a text buffer is
// given, into it). Functions with buffer and *size: a null or too small buffer fails with *size = bytes
// needed, so a caller may ask with a null buffer first.

// Replaces the whole BIOS with the layout and saves it to the store.
int __cdecl KoSimLoadLayout(const char* json, char* error, uint32_t errorSize);
// Replaces the whole BIOS with the embedded default layout and saves it.
int __cdecl KoSimLoadDefault(void);
// Switches to another store file (null: KOACPI_STORE, else koacpi-store.json beside the DLL) and loads it;
// a missing file gives the default layout (the file appears with the first save); a damaged one is kept as
// "<path>.bad" (".bad.1", ".bad.2", ... when that exists) and replaced. 0 when the file can be neither read
// nor kept: the default layout is then in use and nothing is saved over the file.
int __cdecl KoSimUseStore(const char* path);
// Path of the store in use.
int __cdecl KoSimStorePath(char* buffer, uint32_t* size);
// The whole model as layout JSON. *size in: capacity; out: bytes needed including the terminator.
int __cdecl KoSimGetLayout(char* buffer, uint32_t* size);
// Current value of an item; 0 when there is no such item.
int __cdecl KoSimGetValue(uint32_t id, uint32_t* value);
// The call log since the last clear, as above. *size as for KoSimGetLayout.
int __cdecl KoSimGetCallLog(char* buffer, uint32_t* size);
void __cdecl KoSimClearCallLog(void);
// Makes calls of one ordinal (1-7, 9-11) answer `result` without doing anything (out-arguments untouched;
// element functions answer null or the count given). firstArgument selects the item id or group
// (0xFFFFFFFF: any call). times: how many calls, -1 for all. The newest matching rule wins.
// Only AcpiSetItem, AcpiGetItem, AcpiGetGroup and AcpiGetItemInfo (the id its data pointer leads to) can be
// selected by argument. A rule that could never apply (another ordinal, an argument for the other ordinals,
// times 0 or below -1) is refused with 0.
int __cdecl KoSimSetAnswer(uint32_t ordinal, uint32_t firstArgument, uint32_t result, int32_t times);
void __cdecl KoSimClearAnswers(void);

#ifdef __cplusplus
}
#endif

#define KOSIM_ANY_ARGUMENT 0xFFFFFFFFu
