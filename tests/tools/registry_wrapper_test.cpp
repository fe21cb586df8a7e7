#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "tests/support/test_support.h"
#include "tools/registry.h"

using namespace tools;

namespace {

class RegistryWrapperTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("ORVAN_REGISTRY_FILE", dir_.file("registry.ini").c_str(), 1); }
    void TearDown() override { ::unsetenv("ORVAN_REGISTRY_FILE"); }

    testsupport::TempDir dir_;
};

TEST_F(RegistryWrapperTest, PathFormsOpenTheSameKey) {
    std::unique_ptr<CRegistryKey> key;
    ASSERT_TRUE(getRegistry().openKey(key, "HKEY_CURRENT_USER\\Software\\Orvan\\Test", 0, true));
    ASSERT_TRUE(key->setString("Name", "first", false));
    EXPECT_EQ(key->getAccess(), kKeyAllAccess);
    EXPECT_EQ(key->getHandleChain().size(), 4u);
    EXPECT_EQ(key->getHandleChain().front(), kHkeyCurrentUser);

    const char* forms[] = {"\\HKEY_CURRENT_USER\\Software\\Orvan\\Test", "/HKEY_CURRENT_USER/Software/Orvan/Test",
                           "hkey_current_user\\software\\orvan\\test", "HKEY_CURRENT_USER\\Software/Orvan\\Test"};
    for (const char* path : forms) {
        SCOPED_TRACE(path);
        EXPECT_TRUE(getRegistry().keyExists(path));
        char buf[32];
        std::uint32_t size = sizeof buf;
        ASSERT_TRUE(getRegistry().getValue(path, "Name", buf, &size));
        EXPECT_STREQ(buf, "first");
        EXPECT_EQ(size, 6u);  // with the terminating NUL
    }
    // One leading separator is dropped from the stored path.
    CRegistryKey viaSlash(getRegistry(), "/HKEY_CURRENT_USER/Software", 0);
    EXPECT_EQ(viaSlash.getPath(), "HKEY_CURRENT_USER/Software");

    std::unique_ptr<CRegistryKey> none;
    EXPECT_FALSE(getRegistry().openKey(none, "HKEY_NOWHERE\\Software", 0, true));
    EXPECT_FALSE(none);
    EXPECT_FALSE(getRegistry().keyExists("HKEY_CURRENT_USER\\Software\\Missing"));
    CRegistryKey missing(getRegistry(), "HKEY_CURRENT_USER\\Software\\Missing", 0);
    EXPECT_FALSE(missing.open(false));
    EXPECT_EQ(missing.getLastResult(), kRegFileNotFound);
    EXPECT_FALSE(missing.isOpen());
}

