// MultiByteToWideChar / WideCharToMultiByte: lengths, terminators, the size
// query, short buffers, ill-formed input, and every scalar value against the
// C library's iconv.
#include <windows.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <iconv.h>
#include <string>
#include <thread>
#include <vector>

namespace {

std::u16string toWide(const std::string& text, DWORD flags = 0)
{
    const int length = MultiByteToWideChar(CP_UTF8, flags, text.data(), int(text.size()), nullptr, 0);
    if (length == 0)
        return u"<failed>";
    std::u16string wide(size_t(length), u'\0');
    EXPECT_EQ(length, MultiByteToWideChar(CP_UTF8, flags, text.data(), int(text.size()), wide.data(), length));
    return wide;
}

std::string toNarrow(const std::u16string& wide, DWORD flags = 0)
{
    const int length = WideCharToMultiByte(CP_UTF8, flags, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    if (length == 0)
        return "<failed>";
    std::string text(size_t(length), '\0');
    EXPECT_EQ(length, WideCharToMultiByte(CP_UTF8, flags, wide.data(), int(wide.size()), text.data(), length, nullptr,
                                          nullptr));
    return text;
}

// iconv as an independent reference: UTF-8 <-> UTF-16LE (the host is little-endian).
std::string iconvConvert(const char* to, const char* from, const char* data, size_t bytes)
{
    iconv_t cd = iconv_open(to, from);
    EXPECT_NE(cd, iconv_t(-1));
    std::string out(bytes * 2 + 16, '\0');
    char* in = const_cast<char*>(data);
    size_t inLeft = bytes;
    char* outPtr = out.data();
    size_t outLeft = out.size();
    EXPECT_NE(iconv(cd, &in, &inLeft, &outPtr, &outLeft), size_t(-1)) << "errno " << errno;
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

} // namespace

TEST(MultiByteToWideChar, MinusOneCountsAndWritesTheTerminator)
{
    SetLastError(0);
    EXPECT_EQ(4, MultiByteToWideChar(CP_UTF8, 0, "abc", -1, nullptr, 0));
    WCHAR out[6] = {9, 9, 9, 9, 9, 9};
    ASSERT_EQ(4, MultiByteToWideChar(CP_UTF8, 0, "abc", -1, out, 6));
    EXPECT_EQ(std::u16string(out, 4), std::u16string(u"abc\0", 4));
    EXPECT_EQ(out[4], 9) << "nothing written past the result";
    EXPECT_EQ(0u, GetLastError());
}

TEST(MultiByteToWideChar, ExplicitLengthAddsNoTerminator)
{
    WCHAR out[4] = {9, 9, 9, 9};
    ASSERT_EQ(3, MultiByteToWideChar(CP_UTF8, 0, "abcdef", 3, out, 4));
    EXPECT_EQ(out[0], u'a');
    EXPECT_EQ(out[2], u'c');
    EXPECT_EQ(out[3], 9);
    // Embedded NULs are ordinary characters when the length is given.
    EXPECT_EQ(toWide(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(MultiByteToWideChar, NonAsciiNamesAndSurrogatePairs)
{
    const std::string name = "C:/Grüße/日本語/😀.png";
    EXPECT_EQ(toWide(name), u"C:/Grüße/日本語/😀.png");
    // 17 BMP characters, one pair, and the terminator with -1.
    EXPECT_EQ(20, MultiByteToWideChar(CP_UTF8, 0, name.c_str(), -1, nullptr, 0));
    EXPECT_EQ(toWide("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
    EXPECT_EQ(toWide("\xEF\xBF\xBF"), u"\uFFFF");
}

TEST(MultiByteToWideChar, AnsiCodePageIsUtf8)
{
    WCHAR out[8] = {};
    ASSERT_EQ(3, MultiByteToWideChar(CP_ACP, 0, "é€", -1, out, 8));
    EXPECT_EQ(std::u16string(out), u"é€");
}

TEST(MultiByteToWideChar, BufferTooSmall)
{
    WCHAR out[4] = {};
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, "abcd", -1, out, 4)) << "no room for the terminator";
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(5, MultiByteToWideChar(CP_UTF8, 0, "abcd", -1, out, 0)) << "size query still works";

    // A surrogate pair is never split.
    SetLastError(0);
    EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, 0, "x😀", 5, out, 2));
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(3, MultiByteToWideChar(CP_UTF8, 0, "x😀", 5, out, 3));

    // The module's pattern: ask for n, convert into n + 1 zeroed units.
    const char* directory = "/opt/Ünïcode/";
    const int n = MultiByteToWideChar(CP_UTF8, 0, directory, -1, nullptr, 0);
    std::vector<WCHAR> buffer(size_t(n) + 1, 0);
    EXPECT_EQ(n, MultiByteToWideChar(CP_UTF8, 0, directory, -1, buffer.data(), n + 1));
    EXPECT_EQ(std::u16string(buffer.data()), u"/opt/Ünïcode/");
}

TEST(MultiByteToWideChar, IllFormedInputBecomesReplacementCharacters)
{
    struct Case {
        std::string input;
        std::u16string expected;
    };
    const Case cases[] = {
        {"\x80", u"\uFFFD"},                     // stray continuation byte
        {"a\xC3", u"a\uFFFD"},                   // truncated at the end
        {"\xC0\x80", u"\uFFFD\uFFFD"},           // overlong NUL
        {"\xC1\xBF", u"\uFFFD\uFFFD"},           // overlong
        {"\xE0\x80\x80", u"\uFFFD\uFFFD\uFFFD"}, // overlong, three bytes
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"}, // encoded surrogate
        {"\xE2\x82x", u"\uFFFDx"},               // one replacement per maximal subpart
        {"\xF0\x9F\x98"
         "A",
         u"\uFFFDA"},                                      // truncated four-byte sequence
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"}, // above U+10FFFF
        {"\xF5\x80", u"\uFFFD\uFFFD"},                     // no such lead byte
        {"\xFF\xFE", u"\uFFFD\uFFFD"},                     // never in UTF-8
        {"ok\xE2\x82\xACok\x80", u"ok€ok\uFFFD"},          // good and bad mixed
    };
    for (const Case& c : cases) {
        EXPECT_EQ(toWide(c.input), c.expected) << "input " << testing::PrintToString(c.input);
        SetLastError(0);
        EXPECT_EQ(0,
                  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, c.input.data(), int(c.input.size()), nullptr, 0))
            << "input " << testing::PrintToString(c.input);
        EXPECT_EQ(DWORD(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
    }
    EXPECT_EQ(toWide("valid é", MB_ERR_INVALID_CHARS), u"valid é");
}

TEST(MultiByteToWideChar, RejectsInvalidArguments)
{
    WCHAR out[8];
    const auto expectFailure = [](int result, DWORD error) {
        EXPECT_EQ(0, result);
        EXPECT_EQ(error, GetLastError());
        SetLastError(0);
    };
    expectFailure(MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, out, 8), ERROR_INVALID_PARAMETER);
    expectFailure(MultiByteToWideChar(CP_UTF8, 0, "abc", 0, out, 8), ERROR_INVALID_PARAMETER);
    expectFailure(MultiByteToWideChar(CP_UTF8, 0, "abc", -2, out, 8), ERROR_INVALID_PARAMETER);
    expectFailure(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, out, -1), ERROR_INVALID_PARAMETER);
    expectFailure(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, nullptr, 8), ERROR_INVALID_PARAMETER);
    expectFailure(MultiByteToWideChar(1252, 0, "abc", -1, out, 8), ERROR_INVALID_PARAMETER);
    expectFailure(MultiByteToWideChar(CP_UTF8, 0x1 /* MB_PRECOMPOSED */, "abc", -1, out, 8), ERROR_INVALID_FLAGS);
    // In place: the output would overwrite the input.
    char shared[16] = "abc";
    expectFailure(MultiByteToWideChar(CP_UTF8, 0, shared, -1, reinterpret_cast<LPWSTR>(shared), 8),
                  ERROR_INVALID_PARAMETER);
}

TEST(WideCharToMultiByte, LengthsAndTerminators)
{
    char out[16];
    std::fill(std::begin(out), std::end(out), 'x');
    EXPECT_EQ(7, WideCharToMultiByte(CP_UTF8, 0, u"日本", -1, nullptr, 0, nullptr, nullptr));
    ASSERT_EQ(7, WideCharToMultiByte(CP_UTF8, 0, u"日本", -1, out, 16, nullptr, nullptr));
    EXPECT_STREQ(out, "日本");
    EXPECT_EQ(out[7], 'x');

    std::fill(std::begin(out), std::end(out), 'x');
    ASSERT_EQ(6, WideCharToMultiByte(CP_UTF8, 0, u"日本語", 2, out, 16, nullptr, nullptr));
    EXPECT_EQ(std::string(out, 6), "日本");
    EXPECT_EQ(out[6], 'x') << "no terminator added for an explicit length";

    EXPECT_EQ(toNarrow(u"a😀b"), "a😀b");
    EXPECT_EQ(toNarrow(u"\U0010FFFF"), "\xF4\x8F\xBF\xBF");
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"é", -1, out, 16, nullptr, nullptr), 3);
    EXPECT_STREQ(out, "é");
}

