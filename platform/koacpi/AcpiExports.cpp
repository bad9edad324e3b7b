#include "KoAcpi.h"

#include "Simulator.h"

DWORD WINAPI AcpiInit()
{
  return GuardedCall<DWORD>(0, [](Simulator& bios) { return bios.Init(); });
}

DWORD WINAPI AcpiSetItem(DWORD id, DWORD value, DWORD commit)
{
  return GuardedCall<DWORD>(0, [&](Simulator& bios) { return bios.SetItem(id, value, commit); });
}

DWORD WINAPI AcpiGetItem(DWORD id, DWORD* value)
{
  return GuardedCall<DWORD>(0, [&](Simulator& bios) { return bios.GetItem(id, value); });
}

DWORD WINAPI AcpiGetInfo(void* buffer, DWORD* size)
{
  return GuardedCall<DWORD>(0, [&](Simulator& bios) { return bios.GetInfo(buffer, size); });
}

DWORD WINAPI AcpiGetGroup(DWORD group, void* buffer, DWORD* size)
{
  return GuardedCall<DWORD>(0, [&](Simulator& bios) { return bios.GetGroup(group, buffer, size); });
}

ACPI_ELEMENT WINAPI AcpiFirstElement(void* buffer)
{
  return GuardedCall<void*>(nullptr, [&](Simulator& bios) { return bios.FirstElement(buffer); });
}

DWORD WINAPI AcpiElementCount(void* buffer)
{
  return GuardedCall<DWORD>(0, [&](Simulator& bios) { return bios.ElementCount(buffer); });
}

void* WINAPI AcpiElementData(ACPI_ELEMENT element)
{
  return GuardedCall<void*>(nullptr, [&](Simulator& bios) { return bios.ElementData(element); });
}

ACPI_ELEMENT WINAPI AcpiNextElement(ACPI_ELEMENT element)
{
  return GuardedCall<void*>(nullptr, [&](Simulator& bios) { return bios.NextElement(element); });
}

DWORD WINAPI AcpiGetItemInfo(void* data, void* buffer, DWORD* size)
{
  return GuardedCall<DWORD>(0, [&](Simulator& bios) { return bios.GetItemInfo(data, buffer, size); });
}
