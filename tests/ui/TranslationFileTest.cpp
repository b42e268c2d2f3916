#include "ui/TranslationFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace veltrona::ui {
namespace {

std::string readFixture(const std::string& name) {
    std::ifstream in(std::string(VELTRONA_TEST_DATA_DIR) + "/ui/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct LookupCase {
    const char* name;
    const char* fixture;
    const char* section;
    const char* key;
    const char* expected;  // "<fallback>" when the lookup must miss
};

constexpr const char* kFallback = "<fallback>";

class TranslationLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(TranslationLookup, FindsWhatTheReadingRulesLeave) {
    const LookupCase& c = GetParam();
    const TranslationFile file = TranslationFile::parse(readFixture(c.fixture));
    EXPECT_EQ(file.lookup(c.section, c.key, kFallback), c.expected);
}

const LookupCase kLookupCases[] = {
    {"PlainEntry", "rules.ini", "Main", "Main.Plain", "plain"},
    {"SectionNameInOtherCase", "rules.ini", "mAIN", "Main.Plain", "plain"},
    {"KeyInCapitals", "rules.ini", "Main", "MAIN.PLAIN", "plain"},
    {"LowerCaseKeyInFile", "rules.ini", "Main", "Main.Lower", "lower-case key"},
    {"UpperCaseKeyInFile", "rules.ini", "Main", "main.upper", "upper-case key"},
    {"BlanksAroundEqualsAndLineDropped", "rules.ini", "Main", "Main.Blanks",
     "around the equals sign"},
    {"QuotesKept", "rules.ini", "Main", "Main.Quoted", "\"kept in quotes\""},
    {"FirstEqualsSplits", "rules.ini", "Main", "Main.Equals", "a=b=c"},
    {"SemicolonInsideLineIsText", "rules.ini", "Main", "Main.Semicolon", "text ; not a comment"},
    {"CommentLineNeverFound", "rules.ini", "Main", ";Main.Commented", kFallback},
    {"CommentedKeyNeverFound", "rules.ini", "Main", "Main.Commented", kFallback},
    {"LineWithoutEqualsNeverFound", "rules.ini", "Main", "Line without an equals sign", kFallback},
    {"LastKeyWins", "rules.ini", "Main", "Main.Twice", "second"},
    {"EmptyValueIsFoundEmpty", "rules.ini", "Main", "Main.Empty", ""},
    {"FsdefReadBack", "rules.ini", "Main", "Main.Memo.lines[0]", "fsdef"},
    {"FsdefInCapitalsKept", "rules.ini", "Main", "Main.Memo.lines[1]", "FSDEF"},
    {"CapitalLInLinesKey", "rules.ini", "Main", "Main.Memo.lines[2]", "capital L"},
    {"LineBeforeFirstSectionIgnored", "rules.ini", "Main", "Main.Orphan", kFallback},
    {"HeaderWithCommentOpensNoSection", "rules.ini", "Second", "Main.AfterBrokenHeader", kFallback},
    {"EntriesBelowBrokenHeaderStayInSectionBefore", "rules.ini", "Main", "Main.AfterBrokenHeader",
     "still Main"},
    {"EntriesBelowBrokenFirstHeaderIgnored", "rules.ini", "Main", "Main.Lost", kFallback},
    {"SectionNameTrimmed", "rules.ini", "Padded Name", "Padded.Key", "padded"},
    {"EmptySectionName", "rules.ini", "", "Nameless.Key", "nameless"},
    {"MissingSection", "rules.ini", "Absent", "Main.Plain", kFallback},
    {"MissingKey", "rules.ini", "Main", "Main.Absent", kFallback},
    {"LastSectionOfNameAloneCounts", "duplicates.ini", "Main", "Main.OnlyEarly", kFallback},
    {"LastSectionOfNameWins", "duplicates.ini", "main", "Main.Both", "late"},
    {"OtherSectionBetweenDuplicates", "duplicates.ini", "Other", "Other.Key", "other"},
    {"ByteOrderMarkHidesFirstHeader", "bom.ini", "Main", "Main.Key", kFallback},
    {"ByteOrderMarkLeavesLaterSections", "bom.ini", "Second", "Second.Key", "second"},
    {"BeforeNul", "embedded-nul.ini", "Main", "Main.Before", "before the NUL"},
    {"NulCutsValue", "embedded-nul.ini", "Main", "Main.Cut", "abc"},
    {"NothingAfterNul", "embedded-nul.ini", "Main", "Main.After", kFallback},
    {"CrLfBreak", "line-breaks.ini", "Main", "Main.CrLf", "crlf"},
    {"LoneCrBreak", "line-breaks.ini", "Main", "Main.Cr", "cr"},
    {"LoneLfBreak", "line-breaks.ini", "Main", "Main.Lf", "lf"},
    {"LastLineWithoutBreak", "line-breaks.ini", "Main", "Main.Last", "no break at the end"},
};

INSTANTIATE_TEST_SUITE_P(Fixtures, TranslationLookup, ::testing::ValuesIn(kLookupCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TranslationFileParse, KeepsSectionsAndEntriesInFileOrder) {
    const TranslationFile file = TranslationFile::parse(readFixture("duplicates.ini"));
    ASSERT_EQ(file.sections().size(), 3u);
    EXPECT_EQ(file.sections()[0].name, "Main");
    EXPECT_EQ(file.sections()[1].name, "Other");
    EXPECT_EQ(file.sections()[2].name, "MAIN");
    EXPECT_EQ(file.sections()[0].entries,
              (std::vector<std::string>{"Main.OnlyEarly=hidden by the later section",
                                        "Main.Both=early"}));
}

TEST(TranslationFileParse, StoresTrimmedEntriesAndLinesWithoutEquals) {
    const TranslationFile file =
        TranslationFile::parse("[S]\n  Key \t=\t Value  \n\x01 bare line \x1f\n=no key\n[S2]\n");
    ASSERT_EQ(file.sections().size(), 2u);
    EXPECT_EQ(file.sections()[0].entries,
              (std::vector<std::string>{"Key=Value", "bare line", "=no key"}));
    EXPECT_EQ(file.sections()[1].entries, std::vector<std::string>{});
}

TEST(TranslationFileParse, EmptyOrSectionlessContentHasNoSections) {
    // The names of the sections found, so that a failure shows them.
    const auto sectionNames = [](std::string_view content) {
        std::vector<std::string> names;
        const TranslationFile file = TranslationFile::parse(content);
        for (const auto& section : file.sections()) {
            names.push_back(section.name);
        }
        return names;
    };
    for (const char* content : {"", "\r\n\n\r", "Key=Value\n; comment\n[Broken\n"}) {
        EXPECT_EQ(sectionNames(content), std::vector<std::string>{}) << content;
    }
    EXPECT_EQ(sectionNames(std::string_view("\0[Main]\nK=V", 11)), std::vector<std::string>{});
}

}  // namespace
}  // namespace veltrona::ui
