// --help (made from the command's table of options), the README, the man page and the bash
// completion name the same options and the same statistics.

#include "CommandRun.h"

#include "stats/TStackStatistic.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

using TNames = std::set<std::string>;

std::string SourceFile(const std::string& path) { return ReadText(std::string(GRIDMEAN_TEST_SOURCE_DIR) + "/../" + path); }

// Every match of the pattern's first group, over the lines that match it.
TNames Matches(const std::string& text, const std::string& pattern)
{
    TNames names;
    const std::regex expression(pattern);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        for (std::sregex_iterator it(line.begin(), line.end(), expression), end; it != end; ++it) names.insert((*it)[1]);
    return names;
}

// The words of a shell variable assigned a quoted list, which may span lines: name='a b c'.
TNames ShellList(const std::string& script, const std::string& variable)
{
    const size_t start = script.find(variable + "='");
    if (start == std::string::npos) return {};
    const size_t open = start + variable.size() + 2;
    std::istringstream words(script.substr(open, script.find('\'', open) - open));
    TNames names;
    for (std::string word; words >> word;) names.insert(word);
    return names;
}

// The text between a line starting with `from` and the next line starting with `to`.
std::string Section(const std::string& text, const std::string& from, const std::string& to)
{
    const size_t start = text.find("\n" + from);
    if (start == std::string::npos) return "";
    const size_t end = text.find("\n" + to, start + 1);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string Help()
{
    TScratchDir dir;
    return RunCommand(dir, {"--help"}).Output;
}

}  // namespace

TEST(Documentation, HelpReadmeManPageAndCompletionNameTheSameOptions)
{
    const TNames help = Matches(Help(), "^  (?:-[a-z], )?(--[a-z-]+)");
    ASSERT_GE(help.size(), 10u);
    // The README's table of options, the man page's OPTIONS, the completion's list (with "--").
    EXPECT_EQ(Matches(Section(SourceFile("README.md"), "| option |", "Examples:"), "^\\| `(?:-[a-z][^`]*`, `)?(--[a-z-]+)"),
              help);
    TNames man;
    const std::string options = Section(SourceFile("doc/gridmean.1"), ".SH OPTIONS", ".SH ");
    std::istringstream lines(options);
    bool item = false;
    for (std::string line; std::getline(lines, line);) {
        if (item)
            for (const std::string& name : Matches(line, "(\\\\-\\\\-[a-z][a-z\\\\-]*)"))
                man.insert(std::regex_replace(name, std::regex("\\\\-"), "-"));
        item = line == ".TP";
    }
    EXPECT_EQ(man, help);
    TNames completion = ShellList(SourceFile("completion/gridmean.bash"), "local options");
    EXPECT_EQ(completion.erase("--"), 1u);
    EXPECT_EQ(completion, help);
}

TEST(Documentation, HelpReadmeManPageAndCompletionNameEveryStatistic)
{
    const std::string help = Help();
    const std::string readme = SourceFile("README.md");
    const std::string man = Section(SourceFile("doc/gridmean.1"), ".SH STATISTICS", ".SH ");
    const TNames completion = ShellList(SourceFile("completion/gridmean.bash"), "local stats");
    TNames stats;
    for (const TStatisticName& name : TStackStatistic::Names()) {
        // A family by its prefix: pNN by p, gt:T by gt:.
        std::string word = name.Name;
        const bool family = TStackStatistic::IsFamily(word);
        if (family) word = word.substr(0, word.size() - (word.back() == 'N' ? 2 : 1));
        if (!family) stats.insert(word);
        const std::string pattern = std::regex_replace(word, std::regex("[-:]"), "\\$&");
        EXPECT_TRUE(std::regex_search(help, std::regex("[ ,:]" + pattern + (family ? "" : "[ ,(\n]")))) << word << " in --help";
        EXPECT_NE(readme.find("`" + word), std::string::npos) << word << " in the README";
        EXPECT_TRUE(std::regex_search(man, std::regex("[ \"]" + pattern))) << word << " in the man page";
    }
    EXPECT_EQ(completion, stats);
}