TEST(WideCharToMultiByte, BufferTooSmall)
{
    char out[8] = {};
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, u"日", 1, out, 2, nullptr, nullptr)) << "a character is not split";
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    SetLastError(0);
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, 0, u"ab", -1, out, 2, nullptr, nullptr)) << "no room for the NUL";
    EXPECT_EQ(DWORD(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(3, WideCharToMultiByte(CP_UTF8, 0, u"ab", -1, out, 3, nullptr, nullptr));
}

TEST(WideCharToMultiByte, LoneSurrogatesBecomeReplacementCharacters)
{
    const std::u16string cases[] = {
        std::u16string(1, char16_t(0xD83D)),                // high at the end
        std::u16string(1, char16_t(0xDE00)),                // low alone
        std::u16string{char16_t(0xDE00), char16_t(0xD83D)}, // pair in the wrong order
        std::u16string{char16_t(0xD83D), u'A'},             // high before an ordinary unit
    };
    const std::string expected[] = {"\xEF\xBF\xBD", "\xEF\xBF\xBD", "\xEF\xBF\xBD\xEF\xBF\xBD",
                                    "\xEF\xBF\xBD"
                                    "A"};
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(toNarrow(cases[i]), expected[i]) << "case " << i;
        SetLastError(0);
        EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, cases[i].data(), int(cases[i].size()), nullptr,
                                         0, nullptr, nullptr));
        EXPECT_EQ(DWORD(ERROR_NO_UNICODE_TRANSLATION), GetLastError());
    }
}

