// OpenURL: the shell first, then the registered web-page command read from the real
// registry, with the process start recorded; and the registry read beneath it.
#include "links/OpenURL.h"

#include <gtest/gtest.h>
#include <shellapi.h>

#include <cstring>
#include <string>

#include "tests/windows/links/LinkTestSupport.h"

namespace {
constexpr char kUrl[] = "http://www.keymoor.example/";
constexpr char kProgram[] = "\"C:\\Program Files\\Web Browser\\browser.exe\"";

class OpenURLTest : public ::testing::Test {
 protected:
  OpenURLTest() {
    services.shellAnswer = SE_ERR_NOASSOC;  // the shell cannot open it: the fallback runs
    services.runAnswer = 33;
  }
  CRecordingServices services;
  CScopedServices scope{services};
  CWebClassGuard webClass;
};
}  // namespace

TEST_F(OpenURLTest, ShellSuccessIsReturnedAndNothingElseRuns) {
  services.shellAnswer = 42;
  webClass.Register("never.exe \"%1\"");
  EXPECT_EQ(OpenURL(kUrl, SW_SHOW), 42);
  ASSERT_EQ(services.shellOpens.size(), 1u);
  EXPECT_EQ(services.shellOpens[0], kUrl);
  EXPECT_EQ(services.shellShow, SW_SHOW);
  EXPECT_TRUE(services.commandLines.empty());
}

TEST_F(OpenURLTest, RegisteredCommandIsCutAtThePlaceholderAndGetsTheUrl) {
  struct Case {
    std::string registered;
    std::string launched;
  };
  const std::string p = kProgram;
  const Case cases[] = {
      // Quoted placeholder: the blank before it stays, so two blanks stand before the URL.
      {p + " \"%1\"", p + "  " + kUrl},
      // Whatever follows the placeholder is lost, quoted or not.
      {p + " \"%1\" -x", p + "  " + kUrl},
      {p + " %1 -x", p + "  " + kUrl},
      // No placeholder: the whole command, one blank, the URL.
      {p, p + " " + kUrl},
      {p + " -new", p + " -new " + kUrl},
      // The quoted form is looked for first, even behind a bare one.
      {"app.exe %1x \"%1\"", std::string("app.exe %1x  ") + kUrl},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.registered);
    webClass.Register(c.registered);
    services.commandLines.clear();
    EXPECT_EQ(OpenURL(kUrl, SW_SHOW), 33);
    ASSERT_EQ(services.commandLines.size(), 1u);
    EXPECT_EQ(services.commandLines[0], c.launched);
  }
}

