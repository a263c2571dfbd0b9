// Reading the host key's values: every type and shape of data the registry can hold.
#include "fake_platform.h"
#include "startup/host_discovery.h"

#include <gtest/gtest.h>

namespace {

using platform::RegistryRoot;

class RegistryValueTest : public testing::Test {
protected:
    std::string read(platform::RegistryValue value) {
        fake.set_value(RegistryRoot::CurrentUser, "Test", "Value", std::move(value));
        const auto key =
            fake.open_key(RegistryRoot::CurrentUser, "Test", platform::RegistryAccess::QueryValue,
                          platform::RegistryView::Native);
        return MM_GetRegValue(key.get(), "Value");
    }
    fake::FakePlatform fake;
};

TEST_F(RegistryValueTest, StringsEndAtTheFirstNul) {
    EXPECT_EQ(read(fake::reg_sz("D:\\Data")), "D:\\Data");
    EXPECT_EQ(read(fake::reg_sz("")), "");
    EXPECT_EQ(read(fake::reg_sz(std::string("abc\0def", 7))), "abc");
    EXPECT_EQ(read(fake::reg_sz("D:\\Dätä\\Δ")), "D:\\Dätä\\Δ");
}

TEST_F(RegistryValueTest, StringWithoutTerminatorIsTakenWhole) {
    EXPECT_EQ(read(fake::reg_sz("D:\\Data", false)), "D:\\Data");
    EXPECT_EQ(read(fake::reg_bytes(platform::kRegSz, {})), "");
    // An odd byte count leaves a half character that is not part of the text.
    EXPECT_EQ(read(fake::reg_bytes(platform::kRegSz, {'A', 0, 'B'})), "A");
}

TEST_F(RegistryValueTest, BinaryGivesTheFirstTwoBytesAsASignedNumber) {
    EXPECT_EQ(read(fake::reg_bytes(platform::kRegBinary, {0x34, 0x12})), "4660");
    EXPECT_EQ(read(fake::reg_bytes(platform::kRegBinary, {0xFF, 0xFF})), "-1");
    EXPECT_EQ(read(fake::reg_bytes(platform::kRegBinary, {0x07})), "7");
    EXPECT_EQ(read(fake::reg_bytes(platform::kRegBinary, {0x00, 0x80, 0x55, 0x66})), "-32768");
    EXPECT_EQ(read(fake::reg_bytes(platform::kRegBinary, {})), "0");
}

TEST_F(RegistryValueTest, OtherTypesGiveEmptyText) {
    auto expand = fake::reg_sz("%APPDATA%\\Vesk");
    expand.type = platform::kRegExpandSz;
    EXPECT_EQ(read(expand), "");
    EXPECT_EQ(read(fake::reg_bytes(platform::kRegDword, {1, 0, 0, 0})), "");
    EXPECT_EQ(read(fake::reg_bytes(7, {'a', 0, 0, 0})), "");
}

TEST_F(RegistryValueTest, AbsentValueOrNoKeyGivesEmptyText) {
    EXPECT_EQ(MM_GetRegValue(nullptr, "AppData Path"), "");
    fake.add_key(RegistryRoot::CurrentUser, "Empty");
    const auto key =
        fake.open_key(RegistryRoot::CurrentUser, "Empty", platform::RegistryAccess::QueryValue,
                      platform::RegistryView::Native);
    EXPECT_EQ(MM_GetRegValue(key.get(), "AppData Path"), "");
}

TEST_F(RegistryValueTest, SixtyFourKilobyteString) {
    const std::string big(32 * 1024, 'x');
    EXPECT_EQ(read(fake::reg_sz(big)), big);
}

} // namespace
