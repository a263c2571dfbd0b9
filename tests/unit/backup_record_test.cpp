// The record a backup keeps of its contents: the digest it rests on, and the reader that takes
// only whole lines of digest, size and name.
#include "backup/backup_contents.h"
#include "platform/sha256.h"

#include <gtest/gtest.h>
#include <string>

namespace {

TEST(Sha256Test, KnownDigestsAndPiecesThatAddUpToTheWhole) {
    EXPECT_EQ(sha256_hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256_hex("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 56 bytes: the padding needs a second block.
    const std::string two_blocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    EXPECT_EQ(sha256_hex(two_blocks),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    const std::string million(1000000, 'a');
    EXPECT_EQ(sha256_hex(million),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");

    const std::string_view some = std::string_view(million).substr(0, 10007);
    Sha256 pieces;
    for (std::size_t at = 0, step = 1; at < some.size(); at += step, step = step * 3 % 97 + 1) {
        pieces.add(some.substr(at, step));
    }
    EXPECT_EQ(pieces.hex_digest(), sha256_hex(some));
    EXPECT_EQ(pieces.hex_digest(), pieces.hex_digest()) << "the digest leaves the state as it was";
}

TEST(BackupRecordTest, TheLastLineForANameCountsAndAnythingElseIsRefused) {
    const std::string a = sha256_hex("a");
    const std::string b = sha256_hex("b");
    const auto read =
        read_contents(contents_line("registry.reg", 10, a) + contents_line("Vesk 30.ini", 1, b) +
                      contents_line("REGISTRY.REG", 20, b));
    ASSERT_TRUE(std::holds_alternative<RecordedContents>(read));
    const RecordedContents& record = std::get<RecordedContents>(read);
    ASSERT_EQ(record.size(), 2u);
    EXPECT_EQ(record.at(U"registry.reg").size, 20u);
    EXPECT_EQ(record.at(U"registry.reg").sha256, b);
    EXPECT_EQ(record.at(U"vesk 30.ini").sha256, b);

    for (const std::string& bad :
         {contents_line("x", 1, a).substr(0, 68), contents_line("x", 1, a.substr(1)),
          a + " 01 x\r\n", a + " 1\r\n", a + " 1 \r\n", a + "  1 x\r\n",
          a + " 99999999999999999999 x\r\n", std::string("\r\n")}) {
        EXPECT_TRUE(std::holds_alternative<std::string>(read_contents(bad))) << bad;
    }
    EXPECT_EQ(std::get<std::string>(read_contents(contents_line("x", 1, a) + a)),
              "line 2 is cut short");
}

} // namespace
