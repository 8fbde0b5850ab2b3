#include "text/linebuffer.h"

#include <gtest/gtest.h>

#include <random>

namespace pw {
namespace {

// The buffer indexes bytes exactly as SplitLines splits them, including lone
// CRs far from any LF and long stretches without a break.
TEST(LineBuffer, IndexesLikeSplitLines)
{
    std::vector<std::string> texts = { "", "a", "a\r\n", "a\r\nb\nc\rd", "a\n\n", "\r\n\r\n", "a\n\rb", "\r", "\n",
        "\r\r\n\n\r", std::string("a\0b\nc", 5), "x\r" + std::string(5000, 'y') + "\n" };
    std::string manyCrs;
    for (int i = 0; i < 3000; ++i)
        manyCrs += "line\r";
    texts.push_back(manyCrs + "\n");
    std::mt19937 random(7);
    for (int run = 0; run < 1000; ++run) {
        std::string text;
        const int length = static_cast<int>(random() % 100);
        for (int i = 0; i < length; ++i)
            text += "ab\r\n"[random() % 4];
        texts.push_back(text);
    }
    for (const auto& text : texts) {
        const LineBuffer buffer(text);
        EXPECT_EQ(buffer.ToVector(), SplitLines(text)) << text;
        EXPECT_EQ(buffer.Join(LineBreak::CrLf), JoinLines(SplitLines(text), LineBreak::CrLf));
    }
}

// Random edits against a vector of strings, with lines long enough that the
// dropped bytes pass the copying threshold several times.
TEST(LineBuffer, EditsAgreeWithAVectorOfLines)
{
    std::mt19937 random(11);
    auto line = [&random] {
        std::string text(random() % 3 == 0 ? 2000 + random() % 2000 : random() % 20, 'a');
        for (char& c : text)
            c = static_cast<char>('a' + random() % 26);
        return text;
    };
    std::string page;
    for (int i = 0; i < 300; ++i)
        page += line() + (i % 2 ? "\r\n" : "\n");
    LineBuffer buffer(page);
    std::vector<std::string> reference = SplitLines(page);
    size_t capacity = buffer.Capacity();
    bool copied = false; // the buffer let go of dropped bytes at least once
    for (int step = 0; step < 6000; ++step) {
        copied = copied || buffer.Capacity() < capacity;
        capacity = buffer.Capacity();
        const size_t count = reference.size();
        const size_t at = count ? random() % count : 0;
        switch (random() % 6) {
        case 0:
        case 1:
            if (count) {
                const std::string text = line();
                buffer.Set(at, text);
                reference[at] = text;
            }
            break;
        case 2: {
            const std::string text = line();
            buffer.Insert(at, text);
            reference.insert(reference.begin() + static_cast<std::ptrdiff_t>(at), text);
            break;
        }
        case 3:
            if (count) {
                const size_t n = std::min<size_t>(random() % 4, count - at);
                buffer.Erase(at, n);
                reference.erase(reference.begin() + static_cast<std::ptrdiff_t>(at),
                    reference.begin() + static_cast<std::ptrdiff_t>(at + n));
            }
            break;
        case 4: {
            const size_t n = count ? std::min<size_t>(random() % 4, count - at) : 0;
            std::vector<std::string> lines(random() % 4);
            for (auto& text : lines)
                text = line();
            buffer.Replace(at, n, lines);
            reference.erase(reference.begin() + static_cast<std::ptrdiff_t>(at),
                reference.begin() + static_cast<std::ptrdiff_t>(at + n));
            reference.insert(reference.begin() + static_cast<std::ptrdiff_t>(at), lines.begin(), lines.end());
            break;
        }
        case 5:
            if (count > 1) {
                // A line set from a view into the buffer itself.
                const size_t from = random() % count;
                buffer.Set(at, buffer[from].substr(0, buffer[from].size() / 2));
                reference[at] = reference[from].substr(0, reference[from].size() / 2);
            }
            break;
        }
        ASSERT_EQ(buffer.Count(), reference.size()) << "step " << step;
        if (step % 500 == 0) {
            ASSERT_EQ(buffer, reference) << "step " << step;
        }
    }
    EXPECT_TRUE(copied);
    EXPECT_EQ(buffer, reference);
    EXPECT_EQ(buffer.Join(LineBreak::Lf), JoinLines(reference, LineBreak::Lf));
    // Held bytes stay within a small multiple of the live ones.
    size_t live = 0;
    for (const auto& text : reference)
        live += text.size();
    EXPECT_LT(buffer.Capacity(), 4 * live + 4 * page.size() + (4u << 20));
}

} // namespace
} // namespace pw
