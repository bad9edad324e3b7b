#pragma once
// The platform maker's BIOS access library, bound at load time and imported by ordinal only
// (1-7 and 9-11; KOACPI-x64.def, KOACPI-i686.def), stdcall on i686. Buffers belong to the caller; what a
// package holds is read only through the element functions. The program and the stand-in both build
// against these declarations, so a definition that differs from them does not compile.
#include <windows.h>

using ACPI_ELEMENT = void*;

extern "C" {
DWORD WINAPI AcpiInit();                                           // 1
DWORD WINAPI AcpiSetItem(DWORD id, DWORD value, DWORD commit);     // 2: bit 0 accepted; probe: bits 0+1 restart
DWORD WINAPI AcpiGetItem(DWORD id, DWORD* value);                  // 3: bit 0 success
DWORD WINAPI AcpiGetInfo(void* buffer, DWORD* size);               // 4
DWORD WINAPI AcpiGetGroup(DWORD group, void* buffer, DWORD* size); // 5: nonzero success
ACPI_ELEMENT WINAPI AcpiFirstElement(void* buffer);                // 6
DWORD WINAPI AcpiElementCount(void* buffer);                       // 7
void* WINAPI AcpiElementData(ACPI_ELEMENT element);                // 9
ACPI_ELEMENT WINAPI AcpiNextElement(ACPI_ELEMENT element);         // 10
DWORD WINAPI AcpiGetItemInfo(void* data, void* buffer, DWORD* size); // 11: nonzero success
}

// Every buffer handed to the library is this large, with the in/out size preset to it.
constexpr DWORD kAcpiBufferSize = 4096;
