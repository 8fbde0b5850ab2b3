// Encoding detection by the bytes against nkf: samples of Japanese text of
// every length from a word to a page, each written in Shift_JIS, UTF-8 and
// EUC-JP without a declaration. Wherever `nkf --guess` names the encoding a
// sample was written in, DetectPageEncoding must name it too.
#include "text/pageencoding.h"

#include "support/command.h"
#include "support/tempdir.h"
#include "text/codec.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace pw {
namespace {

// What a webmaster writes: prose with kanji of both levels, katakana loan
// words, full-width digits and signs, a few half-width katakana, and symbols.
constexpr std::string_view kCorpus
    = "表示テスト。当サイトでは、アフィリエイト広告の貼り方と選び方を初心者の方にもわかりやすく解説しています。"
      "はじめに、ブログを開設したら「プロフィール」と「お問い合わせ」のページを作りましょう。"
      "審査のあるASPでは、記事が十本以上あるかどうか、運営者の連絡先が書かれているかを確認されることが多いようです"
      "。"
      "次に、紹介する商品を決めます。自分で使ったことのある化粧品や家電、通販で買った食品などが書きやすいでしょう"
      "。"
      "実際に試した感想は、読者にとって何よりの情報になります。写真を撮るときは、明るい窓辺で撮影すると綺麗に写り"
      "ます。"
      "【注意】広告のリンクを貼るときは、ＰＲ表記を忘れずに入れてください。景品表示法の改正により、ステルスマーケ"
      "ティングは規制の対象になりました。"
      "※価格は２０２４年４月現在のものです。送料は別途かかります。"
      "ｱﾌｨﾘｴｲﾄ報酬の確定までは、通常３０日～６０日ほどかかります。"
      "先月の成果は、クリック数が１，２３４回、発生件数が５６件、確定報酬が７８，９００円でした。"
      "一番売れたのは、蕎麦と醤油のセットと、檸檬の香りの石鹸です。季節の贈り物として、お歳暮やお中元の時期に伸び"
      "る傾向があります。"
      "逆に、健康食品の記事はほとんど読まれませんでした。曖昧な表現を避け、根拠のある数字を示すことが大切だと痛感"
      "しました。"
      "サーバーの引っ越しについても書いておきます。レンタルサーバーを乗り換える際は、ＦＴＰでファイルを全部ダウン"
      "ロードしてから、"
      "新しいサーバーにアップロードします。文字コードがShift_JISのページとUTF-"
      "8のページが混ざっていると、文字化けの原因になるので要注意です。"
      "古いホームページ作成ソフトで作ったページは、EUC-JPで保存されていることもあります。"
      "★今月のおすすめ★　北海道産の蟹、鮭の切り身、鰻の蒲焼き、牡蠣の燻製、苺のジャム、葡萄の詰め合わせ。"
      "ご質問は、メールフォームからお気軽にどうぞ。返信には二、三日いただく場合があります。"
      "最後に、継続することが何より重要です。毎日少しずつでも記事を書き続ければ、半年後には検索からの訪問者が増え"
      "ているはずです。"
      "焦らず、楽しみながら続けていきましょう。それでは、また次回の記事でお会いしましょう！"
      "追伸：ランキングに参加しています。よろしければ下のバナーをクリックして応援してください。"
      "鬱蒼とした森の奥に、躊躇いながら足を踏み入れた。薔薇の棘が袖に引っ掛かり、顛末を語る者は誰もいなかった。"
      "噂によれば、その館の主は骰子を振って客の運命を占ったという。嘘か真か、今となっては確かめる術もない。";

std::u32string CodePoints(std::string_view utf8)
{
    std::u32string out;
    for (size_t i = 0; i < utf8.size();)
        out += codec::NextUtf8(utf8, i);
    return out;
}

std::string Utf8(std::u32string_view cps)
{
    std::string out;
    for (char32_t cp : cps)
        codec::AppendUtf8(out, cp);
    return out;
}

std::string Name(PageEncoding encoding)
{
    return std::string(PageEncodingName(encoding));
}

// The encoding an nkf guess names; nullopt for ASCII, BINARY and the others.
std::optional<PageEncoding> FromNkf(std::string_view guess)
{
    for (std::string_view name : { "Shift_JIS", "CP932", "Windows-31J" })
        if (guess.starts_with(name))
            return PageEncoding::ShiftJis;
    for (std::string_view name : { "EUC-JP", "eucJP-ms", "CP51932" })
        if (guess.starts_with(name))
            return PageEncoding::EucJp;
    if (guess.starts_with("UTF-8"))
        return PageEncoding::Utf8;
    return std::nullopt;
}

std::string RunCommand(const std::string& command)
{
    return test::RunShell(command).out;
}

struct Sample {
    std::string what;
    PageEncoding encoding;
    std::string bytes;
};

// Windows of the corpus of every length from one character to the whole,
// starting at spread-out places, each bare or in a small page without a
// charset declaration, in the three encodings.
std::vector<Sample> Samples()
{
    const std::u32string corpus = CodePoints(kCorpus);
    const size_t lengths[] = { 1, 2, 3, 4, 5, 6, 7, 8, 10, 12, 14, 16, 20, 24, 28, 32, 40, 48, 64, 80, 100, 128,
        160, 200, 256, 320, 400, 512, 640, 800, corpus.size() };
    std::vector<Sample> samples;
    uint32_t seed = 2463534242u; // xorshift: the same samples on every run
    auto next = [&seed] {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        return seed;
    };
    for (size_t length : lengths) {
        for (int variant = 0; variant < 4; ++variant) {
            const size_t start = length >= corpus.size() ? 0 : next() % (corpus.size() - length + 1);
            const std::string text = Utf8(corpus.substr(start, length));
            const std::string page = variant % 2 == 0
                ? text
                : "<html><head><title>" + text + "</title></head>\n<body>\n<p>" + text + "</p>\n</body></html>\n";
            for (PageEncoding encoding : { PageEncoding::ShiftJis, PageEncoding::Utf8, PageEncoding::EucJp }) {
                Sample sample;
                sample.what = std::to_string(length) + " characters from " + std::to_string(start)
                    + (variant % 2 ? " in a page" : "") + " in " + Name(encoding);
                sample.encoding = encoding;
                sample.bytes = codec::Encode(encoding, page).bytes;
                samples.push_back(std::move(sample));
            }
        }
    }
    return samples;
}

TEST(DetectPageEncoding, RightWhereverNkfIsRight)
{
    ASSERT_EQ(RunCommand("nkf --version 2>/dev/null").substr(0, 7), "Network")
        << "nkf is needed (scripts/install-deps installs the nkf package)";
    const std::vector<Sample> samples = Samples();
    test::TempDir dir;
    std::string files;
    for (size_t i = 0; i < samples.size(); ++i) {
        const std::string file = dir.file("s" + std::to_string(i));
        std::ofstream(file, std::ios::binary) << samples[i].bytes;
        files += " " + file;
    }
    // One line per file: "<file>: <guess>".
    std::map<std::string, std::string> guesses;
    std::istringstream lines(RunCommand("nkf --guess" + files));
    for (std::string line; std::getline(lines, line);) {
        const size_t colon = line.find(": ");
        if (colon != std::string::npos)
            guesses[line.substr(0, colon)] = line.substr(colon + 2);
    }
    ASSERT_EQ(guesses.size(), samples.size());
    size_t nkfRight = 0;
    size_t ownRight = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const Sample& sample = samples[i];
        const std::string& guess = guesses[dir.file("s" + std::to_string(i))];
        const PageEncoding detected = DetectPageEncoding(sample.bytes);
        ownRight += detected == sample.encoding;
        if (FromNkf(guess) != sample.encoding)
            continue;
        ++nkfRight;
        EXPECT_EQ(Name(detected), Name(sample.encoding)) << sample.what << " (nkf: " << guess << ")";
    }
    // Most samples are long enough for nkf, so the comparison is not empty.
    EXPECT_GT(nkfRight, samples.size() * 3 / 4);
    std::printf("%zu samples: nkf right on %zu, DetectPageEncoding on %zu\n", samples.size(), nkfRight, ownRight);
}

} // namespace
} // namespace pw
