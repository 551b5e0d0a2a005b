// Targeting's facts on Windows against a second source: the token's
// membership as CheckTokenMembership tells it, the IPv4 address table, the
// site call itself. Under Wine the token is a local administrator's and there
// is no domain; what only a domain shows is listed in docs/windows-backend.md.
#include "platform/host/windows_api.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <dsgetdc.h>
#include <lm.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "document/targeting_values.h"
#include "platform/host/system_error_win32.h"
#include "platform/win32/system_info_win32.h"

namespace quillon::platform::win32 {
namespace {

bool Has(const std::vector<std::string>& values, const std::string& value) {
  return std::find(values.begin(), values.end(), value) != values.end();
}

struct AccountName {
  std::string domain, name;
};

AccountName NameOf(PSID sid) {
  wchar_t name[256] = {}, domain[256] = {};
  DWORD nameSize = 256, domainSize = 256;
  SID_NAME_USE use{};
  if (!LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) return {};
  return {Utf8(domain), Utf8(name)};
}

TEST(Win32TargetingFacts, UserGroupsAreTheTokensEnabledGroupsUnderBothNames) {
  Win32SystemInfo system;
  const TargetingFact groups = system.GetUserGroups();
  ASSERT_TRUE(groups.known) << groups.reason;
  EXPECT_FALSE(groups.fromDirectory);

  // Each well-known group is listed exactly when the token counts the user in
  // it, as "DOMAIN\name" and as the plain name a document mostly writes.
  int members = 0;
  bool qualified = false;
  for (WELL_KNOWN_SID_TYPE type :
       {WinWorldSid, WinBuiltinUsersSid, WinBuiltinAdministratorsSid, WinAuthenticatedUserSid,
        WinInteractiveSid, WinLocalSid, WinBuiltinGuestsSid, WinAnonymousSid}) {
    BYTE sid[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof sid;
    ASSERT_TRUE(CreateWellKnownSid(type, nullptr, sid, &size)) << type;
    const AccountName account = NameOf(sid);
    if (account.name.empty()) continue;  // a SID this system cannot name is left out
    BOOL member = FALSE;
    ASSERT_TRUE(CheckTokenMembership(nullptr, sid, &member)) << account.name;
    EXPECT_EQ(Has(groups.values, account.name), member != FALSE) << account.name;
    if (!account.domain.empty()) {
      const std::string full = account.domain + "\\" + account.name;
      EXPECT_EQ(Has(groups.values, full), member != FALSE) << full;
      qualified = qualified || member != FALSE;
    }
    members += member ? 1 : 0;
  }
  // Everyone is in every token; a builtin group names its domain.
  BYTE world[SECURITY_MAX_SID_SIZE] = {};
  DWORD worldSize = sizeof world;
  ASSERT_TRUE(CreateWellKnownSid(WinWorldSid, nullptr, world, &worldSize));
  EXPECT_TRUE(Has(groups.values, NameOf(world).name));
  EXPECT_GE(members, 2);
  EXPECT_TRUE(qualified);

  // The logon session's SID is in the token but is no group to target.
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  std::vector<std::uint64_t> buffer(4096);
  DWORD used = 0;
  ASSERT_TRUE(GetTokenInformation(token, TokenGroups, buffer.data(),
                                  static_cast<DWORD>(buffer.size() * sizeof buffer[0]), &used));
  CloseHandle(token);
  const auto* tokenGroups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  for (DWORD i = 0; i < tokenGroups->GroupCount; ++i) {
    const SID_AND_ATTRIBUTES& group = *(tokenGroups->Groups + i);
    if ((group.Attributes & SE_GROUP_LOGON_ID) != SE_GROUP_LOGON_ID) continue;
    const AccountName logon = NameOf(group.Sid);
    if (!logon.name.empty()) {
      EXPECT_FALSE(Has(groups.values, logon.name)) << logon.name;
    }
  }
}

// A group the token holds for denying only, as in an administrator's
// UAC-filtered token, is no group the user is targeted by.
TEST(Win32TargetingFacts, AGroupForDenyingOnlyDoesNotCount) {
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(),
                               TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY, &token));
  BYTE users[SECURITY_MAX_SID_SIZE] = {};
  DWORD usersSize = sizeof users;
  ASSERT_TRUE(CreateWellKnownSid(WinBuiltinUsersSid, nullptr, users, &usersSize));
  SID_AND_ATTRIBUTES disable{users, 0};
  HANDLE filtered = nullptr;
  ASSERT_TRUE(CreateRestrictedToken(token, 0, 1, &disable, 0, nullptr, 0, nullptr, &filtered));
  const TargetingFact full = TokenGroupNames(token);
  const TargetingFact less = TokenGroupNames(filtered);
  CloseHandle(filtered);
  CloseHandle(token);
  const AccountName name = NameOf(users);
  ASSERT_FALSE(name.name.empty());
  ASSERT_TRUE(full.known && less.known) << full.reason << less.reason;
  EXPECT_TRUE(Has(full.values, name.name));
  EXPECT_FALSE(Has(less.values, name.name));
  EXPECT_FALSE(Has(less.values, name.domain + "\\" + name.name));
  // Everything else stays.
  std::vector<std::string> rest = full.values;
  std::erase(rest, name.name);
  std::erase(rest, name.domain + "\\" + name.name);
  EXPECT_EQ(less.values, rest);

