#include "sites/filelist.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

// A folder with entries given as "name size" (size -1 for a folder) and dates.
struct Folder {
    TDirNode node;

    void File(const std::string& name, int size, DateTime date = {}, const std::string& attributes = "")
    {
        auto file = std::make_unique<TFileNode>();
        file->Name = name;
        file->Size = size;
        file->Date = date;
        file->Attributes = attributes;
        node.AddChild(std::move(file));
    }
    void Dir(const std::string& name, DateTime date = {})
    {
        auto dir = std::make_unique<TDirNode>();
        dir->Name = name;
        dir->Kind = nkFolder;
        dir->Date = date;
        node.AddChild(std::move(dir));
    }
    std::string Names() const
    {
        std::string names;
        for (const auto& child : *node.Children)
            names += (names.empty() ? "" : " ") + child->Name;
        return names;
    }
};

TEST(CompareNames, UpperCasesOnlyAsciiLettersAndPutsPrefixesFirst)
{
    EXPECT_EQ(CompareNames("abc", "ABC"), 0);
    EXPECT_LT(CompareNames("ab", "abc"), 0);
    EXPECT_GT(CompareNames("b", "A"), 0);
    EXPECT_LT(CompareNames("Z", "_"), 0); // 'Z' 0x5A before '_' 0x5F
    EXPECT_LT(CompareNames("z", "_"), 0); // z folds to Z
    EXPECT_GT(CompareNames("\x82\xA0", "z"), 0); // bytes compare unsigned
    EXPECT_NE(CompareNames("\x83\x61", "\x83\x41"), 0); // a trail byte is no letter to fold
}

TEST(SortChildren, EachColumnBothWays)
{
    Folder f;
    f.File("b.html", 30, { 2020, 1, 3, 0, 0, 0 }, "-rw-r--r--");
    f.Dir("Docs", { 2019, 5, 5, 0, 0, 0 });
    f.File("A.txt", 10, { 2021, 1, 1, 0, 0, 0 }, "-rwxr-xr-x");
    f.Dir("images", { 2022, 2, 2, 0, 0, 0 });
    f.File("c.zip", 20, { 2018, 1, 1, 0, 0, 0 }, "-r--r--r--");

    SortChildren(f.node, 0, fcName);
    EXPECT_EQ(f.Names(), "A.txt b.html c.zip Docs images");
    SortChildren(f.node, 1, fcName);
    EXPECT_EQ(f.Names(), "images Docs c.zip b.html A.txt");
    SortChildren(f.node, 0, fcDate);
    EXPECT_EQ(f.Names(), "c.zip Docs b.html A.txt images");
    SortChildren(f.node, 1, fcDate);
    EXPECT_EQ(f.Names(), "images A.txt b.html Docs c.zip");
    SortChildren(f.node, 0, fcAttributes);
    EXPECT_EQ(f.node.Children->at(0)->Attributes, "");
    EXPECT_EQ(f.node.Children->at(2)->Name, "c.zip");
    EXPECT_EQ(f.node.Children->at(4)->Name, "A.txt");

    // Size: files by size, folders after them (descending: folders first).
    SortChildren(f.node, 0, fcSize);
    EXPECT_EQ(f.node.Children->at(0)->Name, "A.txt");
    EXPECT_EQ(f.node.Children->at(1)->Name, "c.zip");
    EXPECT_EQ(f.node.Children->at(2)->Name, "b.html");
    EXPECT_TRUE(f.node.Children->at(3)->IsFolder() && f.node.Children->at(4)->IsFolder());
    SortChildren(f.node, 1, fcSize);
    EXPECT_TRUE(f.node.Children->at(0)->IsFolder() && f.node.Children->at(1)->IsFolder());
    EXPECT_EQ(f.node.Children->at(2)->Name, "b.html");
    EXPECT_EQ(f.node.Children->at(4)->Name, "A.txt");

    // An unknown tag leaves the entries equal: nothing to compare, no crash.
    EXPECT_EQ(CompareEntries(*f.node.Children->at(0), *f.node.Children->at(1), 0, 9), 0);
}

TEST(FileListSort, ClicksCycleTheArrowAndSortTheShownFolder)
{
    Folder f;
    f.File("b", 1);
    f.File("a", 2);
    f.File("c", 3);
    FileListSort sort;
    sort.ColumnClick(fcName, &f.node);
    EXPECT_EQ(sort.ArrowOf(fcName), kArrowAscending);
    EXPECT_EQ(f.Names(), "a b c");
    sort.ColumnClick(fcName, &f.node);
    EXPECT_EQ(sort.ArrowOf(fcName), kArrowDescending);
    EXPECT_EQ(f.Names(), "c b a");
    sort.ColumnClick(fcName, &f.node);
    EXPECT_EQ(sort.ArrowOf(fcName), kArrowAscending);
    EXPECT_EQ(f.Names(), "a b c");

    // Another column starts ascending and takes the arrow away from the first.
    sort.ColumnClick(fcSize, nullptr); // no folder shown: only the arrow moves
    EXPECT_EQ(sort.ArrowOf(fcName), 0);
    EXPECT_EQ(sort.ArrowOf(fcSize), kArrowAscending);
    EXPECT_EQ(f.Names(), "a b c");
    sort.ColumnClick(fcSize, nullptr);
    Folder other;
    other.File("x", 1);
    other.File("y", 5);
    sort.Apply(other.node);
    EXPECT_EQ(other.Names(), "y x");
}

TEST(DateText, LeavesMidnightOut)
{
    EXPECT_EQ(DateText({ 2001, 12, 3, 0, 0, 0 }), "2001/12/03");
    EXPECT_EQ(DateText({ 2024, 1, 15, 10, 30, 0 }), "2024/01/15 10:30:00");
    EXPECT_EQ(DateText({ 2024, 1, 15, 0, 0, 5 }), "2024/01/15 0:00:05");
    EXPECT_EQ(IsoMinuteText({ 2024, 1, 5, 9, 7, 0 }), "2024-01-05 09:07");
    Folder f;
    f.Dir("d");
    f.File("x", 42);
    EXPECT_EQ(SizeText(*f.node.Children->at(0)), "<DIR>");
    EXPECT_EQ(SizeText(*f.node.Children->at(1)), "42");
}

} // namespace
} // namespace pw
