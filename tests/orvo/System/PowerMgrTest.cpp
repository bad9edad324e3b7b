#include "System/PowerMgr.h"

#include "Handles.h"
#include "SysApi.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Hex(unsigned value)
{
  char text[16];
  std::snprintf(text, sizeof(text), "0x%X", value);
  return text;
}

bool HandleIsOpen(HANDLE handle)
{
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != FALSE;
}

// Every token and reboot call goes to a recorder here; none reaches the system. Tokens are real kernel
// handles (events) so that closing them can be seen.
class TPowerTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    SysApi().OpenProcessToken = [this](HANDLE process, DWORD access, PHANDLE token) {
      Log.push_back("open " + Hex(access) + (process == GetCurrentProcess() ? " self" : " other"));
      if (OpenFails) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
      }
      *token = CreateEventA(nullptr, TRUE, FALSE, nullptr);
      Tokens.push_back(*token);
      return TRUE;
    };
    SysApi().LookupPrivilegeValueA = [this](LPCSTR system, LPCSTR name, PLUID luid) {
      Log.push_back(std::string("lookup ") + name + " on " + (system ? system : "local"));
      if (LookupFails) {
        SetLastError(ERROR_NO_SUCH_PRIVILEGE);
        return FALSE;
      }
      luid->LowPart = 19;
      luid->HighPart = 0;
      return TRUE;
    };
    SysApi().AdjustTokenPrivileges = [this](HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES state, DWORD length,
                                            PTOKEN_PRIVILEGES previous, PDWORD returned) {
      std::string entry = "adjust";
      entry += HandleIsOpen(token) && !Tokens.empty() && token == Tokens.back() ? " token" : " BAD-TOKEN";
      entry += disableAll ? " all" : "";
      if (state)
        entry += " count " + std::to_string(state->PrivilegeCount) + " luid " +
                 std::to_string(state->Privileges[0].Luid.LowPart) + " attr " +
                 std::to_string(state->Privileges[0].Attributes);
      if (length || previous || returned)
        entry += " previous";
      Log.push_back(entry);
      SetLastError(AdjustError);
      return AdjustResult;
    };
    SysApi().ExitWindowsEx = [this](UINT flags, DWORD reason) {
      Log.push_back("exit " + Hex(flags) + " reason " + Hex(reason));
      return ExitResult;
    };
    SysApi().GetVersionExA = [this](LPOSVERSIONINFOA info) {
      VersionSizes.push_back(info->dwOSVersionInfoSize);
      if (!VersionKnown)
        return FALSE;
      info->dwPlatformId = PlatformId;
      return TRUE;
    };
  }

  void TearDown() override
  {
    for (HANDLE token : Tokens)
      EXPECT_FALSE(HandleIsOpen(token)) << "token left open";
  }

  TSysApiScope Scope;
  std::vector<std::string> Log;
  std::vector<HANDLE> Tokens;
  bool OpenFails = false;
  bool LookupFails = false;
  DWORD AdjustError = ERROR_SUCCESS;
  BOOL AdjustResult = TRUE;
  BOOL ExitResult = TRUE;
  // The platform GetVersionExA reports; a failed call reports nothing.
  bool VersionKnown = true;
  DWORD PlatformId = VER_PLATFORM_WIN32_NT;
  std::vector<DWORD> VersionSizes;
};

const std::vector<std::string> kEnable = {"open 0x28 self", "lookup SeShutdownPrivilege on local",
                                          "adjust token count 1 luid 19 attr 2"};