  // A handle that is no token: the system's words, never a list.
  const TargetingFact none = TokenGroupNames(nullptr);
  EXPECT_FALSE(none.known);
  EXPECT_NE(none.reason.find(SystemErrorText(ERROR_INVALID_HANDLE)), std::string::npos)
      << none.reason;
}

std::string Dotted(DWORD networkOrder) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&networkOrder);
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
  return text;
}

TEST(Win32TargetingFacts, AddressesAreTheUpAdaptersOwnAsTheEngineReadsThem) {
  Win32SystemInfo system;
  const TargetingFact addresses = system.GetAddresses();
  ASSERT_TRUE(addresses.known) << addresses.reason;
  for (const std::string& text : addresses.values) {
    EXPECT_TRUE(document::ParseAddress(text).has_value()) << text;
    EXPECT_EQ(text.find('%'), std::string::npos) << text;
    EXPECT_FALSE(text.starts_with("127.") || text == "::1") << text;
  }

  // The IPv4 address table: each address of an adapter that is up and not
  // the loopback one is among the facts, and no other IPv4 address is.
  ULONG size = 0;
  ASSERT_EQ(GetIpAddrTable(nullptr, &size, FALSE), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  std::vector<std::uint64_t> buffer(size / sizeof(std::uint64_t) + 1);
  size = static_cast<ULONG>(buffer.size() * sizeof(std::uint64_t));
  auto* table = reinterpret_cast<MIB_IPADDRTABLE*>(buffer.data());
  ASSERT_EQ(GetIpAddrTable(table, &size, FALSE), static_cast<DWORD>(NO_ERROR));
  std::vector<std::string> expected;
  for (DWORD i = 0; i < table->dwNumEntries; ++i) {
    const MIB_IPADDRROW& row = *(table->table + i);
    MIB_IF_ROW2 adapter{};
    adapter.InterfaceIndex = row.dwIndex;
    if (GetIfEntry2(&adapter) != NO_ERROR) continue;
    if (adapter.Type == IF_TYPE_SOFTWARE_LOOPBACK || adapter.OperStatus != IfOperStatusUp) continue;
    expected.push_back(Dotted(row.dwAddr));
  }
  std::vector<std::string> v4;
  for (const std::string& text : addresses.values) {
    if (text.find(':') == std::string::npos) v4.push_back(text);
  }
  std::sort(expected.begin(), expected.end());
  std::sort(v4.begin(), v4.end());
  EXPECT_EQ(v4, expected);
  // The machines the tests run on have a network besides the loopback one.
  EXPECT_FALSE(expected.empty());
}

TEST(Win32TargetingFacts, SiteIsTheSystemsAndComputerGroupsAreTheDirectorys) {
  Win32SystemInfo system;
  const TargetingFact site = system.GetSiteName();
  wchar_t* name = nullptr;
  const DWORD error = DsGetSiteNameW(nullptr, &name);
  if (error == ERROR_SUCCESS) {
    // A computer in a domain.
    ASSERT_TRUE(site.known) << site.reason;
    EXPECT_EQ(site.values, std::vector<std::string>{Utf8(name)});
    NetApiBufferFree(name);
  } else {
    // Outside a domain (Wine has none): unknown, in the system's words.
    EXPECT_FALSE(site.known);
    EXPECT_TRUE(site.values.empty());
    EXPECT_NE(site.reason.find(SystemErrorText(error)), std::string::npos) << site.reason;
  }
  EXPECT_FALSE(site.fromDirectory);

  // The computer account's groups: not in this process's token, so the
  // engine asks the document's directory.
  const TargetingFact groups = system.GetComputerGroups();
  EXPECT_FALSE(groups.known);
  EXPECT_TRUE(groups.fromDirectory);
  EXPECT_FALSE(groups.reason.empty());
}

}  // namespace
}  // namespace quillon::platform::win32