TEST_F(RegistryWrapperTest, DefaultValueTypesSizesAndAccess) {
    CRegistry& reg = getRegistry();
    std::unique_ptr<CRegistryKey> key;
    ASSERT_TRUE(reg.openKey(key, "HKEY_CLASSES_ROOT\\.orvtest", 0, true));
    // The default value (null name) is how a file type's command is found.
    ASSERT_TRUE(reg.setString("HKEY_CLASSES_ROOT\\.orvtest", nullptr, "orvtestfile", false));
    char buf[261];
    std::uint32_t size = sizeof buf;
    ASSERT_TRUE(reg.getValue("HKEY_CLASSES_ROOT\\.orvtest", nullptr, buf, &size));
    EXPECT_STREQ(buf, "orvtestfile");

    // Too small a buffer fails and tells the size needed.
    char small[4];
    size = sizeof small;
    EXPECT_FALSE(key->getValue(small, &size, nullptr));
    EXPECT_EQ(key->getLastResult(), kRegMoreData);
    EXPECT_EQ(size, 12u);

    ASSERT_TRUE(reg.setDword("HKEY_CLASSES_ROOT\\.orvtest", "Count", 0xDEADBEEF));
    std::uint32_t value = 0;
    ASSERT_TRUE(reg.getDword("HKEY_CLASSES_ROOT\\.orvtest", "Count", value));
    EXPECT_EQ(value, 0xDEADBEEFu);
    std::uint32_t type = 0;
    ASSERT_TRUE(key->getValueType("Count", type));
    EXPECT_EQ(type, kRegDword);
    EXPECT_TRUE(key->hasValue("Count"));
    EXPECT_FALSE(key->hasValue("Nothing"));
    EXPECT_FALSE(reg.getDword("HKEY_CLASSES_ROOT\\.orvtest", "Nothing", value));

    ASSERT_TRUE(key->setString("Path", "%HOME%\\x", true));
    ASSERT_TRUE(key->getValueType("Path", type));
    EXPECT_EQ(type, kRegExpandSz);

    // Writing into a missing key fails; so does writing through a read-only key.
    EXPECT_FALSE(reg.setString("HKEY_CLASSES_ROOT\\.missing", nullptr, "x", false));
    std::unique_ptr<CRegistryKey> readOnly;
    ASSERT_TRUE(reg.openKey(readOnly, "HKEY_CLASSES_ROOT\\.orvtest", kKeyRead, false));
    EXPECT_FALSE(readOnly->setDword("Count", 1));
    EXPECT_EQ(readOnly->getLastResult(), kRegAccessDenied);
    ASSERT_TRUE(reg.getDword("HKEY_CLASSES_ROOT\\.orvtest", "Count", value));
    EXPECT_EQ(value, 0xDEADBEEFu);

    EXPECT_TRUE(key->close());
    EXPECT_FALSE(key->isOpen());
    EXPECT_FALSE(key->hasValue("Count"));
    EXPECT_EQ(key->getLastResult(), kRegInvalidHandle);
}

TEST_F(RegistryWrapperTest, SubKeysCreateOpenEnumerateDelete) {
    std::unique_ptr<CRegistryKey> key;
    ASSERT_TRUE(getRegistry().openKey(key, "HKEY_CURRENT_USER\\Software\\Orvan", 0, true));

    KeyDisposition disposition{};
    std::unique_ptr<CRegistryKey> sub;
    ASSERT_TRUE(key->createSubKey(&sub, "Bars", false, 0, &disposition));
    EXPECT_EQ(disposition, KeyDisposition::CreatedNewKey);
    EXPECT_EQ(sub->getPath(), "HKEY_CURRENT_USER\\Software\\Orvan\\Bars");
    EXPECT_EQ(sub->getHandleChain().size(), 1u);
    ASSERT_TRUE(key->createSubKey(nullptr, "Bars", false, 0, &disposition));
    EXPECT_EQ(disposition, KeyDisposition::OpenedExistingKey);
    // Without a disposition an existing key counts as failure.
    EXPECT_FALSE(key->createSubKey(nullptr, "Bars", false, 0, nullptr));
    ASSERT_TRUE(key->createSubKey(nullptr, "Windows", false, 0, nullptr));

    EXPECT_TRUE(key->subKeyExists("bars"));
    EXPECT_FALSE(key->subKeyExists("Docks"));
    std::uint32_t count = 0, maxLen = 0;
    ASSERT_TRUE(key->subKeyCount(count));
    ASSERT_TRUE(key->maxSubKeyNameLength(maxLen));
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(maxLen, 7u);
    char name[16];
    std::uint32_t size = sizeof name;
    ASSERT_TRUE(key->enumSubKeyName(1, name, &size));
    EXPECT_STREQ(name, "Windows");
    size = sizeof name;
    EXPECT_FALSE(key->enumSubKeyName(2, name, &size));
    EXPECT_EQ(key->getLastResult(), kRegNoMoreItems);

    std::unique_ptr<CRegistryKey> opened;
    ASSERT_TRUE(key->openSubKey(opened, "Bars", kKeyRead));
    EXPECT_EQ(opened->getAccess(), kKeyRead);
    EXPECT_FALSE(key->openSubKey(opened, "Docks", 0));

    // A key with sub-keys is not deleted; a leaf is.
    ASSERT_TRUE(sub->createSubKey(nullptr, "Inner", false, 0, nullptr));
    EXPECT_FALSE(key->deleteSubKey("Bars"));
    EXPECT_TRUE(sub->deleteSubKey("Inner"));
    EXPECT_TRUE(key->deleteSubKey("Bars"));
    EXPECT_FALSE(key->subKeyExists("Bars"));
}