TEST(WideCharToMultiByte, RejectsInvalidArguments)
{
    char out[8];
    BOOL used = FALSE;
    const auto expectFailure = [](int result, DWORD error) {
        EXPECT_EQ(0, result);
        EXPECT_EQ(error, GetLastError());
        SetLastError(0);
    };
    expectFailure(WideCharToMultiByte(CP_UTF8, 0, nullptr, -1, out, 8, nullptr, nullptr), ERROR_INVALID_PARAMETER);
    expectFailure(WideCharToMultiByte(CP_UTF8, 0, u"a", 0, out, 8, nullptr, nullptr), ERROR_INVALID_PARAMETER);
    expectFailure(WideCharToMultiByte(CP_UTF8, 0, u"a", -3, out, 8, nullptr, nullptr), ERROR_INVALID_PARAMETER);
    expectFailure(WideCharToMultiByte(CP_UTF8, 0, u"a", -1, nullptr, 8, nullptr, nullptr), ERROR_INVALID_PARAMETER);
    expectFailure(WideCharToMultiByte(CP_UTF8, 0, u"a", -1, out, -1, nullptr, nullptr), ERROR_INVALID_PARAMETER);
    expectFailure(WideCharToMultiByte(CP_UTF8, 0, u"a", -1, out, 8, "?", nullptr), ERROR_INVALID_PARAMETER);
    expectFailure(WideCharToMultiByte(CP_UTF8, 0, u"a", -1, out, 8, nullptr, &used), ERROR_INVALID_PARAMETER);
    expectFailure(WideCharToMultiByte(CP_ACP, 0, u"a", -1, out, 8, nullptr, &used), ERROR_INVALID_PARAMETER);
    expectFailure(WideCharToMultiByte(437, 0, u"a", -1, out, 8, nullptr, nullptr), ERROR_INVALID_PARAMETER);
    expectFailure(WideCharToMultiByte(CP_UTF8, 0x400 /* WC_COMPOSITECHECK */, u"a", -1, out, 8, nullptr, nullptr),
                  ERROR_INVALID_FLAGS);
}

TEST(Conversion, EveryScalarValueMatchesIconv)
{
    std::u32string all;
    for (char32_t c = 1; c <= 0x10FFFF; ++c)
        if (c < 0xD800 || c > 0xDFFF)
            all += c;
    const std::string utf8 =
        iconvConvert("UTF-8", "UTF-32LE", reinterpret_cast<const char*>(all.data()), all.size() * sizeof(char32_t));
    const std::string utf16Bytes = iconvConvert("UTF-16LE", "UTF-8", utf8.data(), utf8.size());
    const std::u16string utf16(reinterpret_cast<const char16_t*>(utf16Bytes.data()), utf16Bytes.size() / 2);

    const std::u16string wide = toWide(utf8, MB_ERR_INVALID_CHARS);
    ASSERT_EQ(wide.size(), utf16.size());
    EXPECT_TRUE(wide == utf16);
    const std::string narrow = toNarrow(utf16, WC_ERR_INVALID_CHARS);
    ASSERT_EQ(narrow.size(), utf8.size());
    EXPECT_TRUE(narrow == utf8);
}

TEST(LastError, IsPerThread)
{
    SetLastError(ERROR_MOD_NOT_FOUND);
    DWORD seenByOther = 12345;
    std::thread other([&] {
        seenByOther = GetLastError();
        SetLastError(ERROR_PROC_NOT_FOUND);
    });
    other.join();
    EXPECT_EQ(0u, seenByOther);
    EXPECT_EQ(DWORD(ERROR_MOD_NOT_FOUND), GetLastError());
}
