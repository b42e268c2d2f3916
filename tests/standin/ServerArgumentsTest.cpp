#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ServerArguments.h"

namespace veltrona::standin {
namespace {

using Args = std::vector<std::string>;

ServerOptions makeOptions(std::string folder, std::string title, std::optional<int> port) {
    ServerOptions options;
    options.imageFolder = std::move(folder);
    options.aeTitle = std::move(title);
    options.port = port;
    return options;
}

// Each row is the argument vector that splitting the tool's parameter string yields.
TEST(ServerArguments, AcceptsWhatTheToolSends) {
    struct Row {
        const char* name;
        Args arguments;
        ServerOptions expected;
    };
    std::vector<Row> rows;
    {
        // [ -dw -dhl +xs -od "D:\Images"  -aet ARCHIVE 104]
        auto o = makeOptions("D:\\Images", "ARCHIVE", 104);
        o.dhcp = true;
        o.transferSyntax = "+xs";
        rows.push_back({"dhcp and transfer syntax",
                        {"-dw", "-dhl", "+xs", "-od", "D:\\Images", "-aet", "ARCHIVE", "104"},
                        o});
    }
    {
        // [ -d -dw  -xf "C:\Tools\Admin\setup.cfg" "default" -od "D:\Images"  -aet ARCHIVE 104]
        auto o = makeOptions("D:\\Images", "ARCHIVE", 104);
        o.debug = true;
        o.profileFile = "C:\\Tools\\Admin\\setup.cfg";
        o.profileName = "default";
        rows.push_back({"verbose with profile",
                        {"-d", "-dw", "-xf", "C:\\Tools\\Admin\\setup.cfg", "default", "-od",
                         "D:\\Images", "-aet", "ARCHIVE", "104"},
                        o});
    }
    {
        // [ -dw +xs -v -od "D:\Images"  -aet ARCHIVE 104]
        auto o = makeOptions("D:\\Images", "ARCHIVE", 104);
        o.transferSyntax = "+xs";
        o.additional = {"-v"};
        rows.push_back({"additional parameter",
                        {"-dw", "+xs", "-v", "-od", "D:\\Images", "-aet", "ARCHIVE", "104"},
                        o});
    }
    // [ -dw  -od ""  -aet  ]: everything empty.
    rows.push_back(
        {"empty settings", {"-dw", "-od", "", "-aet"}, makeOptions("", "", std::nullopt)});
    rows.push_back(
        {"port without title", {"-dw", "-od", "", "-aet", "11112"}, makeOptions("", "", 11112)});
    rows.push_back({"title without port",
                    {"-dw", "-od", "x", "-aet", "STORE"},
                    makeOptions("x", "STORE", std::nullopt)});
    rows.push_back({"title with blanks",
                    {"-dw", "-od", "x", "-aet", "MY", "AE", "1"},
                    makeOptions("x", "MY AE", 1)});
    {
        auto o = makeOptions("x", "A", 65535);
        o.additional = {";", "touch", "/tmp/x", "$(id)"};
        rows.push_back({"shell text is plain additional parameters",
                        {"-dw", ";", "touch", "/tmp/x", "$(id)", "-od", "x", "-aet", "A", "65535"},
                        o});
    }
    // Options given again among the additional parameters: the last one counts.
    {
        auto o = makeOptions("images", "ARCHIVE MAIN", 104);
        o.transferSyntax = "+xi";
        o.additional = {"-v", "+xi"};
        rows.push_back(
            {"a second syntax replaces the first",
             {"-dw", "+xs", "-v", "+xi", "-od", "images", "-aet", "ARCHIVE", "MAIN", "104"},
             o});
    }
    {
        auto o = makeOptions("x", "A", 104);
        o.transferSyntax = "+x=";
        o.debug = true;
        o.dhcp = true;
        o.additional = {"+xy", "-d", "-dhl", "+x="};
        rows.push_back({"flags and the last of several syntaxes",
                        {"-dw", "-xf", "s.cfg", "default", "+xy", "-d", "-dhl", "+x=", "-od", "x",
                         "-aet", "A", "104"},
                        o});
    }
    {
        auto o = makeOptions("x", "A", 104);
        o.profileFile = "other.cfg";
        o.profileName = "p";
        o.additional = {"-xf", "other.cfg", "p"};
        rows.push_back({"a profile replaces the syntax",
                        {"-dw", "+xs", "-xf", "other.cfg", "p", "-od", "x", "-aet", "A", "104"},
                        o});
    }
    for (const char* syntax : {"+x=", "+xs", "+xy", "+xi"}) {
        auto o = makeOptions("f", "T", 104);
        o.transferSyntax = syntax;
        rows.push_back({syntax, {"-dw", syntax, "-od", "f", "-aet", "T", "104"}, o});
    }
    for (const auto& row : rows) {
        const auto parsed = parseServerArguments(row.arguments);
        ASSERT_TRUE(parsed.options.has_value()) << row.name << ": " << parsed.error;
        EXPECT_EQ(*parsed.options, row.expected) << row.name;
    }
}

TEST(ServerArguments, RejectsWhatDoesNotFit) {
    const std::vector<std::pair<const char*, Args>> rows = {
        {"nothing", {}},
        {"missing -dw", {"-od", "x", "-aet", "A", "104"}},
        {"-d alone", {"-d", "-od", "x", "-aet", "A", "104"}},
        {"-dw not first", {"+xs", "-dw", "-od", "x", "-aet", "A", "104"}},
        {"missing -od", {"-dw", "+xs", "-aet", "A", "104"}},
        {"-od without folder", {"-dw", "-od"}},
        {"missing -aet", {"-dw", "-od", "x", "A", "104"}},
        {"-xf without values", {"-dw", "-xf", "-od", "x", "-aet", "A", "104"}},
        {"-xf with one value", {"-dw", "-xf", "setup.cfg", "-od", "x", "-aet", "A", "104"}},
        {"-xf at the end", {"-dw", "-xf", "a"}},
        {"-xf repeated without values", {"-dw", "+xs", "-xf", "a", "-od", "x", "-aet", "A", "1"}},
        {"port zero", {"-dw", "-od", "x", "-aet", "A", "0"}},
        {"port too large", {"-dw", "-od", "x", "-aet", "A", "65536"}},
        {"port huge", {"-dw", "-od", "x", "-aet", "A", "99999999999999999999"}},
        {"port not a number", {"-dw", "-od", "x", "-aet", "A", "104x"}},
        {"port not a number after a title of two words",
         {"-dw", "-od", "x", "-aet", "ARCHIVE", "MAIN", "1O4"}},
        {"port negative", {"-dw", "-od", "x", "-aet", "A", "-104"}},
        {"lone port zero", {"-dw", "-od", "x", "-aet", "0"}},
    };
    for (const auto& [name, arguments] : rows) {
        const auto parsed = parseServerArguments(arguments);
        EXPECT_FALSE(parsed.options.has_value()) << name;
        EXPECT_FALSE(parsed.error.empty()) << name;
    }
}

TEST(ArgumentRecord, RoundTripsAnyArgumentAndRejectsDamage) {
    const Args tricky = {"", " ", "a b", "\"quoted\"", "line\nbreak", "12:34", "\\", "\xE4"};
    const auto record = encodeArgumentRecord(tricky);
    EXPECT_EQ(record.substr(0, 7), "0:\n1: \n");
    EXPECT_EQ(decodeArgumentRecord(record), tricky);
    EXPECT_EQ(decodeArgumentRecord(""), Args{});

    for (const char* damaged : {"3:ab\n", "3:abcd\n", "x:a\n", ":a\n", "1:a", "2:ab\n1"}) {
        EXPECT_FALSE(decodeArgumentRecord(damaged).has_value()) << damaged;
    }
}

}  // namespace
}  // namespace veltrona::standin
