#pragma once
// Shared fixture of the KOACPI.DLL tests: every test runs against its own temporary store, and reads
// packages through the DLL's own element functions, the way the program does.
#include "KoAcpi.h"
#include "KoAcpiControl.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// Lines the code under test writes with OutputDebugStringA, for one scope. The system raises a debug-print
// exception for each line, which a vectored handler sees before the system's own handling.
class TDebugCapture {
public:
  TDebugCapture();
  ~TDebugCapture();
  TDebugCapture(const TDebugCapture&) = delete;
  TDebugCapture& operator=(const TDebugCapture&) = delete;

  const std::vector<std::string>& Lines() const;
  std::string All() const;

private:
  void* m_handler;
};

std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

class KoAcpiTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Replaces the BIOS; fails the test when the layout is refused.
  void LoadLayout(const std::string& json);
  // What KoSimLoadLayout answers, with the error text.
  bool TryLoadLayout(const std::string& json, std::string& error);
  std::string Layout();
  std::string CallLog();
  uint32_t Value(uint32_t id);

  // A whole package fetched into a 4096-byte buffer, cut to the size reported.
  std::vector<uint8_t> Group(uint32_t group);
  // The descriptor of an item, found by walking its group.
  std::vector<uint8_t> Descriptor(uint32_t id);

  TTempFile m_store{".json"};
};

// Package reading through the element functions.
void* ElementAt(void* package, unsigned index);
uint32_t IntAt(void* package, unsigned index);
std::string TextAt(void* package, unsigned index);
std::vector<uint32_t> IntegersOf(void* package);

// Raw package bytes in the DLL's layout, for packages the DLL would never write.
struct TRawElement {
  uint32_t Type;
  std::string Payload; // padded by the test itself when it wants to
};
std::vector<uint8_t> RawPackage(const std::vector<TRawElement>& elements);
