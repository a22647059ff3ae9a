// Message texts: resource_string's fallback and length limit, line wrapping, and the system texts
// of error_string. The texts themselves, with their inserts, are checked where the session posts
// them.
#include <gtest/gtest.h>

#include <string>

#include "errors/error_string.h"
#include "errors/message_wrap.h"
#include "errors/resource_string.h"
#include "resources/string_ids.h"

namespace mrv {
namespace {

TEST(ResourceString, FallsBackAndStaysUnloadedWhenNeitherIdHasText)
{
    resource_string with_fallback(65000, IDS_UNRECOGNIZED_VISA_ERROR);
    EXPECT_STREQ("An unrecognized Visa error occurred.", with_fallback.text());
    EXPECT_TRUE(with_fallback.loaded());

    resource_string missing(65000);
    EXPECT_STREQ("", missing.text());
    EXPECT_STREQ(L"", missing.wide_text());
    EXPECT_FALSE(missing.loaded());
}

TEST(ResourceString, CutsLongTextsTo259Characters)
{
    std::string text = resource_string(60000).text();
    ASSERT_EQ(259u, text.size());
    EXPECT_EQ("0123456789abcdef", text.substr(0, 16));
}

// Cases whose results were observed on Windows with FormatMessage and a maximum width.
TEST(MessageWrap, BreaksLinesAsFormatMessageDocumentsIt)
{
    struct row {
        const char* text;
        unsigned width;
        const char* expected;
    };
    const row rows[] = {
        {"short long line", 20, "short long line"},
        {"short long line", 11, "short long\r\nline"},
        {"short long long line", 20, "short long long\r\nline"},
        {"short long line", 10, "short\r\nlong line"},
        {"short long    line", 16, "short long\r\nline"},
        {"short long    line", 12, "short long\r\n  line"},
        {"short long    wordlongerthanaline", 12, "short long\r\n\r\nwordlongerth\r\nanaline"},
        {"   shortlong line", 11, "\r\nshortlong\r\nline"},
        {"l1               ", 5, "l1\r\n\r\n\r\n  "},
        {"shortlon", 8, "shortlon\r\n"},
        {"shortlongline", 8, "shortlon\r\ngline"},
        {"short\nlong line", 11, "short long\r\nline"},
        {"short long\tline", 11, "short\r\nlong\tline"},
        {"hi\r\n", 0xFF, "hi "},
        {"\r\r\n", 0xFF, "  "},
        {"keeps\r\nbreaks", 0, "keeps\r\nbreaks"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << "width " << r.width << " \"" << r.text << "\"");
        EXPECT_EQ(r.expected, wrap_message_lines(r.text, r.width));
    }
}

TEST(ErrorString, SystemTextIsWrappedAt40AndEmptyForUnknownCodes)
{
    error_string access_denied(ERROR_ACCESS_DENIED);
    std::string text = access_denied.text();
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(std::string::npos, text.find('\n')) << "a short system text is one line: " << text;

    bool some_text_wrapped = false;
    for (DWORD code = 1; code < 300; ++code) {
        std::string wrapped = error_string(code).text();
        for (std::size_t start = 0, end; start < wrapped.size(); start = end + 2) {
            end = wrapped.find("\r\n", start);
            if (end == std::string::npos)
                end = wrapped.size();
            else
                some_text_wrapped = true;
            EXPECT_LE(end - start, 40u) << "code " << code << ": " << wrapped;
        }
    }
    EXPECT_TRUE(some_text_wrapped);

    error_string unknown(0x2AAAAAAA);
    EXPECT_STREQ("", unknown.text());
    EXPECT_STREQ(L"", unknown.wide_text());
}

}  // namespace
}  // namespace mrv
