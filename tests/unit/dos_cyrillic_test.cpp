// The DOS conversion checked against the C library's own code page 1251 to MIK table.
#include "print/dos_cyrillic.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <string>

namespace {

// What iconv makes of one code page 1251 byte in MIK; false when it has no MIK character.
bool IconvDosByte(iconv_t converter, unsigned char byte, unsigned char& result) {
    char in[1] = {static_cast<char>(byte)};
    char out[4] = {};
    char* in_at = in;
    char* out_at = out;
    std::size_t in_left = 1;
    std::size_t out_left = sizeof out;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    if (iconv(converter, &in_at, &in_left, &out_at, &out_left) == static_cast<std::size_t>(-1)) return false;
    if (sizeof out - out_left != 1) return false;
    result = static_cast<unsigned char>(out[0]);
    return true;
}

TEST(DosCyrillic, AgreesWithIconvForEveryByteItConverts) {
    const iconv_t converter = iconv_open("MIK", "CP1251");
    ASSERT_NE(converter, reinterpret_cast<iconv_t>(-1)) << "the C library knows MIK";
    int compared = 0;
    for (int byte = 0; byte < 256; ++byte) {
        unsigned char expected = 0;
        if (!IconvDosByte(converter, static_cast<unsigned char>(byte), expected)) continue;
        EXPECT_EQ(DosCyrillicByte(static_cast<unsigned char>(byte)), expected) << std::hex << byte;
        ++compared;
    }
    iconv_close(converter);
    EXPECT_GE(compared, 128 + 64 + 7) << "ASCII, the letters and seven symbols";
}

TEST(DosCyrillic, BytesWithoutADosCharacterBecomePrintableAscii) {
    const iconv_t converter = iconv_open("MIK", "CP1251");
    ASSERT_NE(converter, reinterpret_cast<iconv_t>(-1));
    for (int byte = 0x80; byte < 0xC0; ++byte) {
        unsigned char ignored = 0;
        if (IconvDosByte(converter, static_cast<unsigned char>(byte), ignored)) continue;
        const unsigned char dos = DosCyrillicByte(static_cast<unsigned char>(byte));
        EXPECT_GE(dos, 0x20) << std::hex << byte;
        EXPECT_LT(dos, 0x7F) << std::hex << byte;
    }
    iconv_close(converter);
    // "№" was the letter "щ" in DOS before; now it is DOS's own "№".
    EXPECT_EQ(DosCyrillicByte(0xB9), 0xD5);
    EXPECT_NE(DosCyrillicByte(0xB9), DosCyrillicByte(0xF9));
}

TEST(DosCyrillic, ARunConvertsEachByteAsAloneWhereverItsLettersFall) {
    // Runs of ASCII are passed over eight bytes at a time: a letter at any place of a run, at
    // any length and start, still converts, and nothing outside the run is touched.
    for (std::size_t length = 0; length <= 40; ++length) {
        for (std::size_t letter = 0; letter <= length; ++letter) {
            std::string run(length + 2, '#');
            for (std::size_t i = 1; i <= length; ++i) run[i] = static_cast<char>('a' + i % 26);
            if (length > 20) run[length] = '\xB9';         // "№" in a tail past the last eight
            if (letter < length) run[1 + letter] = '\xC0';  // "А"
            std::string expected = run;
            for (std::size_t i = 1; i <= length; ++i) {
                expected[i] = static_cast<char>(DosCyrillicByte(static_cast<unsigned char>(run[i])));
            }
            ToDosCyrillic(run.data() + 1, length);
            ASSERT_EQ(run, expected) << length << " " << letter;
            if (letter < length) {
                EXPECT_EQ(run[1 + letter], '\x80') << length;
            }
        }
    }
}

}  // namespace