TEST_F(OpenURLTest, LauncherResultIsReturnedUnchanged) {
  webClass.Register("browser.exe \"%1\"");
  services.runAnswer = ERROR_FILE_NOT_FOUND;
  EXPECT_EQ(OpenURL(kUrl, SW_SHOW), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(services.commandLines.size(), 1u);
}

TEST_F(OpenURLTest, WithoutAReadableCommandTheShellCodeIsReturnedAndNothingStarts) {
  webClass.Unregister();
  EXPECT_EQ(OpenURL(kUrl, SW_SHOW), SE_ERR_NOASSOC);
  services.shellAnswer = SE_ERR_FNF;
  EXPECT_EQ(OpenURL(kUrl, SW_SHOW), SE_ERR_FNF);

  webClass.RegisterWithoutCommand();
  EXPECT_EQ(OpenURL(kUrl, SW_SHOW), SE_ERR_FNF);
  EXPECT_TRUE(services.commandLines.empty());
}

TEST_F(OpenURLTest, CommandLineThatDoesNotFitStartsNothing) {
  // The longest command the fallback reads (259 characters) with a 259-character URL fills
  // the 520-byte buffer exactly; one URL character more does not fit.
  const std::string command = "b.exe " + std::string(253, 'c');
  ASSERT_EQ(command.size(), 259u);
  webClass.Register(command);
  const std::string url = "http://" + std::string(252, 'u');
  ASSERT_EQ(url.size(), 259u);
  EXPECT_EQ(OpenURL(url, SW_SHOW), 33);
  ASSERT_EQ(services.commandLines.size(), 1u);
  EXPECT_EQ(services.commandLines[0], command + " " + url);

  EXPECT_EQ(OpenURL(url + "u", SW_SHOW), SE_ERR_NOASSOC);
  EXPECT_EQ(services.commandLines.size(), 1u);

  // A registered command longer than 259 characters is not read at all.
  webClass.Register(command + "c");
  EXPECT_EQ(OpenURL(kUrl, SW_SHOW), SE_ERR_NOASSOC);
  EXPECT_EQ(services.commandLines.size(), 1u);
}

TEST(FindQuotedPlaceholderTest, MatchNeverStartsInsideADoubleByteCharacter) {
  // In code page 932, 0x81 leads a double-byte character that takes the quote after it.
  const char command[] = "P\x81\"%1\" \"%1\"";
  EXPECT_EQ(FindQuotedPlaceholder(command, 932), command + 7);
  EXPECT_EQ(FindQuotedPlaceholder(command, 1252), command + 2);
  EXPECT_EQ(FindQuotedPlaceholder("P %1", 1252), nullptr);
  EXPECT_EQ(FindQuotedPlaceholder("P \"%1", 1252), nullptr);
}

TEST_F(OpenURLTest, ReadRegistryDefaultReadsStringsThatFitAndOtherwiseLeavesOutAlone) {
  const std::string key = std::string(CWebClassGuard::kClass) + "\\value";
  char out[300] = "untouched";

  EXPECT_NE(ReadRegistryDefault(HKEY_CLASSES_ROOT, "KeymoorLinksTest.none", out, sizeof(out)), ERROR_SUCCESS);
  EXPECT_STREQ(out, "untouched");

  const std::string longest(259, 'x');
  ASSERT_TRUE(SetClassesRootDefault(key, longest));
  EXPECT_EQ(ReadRegistryDefault(HKEY_CLASSES_ROOT, key.c_str(), out, sizeof(out)), ERROR_SUCCESS);
  EXPECT_EQ(std::string(out), longest);
  char small[100] = "untouched";
  EXPECT_NE(ReadRegistryDefault(HKEY_CLASSES_ROOT, key.c_str(), small, sizeof(small)), ERROR_SUCCESS);
  EXPECT_STREQ(small, "untouched");

  std::strcpy(out, "untouched");
  ASSERT_TRUE(SetClassesRootDefault(key, longest + "x"));
  EXPECT_NE(ReadRegistryDefault(HKEY_CLASSES_ROOT, key.c_str(), out, sizeof(out)), ERROR_SUCCESS);
  EXPECT_STREQ(out, "untouched");

  // 260 bytes stored without a terminating zero do not fit either.
  ASSERT_TRUE(SetClassesRootValue(key, REG_SZ, std::string(260, 'y').data(), 260));
  EXPECT_NE(ReadRegistryDefault(HKEY_CLASSES_ROOT, key.c_str(), out, sizeof(out)), ERROR_SUCCESS);
  EXPECT_STREQ(out, "untouched");

  const DWORD number = 7;
  ASSERT_TRUE(SetClassesRootValue(key, REG_DWORD, &number, sizeof(number)));
  EXPECT_NE(ReadRegistryDefault(HKEY_CLASSES_ROOT, key.c_str(), out, sizeof(out)), ERROR_SUCCESS);
  EXPECT_STREQ(out, "untouched");

  // The path may live in the output buffer, as in OpenURL.
  ASSERT_TRUE(SetClassesRootDefault(key, "short"));
  std::strcpy(out, key.c_str());
  EXPECT_EQ(ReadRegistryDefault(HKEY_CLASSES_ROOT, out, out, sizeof(out)), ERROR_SUCCESS);
  EXPECT_STREQ(out, "short");
}
