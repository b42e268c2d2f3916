#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "process/ServerDetection.h"

namespace veltrona::process {
namespace {

// A process table that a test writes; the platform-independent logic cannot be driven by
// real processes with Windows paths on any other system.
class ScriptedPlatform : public ProcessPlatform {
  public:
    ScriptedPlatform(PathSyntax syntax, std::vector<std::vector<ProcessEntry>> listings)
        : syntax_(syntax), listings_(std::move(listings)) {}

    PathSyntax pathSyntax() const override { return syntax_; }
    std::vector<ProcessEntry> listProcesses() override {
        const auto index = std::min(listCalls_, listings_.size() - 1);
        ++listCalls_;
        return listings_[index];
    }
    TerminateResult terminate(const ProcessEntry& entry) override {
        terminated.push_back(entry.id);
        const auto scripted = results.find(entry.id);
        return scripted == results.end() ? TerminateResult::Terminated : scripted->second;
    }
    void launch(const std::filesystem::path&, const std::string&, bool) override {}

    std::map<ProcessId, TerminateResult> results;
    std::vector<ProcessId> terminated;

  private:
    PathSyntax syntax_;
    std::vector<std::vector<ProcessEntry>> listings_;
    std::size_t listCalls_ = 0;
};

// Shift-JIS lead bytes: 0x81..0x9F and 0xE0..0xFC. 0x5C ('\') is a valid trail byte.
bool isShiftJisLead(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

TEST(FileNamePart, TakesTextAfterLastSeparatorOfTheSyntax) {
    struct Row {
        const char* name;
        std::string entry;
        PathSyntax syntax;
        bool doubleByte;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {"windows full path", "C:\\Tools\\Admin\\ZarvoServer.exe", PathSyntax::Windows, false,
         "ZarvoServer.exe"},
        {"bare name", "ZarvoServer.exe", PathSyntax::Windows, false, "ZarvoServer.exe"},
        {"drive colon separates", "C:ZarvoServer.exe", PathSyntax::Windows, false,
         "ZarvoServer.exe"},
        {"forward slash is no windows separator", "C:/Tools/ZarvoServer.exe", PathSyntax::Windows,
         false, "/Tools/ZarvoServer.exe"},
        {"trailing backslash", "C:\\Tools\\", PathSyntax::Windows, false, ""},
        {"empty entry", "", PathSyntax::Windows, false, ""},
        {"posix full path", "/opt/zarvo/ZarvoServer.exe", PathSyntax::Posix, false,
         "ZarvoServer.exe"},
        {"backslash and colon are plain on posix", "/srv/a:b\\ZarvoServer.exe", PathSyntax::Posix,
         false, "a:b\\ZarvoServer.exe"},
        {"posix trailing slash", "/opt/zarvo/", PathSyntax::Posix, false, ""},
        // "\x95\x5C" is one Shift-JIS character whose second byte is a backslash.
        {"dbcs trail byte is no separator", "C:\\\x95\x5C\\Srv\x95\x5C.exe", PathSyntax::Windows,
         true, "Srv\x95\x5C.exe"},
        {"dbcs trail colon is no separator", "D\x95:x.exe", PathSyntax::Windows, true,
         "D\x95:x.exe"},
        {"same bytes without dbcs code page split", "C:\\Srv\x95\x5C.exe", PathSyntax::Windows,
         false, ".exe"},
        {"lead byte at the end stands alone", "C:\\a\x95", PathSyntax::Windows, true, "a\x95"},
        {"backslash after a complete pair separates", "\x95\x5C\\Zarvo.exe", PathSyntax::Windows,
         true, "Zarvo.exe"},
    };
    for (const auto& row : rows) {
        const LeadBytePredicate lead = row.doubleByte ? LeadBytePredicate(isShiftJisLead) : nullptr;
        EXPECT_EQ(fileNamePart(row.entry, row.syntax, lead), row.expected) << row.name;
    }
}

TEST(EqualsIgnoringAsciiCase, FoldsOnlyAsciiLetters) {
    struct Row {
        const char* name;
        std::string a;
        std::string b;
        bool equal;
    };
    const std::vector<Row> rows = {
        {"same", "ZarvoServer.exe", "ZarvoServer.exe", true},
        {"capitals", "ZARVOSERVER.EXE", "ZarvoServer.exe", true},
        {"longer", "ZarvoServer.exe.bak", "ZarvoServer.exe", false},
        {"shorter", "ZarvoServer.ex", "ZarvoServer.exe", false},
        {"both empty", "", "", true},
        {"at sign is not a backtick", "@", "`", false},
        {"brackets are not braces", "[\\]", "{|}", false},
        {"latin-1 umlauts are not folded", "Z\xE4rvo", "Z\xC4rvo", false},
        {"utf-8 umlauts are not folded", "Z\xC3\xA4rvo", "Z\xC3\x84rvo", false},
        {"identical non-ascii", "Z\xE4rvo", "z\xE4RVO", true},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(equalsIgnoringAsciiCase(row.a, row.b), row.equal) << row.name;
        EXPECT_EQ(equalsIgnoringAsciiCase(row.b, row.a), row.equal) << row.name << " (swapped)";
    }
}

TEST(IsProcessRunning, MatchesFileNamePartIgnoringAsciiCase) {
    struct Row {
        const char* name;
        PathSyntax syntax;
        std::vector<std::string> executables;
        bool running;
    };
    const std::vector<Row> rows = {
        {"full path",
         PathSyntax::Windows,
         {"C:\\System\\svc.exe", "C:\\Tools\\ZarvoServer.exe"},
         true},
        {"bare name", PathSyntax::Windows, {"ZarvoServer.exe"}, true},
        {"other ascii case", PathSyntax::Windows, {"C:\\TOOLS\\ZARVOSERVER.EXE"}, true},
        {"suffix added", PathSyntax::Windows, {"C:\\Tools\\ZarvoServer.exe.old"}, false},
        {"prefix added", PathSyntax::Windows, {"C:\\Tools\\MyZarvoServer.exe"}, false},
        {"character missing", PathSyntax::Windows, {"C:\\Tools\\ZarvoServer.ex"}, false},
        {"drive-letter colon", PathSyntax::Windows, {"C:ZarvoServer.exe"}, true},
        {"forward slashes in windows entry",
         PathSyntax::Windows,
         {"C:/Tools/ZarvoServer.exe"},
         false},
        {"trailing separator", PathSyntax::Windows, {"C:\\Tools\\ZarvoServer.exe\\"}, false},
        {"empty list", PathSyntax::Windows, {}, false},
        {"two matches",
         PathSyntax::Windows,
         {"C:\\a\\ZarvoServer.exe", "D:\\b\\zarvoserver.exe"},
         true},
        {"posix path", PathSyntax::Posix, {"/usr/bin/sleep", "/home/a/ZarvoServer.exe"}, true},
        {"windows path under posix syntax",
         PathSyntax::Posix,
         {"C:\\Tools\\ZarvoServer.exe"},
         false},
    };
    for (const auto& row : rows) {
        std::vector<ProcessEntry> listing;
        ProcessId id = 100;
        for (const auto& executable : row.executables) {
            listing.push_back({id++, executable});
        }
        ScriptedPlatform platform(row.syntax, {listing});
        EXPECT_EQ(isProcessRunning(platform, "ZarvoServer.exe"), row.running) << row.name;
        EXPECT_EQ(platform.terminated, std::vector<ProcessId>{})
            << row.name << ": detection only looks";
    }
}

TEST(IsProcessRunning, ListsAfreshAtEveryCall) {
    const ProcessEntry server{7, "/srv/ZarvoServer.exe"};
    const ProcessEntry other{8, "/bin/sh"};
    ScriptedPlatform platform(PathSyntax::Posix, {{other}, {other, server}, {other}});
    EXPECT_FALSE(isProcessRunning(platform, "ZarvoServer.exe"));
    EXPECT_TRUE(isProcessRunning(platform, "ZarvoServer.exe"));
    EXPECT_FALSE(isProcessRunning(platform, "ZarvoServer.exe"));
}

TEST(TerminateProcessesNamed, EndsEveryExactMatchAndReportsEachRefusal) {
    using R = TerminateResult;
    struct Row {
        const char* name;
        PathSyntax syntax;
        std::vector<ProcessEntry> listing;
        std::map<ProcessId, R> results;
        std::vector<ProcessId> terminated;
        int refusals;
    };
    const std::vector<Row> rows = {
        {"two servers, both ended",
         PathSyntax::Windows,
         {{1, "C:\\Tools\\ZarvoServer.exe"}, {2, "C:\\Windows\\x.exe"}, {3, "ZarvoServer.exe"}},
         {},
         {1, 3},
         0},
        {"server in another folder",
         PathSyntax::Windows,
         {{4, "E:\\elsewhere\\ZarvoServer.exe"}},
         {},
         {4},
         0},
        {"other letter case is left alone",
         PathSyntax::Windows,
         {{5, "C:\\Tools\\ZARVOSERVER.EXE"}, {6, "C:\\Tools\\zarvoserver.exe"}},
         {},
         {},
         0},
        {"refusal reported once per process, rest still examined",
         PathSyntax::Windows,
         {{7, "C:\\a\\ZarvoServer.exe"},
          {8, "C:\\b\\ZarvoServer.exe"},
          {9, "C:\\c\\ZarvoServer.exe"}},
         {{7, R::Refused}, {9, R::Refused}},
         {7, 8, 9},
         2},
        {"vanished process is silent",
         PathSyntax::Posix,
         {{10, "/opt/ZarvoServer.exe"}, {11, "/opt2/ZarvoServer.exe"}},
         {{10, R::Vanished}},
         {10, 11},
         0},
        {"drive colon separates for the stop too",
         PathSyntax::Windows,
         {{12, "C:ZarvoServer.exe"}},
         {},
         {12},
         0},
        {"suffix added is no match", PathSyntax::Posix, {{13, "/x/ZarvoServer.exe.1"}}, {}, {}, 0},
        {"empty list", PathSyntax::Posix, {}, {}, {}, 0},
    };
    for (const auto& row : rows) {
        ScriptedPlatform platform(row.syntax, {row.listing});
        platform.results = row.results;
        int refusals = 0;
        terminateProcessesNamed(platform, "ZarvoServer.exe", [&] { ++refusals; });
        EXPECT_EQ(platform.terminated, row.terminated) << row.name;
        EXPECT_EQ(refusals, row.refusals) << row.name;
    }
}

}  // namespace
}  // namespace veltrona::process
