// The README and the pages under docs/: every relative link reaches a file
// (and a heading, when it names one), and the README stays one page.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kSource = SOURCE_DIR;

// The whole of `path`, or "" when it cannot be read.
std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The anchor a heading gets: lower case, spaces as '-', only letters, digits,
// '-' and '_' kept.
std::string Anchor(const std::string& heading) {
    std::string anchor;
    for (const char c : heading) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == ' ') {
            anchor += '-';
        } else if (std::isalnum(u) || c == '-' || c == '_') {
            anchor += static_cast<char>(std::tolower(u));
        }
    }
    return anchor;
}

// The anchors of the "#" headings of a Markdown text.
std::set<std::string> Anchors(const std::string& markdown) {
    std::set<std::string> anchors;
    std::istringstream in(markdown);
    for (std::string line; std::getline(in, line);) {
        const std::size_t hashes = line.find_first_not_of('#');
        if (hashes > 0 && hashes != std::string::npos && line[hashes] == ' ') {
            anchors.insert(Anchor(line.substr(hashes + 1)));
        }
    }
    return anchors;
}

// The targets of the inline links "[text](target)" of a Markdown text.
std::vector<std::string> LinkTargets(const std::string& markdown) {
    std::vector<std::string> targets;
    for (std::size_t at = markdown.find("]("); at != std::string::npos;
         at = markdown.find("](", at + 2)) {
        const std::size_t end = markdown.find(')', at + 2);
        if (end == std::string::npos) {
            break;
        }
        targets.push_back(markdown.substr(at + 2, end - at - 2));
    }
    return targets;
}

// What is wrong with the link `target` in the page `page`, or "" when it
// reaches its file and heading. Links to other sites are not followed.
std::string BrokenLink(const fs::path& page, const std::string& target) {
    if (target.find("://") != std::string::npos || target.rfind("mailto:", 0) == 0) {
        return "";
    }
    const std::size_t hash = target.find('#');
    const std::string file = target.substr(0, hash);
    const fs::path reached = file.empty() ? page : page.parent_path() / file;
    if (!fs::exists(reached)) {
        return "no file " + reached.lexically_normal().string();
    }
    if (hash == std::string::npos) {
        return "";
    }
    const std::string anchor = target.substr(hash + 1);
    if (Anchors(ReadText(reached)).count(anchor) == 0) {
        return "no heading #" + anchor + " in " + reached.lexically_normal().string();
    }
    return "";
}

// README.md and every docs/*.md.
std::vector<fs::path> Pages() {
    std::vector<fs::path> pages = {kSource / "README.md"};
    for (const fs::directory_entry& entry : fs::directory_iterator(kSource / "docs")) {
        if (entry.path().extension() == ".md") {
            pages.push_back(entry.path());
        }
    }
    return pages;
}

}  // namespace

TEST(DocLinks, AnchorIsTheHeadingInLowerCaseWithoutPunctuation) {
    EXPECT_EQ(Anchor("A real board in three steps"), "a-real-board-in-three-steps");
    EXPECT_EQ(Anchor("Slow answers: latency timers and networks"),
              "slow-answers-latency-timers-and-networks");
    EXPECT_EQ(Anchor("Torvanex and Torvane: loading"), "torvanex-and-torvane-loading");
    EXPECT_EQ(Anchor("Status 3: no answer to the `@`"), "status-3-no-answer-to-the-");
}

TEST(DocLinks, BrokenLinksAreFound) {
    const fs::path readme = kSource / "README.md";
    EXPECT_EQ(BrokenLink(readme, "https://example.org/none"), "");
    EXPECT_EQ(BrokenLink(readme, "LICENSE"), "");
    EXPECT_NE(BrokenLink(readme, "docs/no-such-page.md"), "");
    EXPECT_NE(BrokenLink(readme, "#no-such-heading"), "");
    EXPECT_EQ(LinkTargets("see [a](x.md) and [b](y.md#z)."),
              (std::vector<std::string>{"x.md", "y.md#z"}));
}

TEST(DocLinks, EveryRelativeLinkReachesItsPageAndHeading) {
    const std::vector<fs::path> pages = Pages();
    ASSERT_GE(pages.size(), 2u);
    std::size_t links = 0;
    for (const fs::path& page : pages) {
        const std::string text = ReadText(page);
        ASSERT_FALSE(text.empty()) << page;
        for (const std::string& target : LinkTargets(text)) {
            ++links;
            EXPECT_EQ(BrokenLink(page, target), "")
                << page.filename().string() << ": (" << target << ")";
        }
    }
    EXPECT_GT(links, pages.size());
}

// One page, read in one sitting; the exit statuses are in --help and the
// manual pages, not in a table here.
TEST(DocLinks, ReadmeIsOnePageWithoutStatusTables) {
    const std::string readme = ReadText(kSource / "README.md");
    ASSERT_FALSE(readme.empty());
    EXPECT_LE(readme.size(), 8000u);
    EXPECT_EQ(readme.find("| Status |"), std::string::npos);
}
