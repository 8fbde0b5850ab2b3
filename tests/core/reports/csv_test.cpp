#include "reports/csv.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

using Records = std::vector<std::vector<std::string>>;

Records Fields(const std::vector<CsvRecord>& records)
{
    Records fields;
    for (const auto& record : records)
        fields.push_back(record.Fields);
    return fields;
}

TEST(Csv, SplitsRecordsAsRfc4180WritesThem)
{
    struct Case {
        const char* text;
        Records expected;
    };
    const Case cases[] = {
        { "a,b\r\n1,2\r\n", { { "a", "b" }, { "1", "2" } } },
        { "a,b\n1,2", { { "a", "b" }, { "1", "2" } } }, // LF, no break after the last record
        { "a,b\r1,2\r", { { "a", "b" }, { "1", "2" } } }, // old Mac breaks
        { "\"x,y\",2\r\n", { { "x,y", "2" } } },
        { "\"say \"\"hi\"\"\",2\n", { { "say \"hi\"", "2" } } },
        { "\"two\r\nlines\",2\r\n3,4\r\n", { { "two\r\nlines", "2" }, { "3", "4" } } },
        { ",,\n", { { "", "", "" } } },
        { "a,\n", { { "a", "" } } },
        { "\"\",b\n", { { "", "b" } } },
        { "\"q\"tail,b\n", { { "qtail", "b" } } },
        { "a\n\nb\n", { { "a" }, { "" }, { "b" } } },
    };
    for (const auto& c : cases) {
        std::vector<CsvRecord> records;
        ASSERT_TRUE(ParseCsv(c.text, records).ok) << c.text;
        EXPECT_EQ(Fields(records), c.expected) << c.text;
    }
}

TEST(Csv, RecordsKnowTheLineTheyStartOn)
{
    std::vector<CsvRecord> records;
    ASSERT_TRUE(ParseCsv("h\r\n\"a\r\nb\nc\"\r\nnext\r\n", records).ok);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].Line, 1u);
    EXPECT_EQ(records[1].Line, 2u);
    EXPECT_EQ(records[2].Line, 5u);
}

TEST(Csv, AnUnclosedQuoteNamesTheLineWhereItOpened)
{
    std::vector<CsvRecord> records;
    const Status parsed = ParseCsv("a,b\n1,2\n\"open,3\n4,5\n", records);
    ASSERT_FALSE(parsed.ok);
    EXPECT_NE(parsed.error.find("line 3"), std::string::npos) << parsed.error;
}

} // namespace
} // namespace pw
