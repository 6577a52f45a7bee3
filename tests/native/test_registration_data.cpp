// What unregistration removes, read from a registration script; and the paths that
// registration derives from the module's own path.
#include <gtest/gtest.h>

#include "common/mbcs.h"
#include "module/registry_script.h"
#include "module/server_paths.h"

namespace {

const char kScript[] =
    "HKCR\r\n{\r\n\tPelorin.Pelorin\r\n\t{\r\n\t\tCLSID = s '{408EA957-CF17-4D81-93AB-FDDA7ACDA90F}'\r\n\t}\r\n"
    "\tNoRemove CLSID\r\n\t{\r\n\t\tForceRemove {408EA957-CF17-4D81-93AB-FDDA7ACDA90F} = s 'Pelorin'\r\n\t\t{\r\n"
    "\t\t\tProgID = s 'Pelorin.Pelorin'\r\n\t\t\tForceRemove 'Programmable'\r\n"
    "\t\t\tInprocServer32 = s '%MODULE%'\r\n\t\t\t{\r\n\t\t\t\tval ThreadingModel = s 'Apartment'\r\n\t\t\t}\r\n"
    "\t\t}\r\n\t}\r\n}\r\n"
    "HKLM\r\n{\r\n\tNoRemove SOFTWARE\r\n\t{\r\n\t\tNoRemove Microsoft\r\n\t\t{\r\n"
    "\t\t\tNoRemove 'Internet Explorer'\r\n\t\t\t{\r\n\t\t\t\tNoRemove Toolbar\r\n\t\t\t\t{\r\n"
    "\t\t\t\t\tval {408EA957-CF17-4D81-93AB-FDDA7ACDA90F} = s ''\r\n\t\t\t\t}\r\n\t\t\t}\r\n\t\t}\r\n\t}\r\n}\r\n";

TEST(ScriptRemovals, TopRemovableKeysAndValuesUnderKeptKeys) {
    std::vector<ScriptRemoval> removals;
    ASSERT_TRUE(ReadScriptRemovals(kScript, &removals));
    ASSERT_EQ(removals.size(), 3u);
    EXPECT_EQ(removals[0].root, "HKCR");
    EXPECT_EQ(removals[0].path, std::vector<std::string>({"Pelorin.Pelorin"}));
    EXPECT_FALSE(removals[0].isValue);
    EXPECT_EQ(removals[1].root, "HKCR");
    EXPECT_EQ(removals[1].path,
              std::vector<std::string>({"CLSID", "{408EA957-CF17-4D81-93AB-FDDA7ACDA90F}"}));
    EXPECT_FALSE(removals[1].isValue);
    // The class key's own subkeys and values go with its tree; the toolbar value is named.
    EXPECT_EQ(removals[2].root, "HKLM");
    EXPECT_EQ(removals[2].path,
              std::vector<std::string>({"SOFTWARE", "Microsoft", "Internet Explorer", "Toolbar"}));
    EXPECT_TRUE(removals[2].isValue);
    EXPECT_EQ(removals[2].valueName, "{408EA957-CF17-4D81-93AB-FDDA7ACDA90F}");
}

TEST(ScriptRemovals, DeleteEntriesAndKeptKeysWithoutValuesRemoveNothing) {
    std::vector<ScriptRemoval> removals;
    ASSERT_TRUE(ReadScriptRemovals("HKCU { NoRemove Software { Delete Old NoRemove Kept } }", &removals));
    EXPECT_TRUE(removals.empty());
}

TEST(ScriptRemovals, BrokenScriptsAreRefusedWithNothingToRemove) {
    std::vector<ScriptRemoval> removals = {ScriptRemoval{}};
    EXPECT_FALSE(ReadScriptRemovals("HKCR { Unclosed { ", &removals));
    EXPECT_TRUE(removals.empty());
    EXPECT_FALSE(ReadScriptRemovals("HKCR { 'unterminated }", &removals));
    EXPECT_FALSE(ReadScriptRemovals("HKCR Key", &removals));
    EXPECT_FALSE(ReadScriptRemovals("HKCR { val Lonely }", &removals));
    EXPECT_TRUE(ReadScriptRemovals("", &removals));
    EXPECT_TRUE(removals.empty());
}

TEST(RegistrationPaths, TypeLibraryBesideTheModule) {
    EXPECT_EQ(TypeLibFallbackPath("C:\\a\\pelorin.beta.dll", IsCp932LeadByte), "C:\\a\\pelorin.beta.tlb");
    EXPECT_EQ(TypeLibFallbackPath("C:\\a\\pelorin", IsCp932LeadByte), "C:\\a\\pelorin.tlb");
    // 0x83 0x2E is one double-byte character whose trail byte is not a dot.
    EXPECT_EQ(TypeLibFallbackPath("C:\\x\x83\x2E" "y", IsCp932LeadByte), "C:\\x\x83\x2E" "y.tlb");
}

TEST(RegistrationPaths, HelpDirectoryKeepsItsLastSeparator) {
    EXPECT_EQ(HelpDirectoryOf("C:\\a\\b\\pelorin.beta.dll", IsCp932LeadByte), "C:\\a\\b\\");
    EXPECT_EQ(HelpDirectoryOf("C:/a/pelorin.tlb", IsCp932LeadByte), "C:/a/");
    EXPECT_EQ(HelpDirectoryOf("C:pelorin.tlb", IsCp932LeadByte), "C:");
    EXPECT_EQ(HelpDirectoryOf("pelorin.tlb", IsCp932LeadByte), "");
    // 表 (0x95 0x5C) ends in the backslash byte but is no separator.
    EXPECT_EQ(HelpDirectoryOf("C:\\d\\\x95\x5C.dll", IsCp932LeadByte), "C:\\d\\");
}

}  // namespace