TEST(RegistryNames, RootsAndTypes) {
    EXPECT_STREQ(registryTypeName(4), "REG_DWORD");
    EXPECT_STREQ(registryTypeName(1), "REG_SZ");
    EXPECT_STREQ(registryTypeName(7), "REG_MULTI_SZ");
    EXPECT_STREQ(registryTypeName(9), "???");
    EXPECT_EQ(registryRootByName("hkey_local_machine"), kHkeyLocalMachine);
    EXPECT_EQ(registryRootByName("HKEY_SOMEWHERE"), 0u);
    EXPECT_STREQ(registryRootName(kHkeyDynData), "HKEY_DYN_DATA");
    EXPECT_STREQ(registryRootName(0x1234), "???");
    EXPECT_TRUE(isPredefinedRegistryRoot(kHkeyUsers));
    EXPECT_FALSE(isPredefinedRegistryRoot(0x1234));
}

TEST_F(RegistryWrapperTest, Dumps) {
    std::unique_ptr<CRegistryKey> key;
    ASSERT_TRUE(getRegistry().openKey(key, "HKEY_CURRENT_USER\\Software\\Dump", 0, true));
    {
        std::ostringstream os;
        key->dumpValues(os, "> ");
        EXPECT_EQ(os.str(), "> KEY VALUES (HKEY_CURRENT_USER\\Software\\Dump):\n- <none>\n");
    }
    ASSERT_TRUE(key->setString("Title", "Main", false));
    ASSERT_TRUE(key->setDword("Width", 640));
    std::unique_ptr<CRegistryKey> sub;
    ASSERT_TRUE(key->createSubKey(&sub, "Bars", false, 0, nullptr));
    ASSERT_TRUE(sub->setString(nullptr, "standard", false));
    ASSERT_TRUE(sub->setDword("Visible", 1));
    {
        std::ostringstream os;
        key->dumpValues(os, "> ");
        EXPECT_EQ(os.str(),
                  "> KEY VALUES (HKEY_CURRENT_USER\\Software\\Dump):\n"
                  "> - 'Title' ; type=REG_SZ ; size=5\n"
                  "> - 'Width' ; type=REG_DWORD ; size=4\n");
    }
    {
        std::ostringstream os;
        key->dumpSubKeys(os, "");
        EXPECT_EQ(os.str(), "SUB-KEYS (HKEY_CURRENT_USER\\Software\\Dump):\n- 'Bars'\n");
    }
    {
        std::ostringstream os;
        key->dumpInfo(os, false, "");
        EXPECT_EQ(os.str(),
                  "REGISTRY KEY (HKEY_CURRENT_USER\\Software\\Dump):\n"
                  "- nSubKeys=1 ; maxSubKeyNameLen=4\n"
                  "- nKeyValues=2 ; maxKeyValueNameLen=5 ; maxKeyValueSize=5\n");
    }
    {
        std::ostringstream os;
        key->dumpTree(os, true, true, -1, "");
        EXPECT_EQ(os.str(),
                  "Title = 'Main'\n"
                  "Width = 0x00000280 (640)\n" +
                      std::string(79, '-') +
                      "\n\n"
                      "[Bars] = 'standard'\n"
                      "  Visible = 0x00000001 (1)\n"
                      "\n");
    }
    {
        std::ostringstream os;
        key->dumpTree(os, false, false, 0, "");
        EXPECT_EQ(os.str(), "[Bars]\n\n");
    }
    key->close();
    std::ostringstream os;
    key->dumpInfo(os, true, "");
    EXPECT_EQ(os.str(), "REGISTRY KEY (HKEY_CURRENT_USER\\Software\\Dump):\n- HKEY's: <none>\n- key closed.\n");
}

}  // namespace
