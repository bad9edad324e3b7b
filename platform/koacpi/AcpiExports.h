#pragma once
// The ten BIOS operations as the program binds them: ordinals 1-7 and 9-11, exported by ordinal only
// (KOACPI-x64.def, KOACPI-i686.def), stdcall on i686.
#include <windows.h>

extern "C" {
DWORD WINAPI AcpiInit();                                             // 1
DWORD WINAPI AcpiSetItem(DWORD id, DWORD value, DWORD commit);       // 2
DWORD WINAPI AcpiGetItem(DWORD id, DWORD* value);                    // 3
DWORD WINAPI AcpiGetInfo(void* buffer, DWORD* size);                 // 4
DWORD WINAPI AcpiGetGroup(DWORD group, void* buffer, DWORD* size);   // 5
void* WINAPI AcpiFirstElement(void* buffer);                         // 6
DWORD WINAPI AcpiElementCount(void* buffer);                         // 7
void* WINAPI AcpiElementData(void* element);                         // 9
void* WINAPI AcpiNextElement(void* element);                         // 10
DWORD WINAPI AcpiGetItemInfo(void* data, void* buffer, DWORD* size); // 11
}
