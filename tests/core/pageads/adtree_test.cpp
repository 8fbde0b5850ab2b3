#include "pageads/adtree.h"

#include <gtest/gtest.h>

namespace pw {
namespace {

// Records the listener calls as a model adapter would receive them.
class Recorder : public AdTreeListener {
public:
    std::string log;
    void TreeClearing() override { log += "clearing;"; }
    void TreeCleared() override { log += "cleared;"; }
    void NodeAdding(AdNode* parent, size_t row) override
    {
        log += "adding " + (parent ? parent->Text() : std::string("-")) + " " + std::to_string(row) + ";";
    }
    void NodeAdded(AdNode& node) override { log += "added " + node.Text() + ";"; }
    void NodeStatusChanged(AdNode& node) override { log += "status " + node.Text() + ";"; }
    void NodeRemoving(AdNode& node) override { log += "removing " + node.Text() + ";"; }
    void NodeRemoved(AdNode* parent, size_t row) override
    {
        log += "removed " + (parent ? parent->Text() : std::string("-")) + " " + std::to_string(row) + ";";
    }
    void SelectionChanged(AdNode* node) override { log += "selected " + (node ? node->Text() : "-") + ";"; }
};

TEST(AdTree, OrderRowsAndListenerCalls)
{
    AdTree tree;
    Recorder recorder;
    tree.SetListener(&recorder);
    AdNode& r = tree.Add(nullptr, "R", nsRotation);
    AdNode& a = tree.Add(&r, "A", nsMatched);
    AdNode& b = tree.Add(&r, "B", nsUnlisted);
    AdNode& c = tree.Add(nullptr, "C", nsChanged);
    EXPECT_EQ(recorder.log, "adding - 0;added R;adding R 0;added A;adding R 1;added B;adding - 1;added C;");
    EXPECT_EQ(tree.NodeCount(), 4u);
    EXPECT_EQ(tree.Next(r), &a);
    EXPECT_EQ(tree.Next(b), &c);
    EXPECT_EQ(tree.NextSkippingChildren(r), &c);
    EXPECT_EQ(tree.Previous(c), &b);
    EXPECT_EQ(tree.Previous(a), &r);
    EXPECT_EQ(tree.Previous(r), nullptr);
    EXPECT_EQ(b.Kind(), abMember);
    EXPECT_EQ(c.Kind(), abNormal);

    recorder.log.clear();
    tree.Select(&b);
    tree.SetStatus(b, nsMatched);
    tree.SetStatus(b, nsMatched); // unchanged: no call
    tree.Remove(a);
    EXPECT_EQ(b.Row(), 0u);
    tree.Remove(r); // takes the selected child with it
    EXPECT_EQ(tree.Selected(), nullptr);
    EXPECT_EQ(tree.NodeCount(), 1u);
    EXPECT_EQ(c.Row(), 0u);
    tree.Clear();
    EXPECT_EQ(recorder.log, "selected B;status B;removing A;removed R 0;removing R;removed - 0;clearing;cleared;");
    EXPECT_EQ(tree.First(), nullptr);
}

} // namespace
} // namespace pw