const std::vector<std::string> kDisable = {"open 0x28 self", "lookup SeShutdownPrivilege on local",
                                           "adjust token count 1 luid 19 attr 0"};

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts)
{
  std::vector<std::string> all;
  for (const auto& part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

} // namespace

// --- Flags ---------------------------------------------------------------------------------------------

TEST(PowerFlags, ForceModeSelectsTheForceOption)
{
  struct TCase {
    UINT Base;
    int ForceMode;
    UINT Expected;
  };
  const TCase cases[] = {
      {EWX_REBOOT, 0, 0x2}, {EWX_REBOOT, 1, 0x6}, {EWX_REBOOT, 2, 0x12}, {EWX_REBOOT, -1, 0x12},
      {EWX_REBOOT, 7, 0x12}, {EWX_SHUTDOWN, 1, 0x5}, {0, 0, 0},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(orvo::ExitFlags(c.Base, c.ForceMode), c.Expected) << c.Base << " mode " << c.ForceMode;
}

// --- The restart request -------------------------------------------------------------------------------

TEST_F(TPowerTest, RestartEnablesThePrivilegeAroundTheRequest)
{
  EXPECT_TRUE(orvo::RestartSystem(0, 0));
  EXPECT_EQ(Log, Join({kEnable, {"exit 0x2 reason 0x0"}, kDisable}));
  EXPECT_EQ(Tokens.size(), 2u);
}

TEST_F(TPowerTest, ForceModeAndReasonReachTheRequest)
{
  const std::pair<int, std::string> cases[] = {{0, "exit 0x2 reason 0x80020003"},
                                               {1, "exit 0x6 reason 0x80020003"},
                                               {2, "exit 0x12 reason 0x80020003"}};
  for (const auto& [mode, request] : cases) {
    Log.clear();
    EXPECT_TRUE(orvo::RestartSystem(mode, 0x80020003));
    EXPECT_EQ(Log, Join({kEnable, {request}, kDisable}));
  }
}

TEST_F(TPowerTest, EveryFailureIsFalseAndOnlyAnEnabledPrivilegeLeadsToARequest)
{
  struct TCase {
    const char* Name;
    bool OpenFails;
    bool LookupFails;
    DWORD AdjustError;
    BOOL AdjustResult;
    BOOL ExitResult;
    std::vector<std::string> Expected;
  };
  const std::vector<std::string> openOnly = {"open 0x28 self"};
  const std::vector<std::string> lookupOnly = {"open 0x28 self", "lookup SeShutdownPrivilege on local"};
  const TCase cases[] = {
      {"token not opened", true, false, ERROR_SUCCESS, TRUE, TRUE, Join({openOnly, openOnly})},
      {"privilege unknown", false, true, ERROR_SUCCESS, TRUE, TRUE, Join({lookupOnly, lookupOnly})},
      {"privilege not held", false, false, ERROR_NOT_ALL_ASSIGNED, TRUE, TRUE, Join({kEnable, kDisable})},
      {"adjusting refused", false, false, ERROR_INVALID_HANDLE, FALSE, TRUE, Join({kEnable, kDisable})},
      {"request refused", false, false, ERROR_SUCCESS, TRUE, FALSE,
       Join({kEnable, {"exit 0x2 reason 0x0"}, kDisable})},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Log.clear();
    OpenFails = c.OpenFails;
    LookupFails = c.LookupFails;
    AdjustError = c.AdjustError;
    AdjustResult = c.AdjustResult;
    ExitResult = c.ExitResult;
    EXPECT_FALSE(orvo::RestartSystem(0, 0));
    EXPECT_EQ(Log, c.Expected);
  }
}

// --- Enabling and disabling one privilege --------------------------------------------------------------

TEST_F(TPowerTest, OnePrivilegeIsLookedUpOnTheNamedSystemAndChanged)
{
  struct TCase {
    const char* Name;
    bool OpenFails;
    bool LookupFails;
    bool (*Call)();
    bool Expected;
    std::vector<std::string> Log;
  };
  const std::vector<std::string> open = {"open 0x28 self"};
  const TCase cases[] = {
      {"enable", false, false, [] { return orvo::EnablePrivilege("SeDebugPrivilege", "server"); }, true,
       Join({open, {"lookup SeDebugPrivilege on server", "adjust token count 1 luid 19 attr 2"}})},
      {"disable", false, false, [] { return orvo::DisablePrivilege("SeDebugPrivilege", nullptr); }, true,
       Join({open, {"lookup SeDebugPrivilege on local", "adjust token count 1 luid 19 attr 0"}})},
      {"enable unknown", false, true, [] { return orvo::EnableShutdownPrivilege(); }, false,
       Join({open, {"lookup SeShutdownPrivilege on local"}})},
      // Nothing to disable: success.
      {"disable unknown", false, true, [] { return orvo::DisableShutdownPrivilege(); }, true,
       Join({open, {"lookup SeShutdownPrivilege on local"}})},
      {"enable, no token", true, false, [] { return orvo::EnableShutdownPrivilege(); }, false, open},
      {"disable, no token", true, false, [] { return orvo::DisableShutdownPrivilege(); }, false, open},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Log.clear();
    OpenFails = c.OpenFails;
    LookupFails = c.LookupFails;
    EXPECT_EQ(c.Call(), c.Expected);
    EXPECT_EQ(Log, c.Log);
  }
}

// The process's real token, opened and looked up by the system; only the change and the request are
// recorded. Repeated calls must not leave token handles behind.
TEST_F(TPowerTest, RealTokenHandlesAreClosed)
{
  SysApi().OpenProcessToken = [this](HANDLE process, DWORD access, PHANDLE token) {
    const BOOL opened = ::OpenProcessToken(process, access, token);
    if (opened)
      Tokens.push_back(*token);
    return opened;
  };
  SysApi().LookupPrivilegeValueA = ::LookupPrivilegeValueA;
  std::vector<HANDLE> adjusted;
  SysApi().AdjustTokenPrivileges = [&](HANDLE token, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD) {
    adjusted.push_back(token);
    EXPECT_TRUE(HandleIsOpen(token));
    SetLastError(ERROR_SUCCESS);
    return TRUE;
  };
  for (int i = 0; i < 10; ++i)
    EXPECT_TRUE(orvo::RestartSystem(0, 0));
  EXPECT_EQ(Tokens.size(), 20u);
  EXPECT_EQ(adjusted, Tokens);
  // TearDown checks that every one of them is closed.
}

// --- The platform ----------------------------------------------------------------------------------------

TEST_F(TPowerTest, OnlyTheNtPlatformHasAPrivilegeToChange)
{
  struct TCase {
    const char* Name;
    bool Known;
    DWORD PlatformId;
    bool Nt;
  };
  const TCase cases[] = {
      {"NT", true, VER_PLATFORM_WIN32_NT, true},
      {"9x", true, VER_PLATFORM_WIN32_WINDOWS, false},
      {"Win32s", true, VER_PLATFORM_WIN32s, false},
      {"call failed", false, VER_PLATFORM_WIN32_NT, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    VersionKnown = c.Known;
    PlatformId = c.PlatformId;
    VersionSizes.clear();
    EXPECT_EQ(orvo::IsNtPlatform(), c.Nt);
    EXPECT_EQ(VersionSizes, std::vector<DWORD>{148}) << "the record's size is given";
  }
}

TEST_F(TPowerTest, OffNtTheRequestIsMadeWithoutTouchingAToken)
{
  PlatformId = VER_PLATFORM_WIN32_WINDOWS;
  EXPECT_TRUE(orvo::RestartSystem(0, 0));
  EXPECT_EQ(Log, std::vector<std::string>{"exit 0x2 reason 0x0"});
  EXPECT_TRUE(Tokens.empty());
  EXPECT_TRUE(orvo::EnableShutdownPrivilege());
  EXPECT_TRUE(orvo::DisableShutdownPrivilege());
  Log.clear();
  ExitResult = FALSE;
  EXPECT_FALSE(orvo::RestartSystem(1, 0)) << "a refused request is still false";
  EXPECT_EQ(Log, std::vector<std::string>{"exit 0x6 reason 0x0"});
}
