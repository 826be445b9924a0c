// Manual pages from help texts: what roff would misread is escaped, the help layout is read
// into the right blocks, and the page puts them in the right sections.
#include "man/man_page.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using vx::man::HelpBlock;
using Kind = HelpBlock::Kind;

struct EscapeCase {
    const char* text;
    const char* roff;
};

void PrintTo(const EscapeCase& c, std::ostream* os) {
    *os << c.roff;
}

class RoffEscape : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(RoffEscape, EscapesWhatRoffWouldMisread) {
    EXPECT_EQ(vx::man::roffEscape(GetParam().text), GetParam().roff);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RoffEscape,
    ::testing::Values(EscapeCase{"plain text (1..32)", "plain text (1..32)"},
                      EscapeCase{"--json -i a-b", "\\-\\-json \\-i a\\-b"},
                      EscapeCase{"C:\\path\\n", "C:\\(rspath\\(rsn"},
                      EscapeCase{"the \"VORSAND\" menu", "the \\(dqVORSAND\\(dq menu"},
                      // A leading '.' or '\'' would be a roff request.
                      EscapeCase{".hidden", "\\&.hidden"},
                      EscapeCase{"'vexor COMMAND --help'", "\\&'vexor COMMAND \\-\\-help'"},
                      EscapeCase{"a.b 'c'", "a.b 'c'"},
                      // UTF-8 as code points; bad bytes one U+FFFD each.
                      EscapeCase{"a \xE2\x80\x94 b", "a \\[u2014] b"},
                      EscapeCase{"10\xC2\xB0", "10\\[u00B0]"},
                      EscapeCase{"\xF0\x9F\x9B\xB0", "\\[u1F6F0]"},
                      EscapeCase{"\xFF x", "\\[uFFFD] x"},
                      EscapeCase{"end \xE2\x80", "end \\[uFFFD]\\[uFFFD]"},
                      EscapeCase{"\xC0\xAF", "\\[uFFFD]\\[uFFFD]"},              // overlong '/'
                      EscapeCase{"\xED\xA0\x80", "\\[uFFFD]\\[uFFFD]\\[uFFFD]"}, // surrogate
                      EscapeCase{"\xF4\x90\x80\x80", "\\[uFFFD]\\[uFFFD]\\[uFFFD]\\[uFFFD]"}));

const char* kToolHelp = "Usage: tool query CODE [BYTE...]\n"
                        "       tool set CODE VALUE\n"
                        "                [--index I]\n"
                        "\n"
                        "Sends a command to the\n"
                        "receiver.\n"
                        "\n"
                        "options:\n"
                        "  --port PATH   the device, e.g.\n"
                        "                /dev/ttyUSB0\n"
                        "  --a-very-long-option\n"
                        "                its text on the next line\n"
                        "  -q            quiet\n"
                        "\n"
                        "  tool query 21 01\n"
                        "Example: tool query 21 01   prints   81 02 21 01 D9 82\n";

TEST(ParseHelp, ReadsUsageParagraphsHeadingsItemsAndExamples) {
    const std::vector<HelpBlock> want = {
        {Kind::Usage, "", {"tool query CODE [BYTE...]", "tool set CODE VALUE [--index I]"}},
        {Kind::Paragraph, "", {"Sends a command to the", "receiver."}},
        {Kind::Heading, "", {"options"}},
        {Kind::Item, "--port PATH", {"the device, e.g.", "/dev/ttyUSB0"}},
        {Kind::Item, "--a-very-long-option", {"its text on the next line"}},
        {Kind::Item, "-q", {"quiet"}},
        {Kind::Item, "tool query 21 01", {}},
        {Kind::Paragraph, "", {"Example: tool query 21 01   prints   81 02 21 01 D9 82"}},
    };
    const auto got = vx::man::parseHelp(kToolHelp);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(int(got[i].kind), int(want[i].kind));
        EXPECT_EQ(got[i].term, want[i].term);
        EXPECT_EQ(got[i].lines, want[i].lines);
    }
}

const char* kSuiteHelp = "usage: suite COMMAND [ARGS...]\n"
                         "\n"
                         "A suite of tools.\n"
                         "\n"
                         "commands:\n"
                         "  encode   print a frame\n"
                         "  monitor  read a port\n"
                         "  flashcfg read the flash configuration\n"
                         "\n"
                         "'suite COMMAND --help' describes a command.\n";

TEST(ListedCommands, NamesUnderTheCommandsHeadingOnly) {
    EXPECT_EQ(vx::man::listedCommands(kSuiteHelp),
              (std::vector<std::string>{"encode", "monitor", "flashcfg"}));
    EXPECT_TRUE(vx::man::listedCommands(kToolHelp).empty()); // an options list is no command list
    EXPECT_TRUE(vx::man::listedCommands("usage: x\n\n  y  z\n").empty());
}

std::string page(const std::string& help, const std::vector<vx::man::CommandHelp>& commands) {
    vx::man::PageInfo info{"suite", "1", "does things", "Suite 1.0", "2024-01-02", {"tool(1)"}};
    return vx::man::renderPage(info, help, commands);
}

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(RenderPage, PutsEveryPartInItsSection) {
    const std::string p =
        page(kSuiteHelp, {{"encode", kToolHelp}, {"monitor", "usage: suite monitor --port P\n"}});
    const std::vector<std::string> inOrder = {
        ".TH \"SUITE\" 1 \"2024\\-01\\-02\" \"Suite 1.0\" \"User Commands\"\n",
        ".SH NAME\nsuite \\- does things\n",
        ".SH SYNOPSIS\n\\fBsuite\\fR COMMAND [ARGS...]\n.br\n"
        "\\fBtool query\\fR CODE [BYTE...]\n.br\n"
        "\\fBtool set\\fR CODE VALUE [\\-\\-index I]\n.br\n"
        "\\fBsuite monitor\\fR \\-\\-port P\n.br\n",
        ".SH \"DESCRIPTION\"\n.PP\nA suite of tools.\n",
        ".SH \"COMMANDS\"\n.TP\n\\fBencode\\fR\nprint a frame\n",
        ".PP\n\\&'suite COMMAND \\-\\-help' describes a command.\n",
        ".SS \"suite encode\"\n.PP\n\\fBtool query\\fR CODE [BYTE...]\n.br\n",
        ".PP\nSends a command to the\nreceiver.\n.PP\n\\fBoptions:\\fR\n",
        ".TP\n\\fB\\-\\-port\\fR \\fIPATH\\fR\nthe device, e.g.\n/dev/ttyUSB0\n",
        ".RS\n.nf\ntool query 21 01\n.fi\n.RE\n",
        ".nf\nExample: tool query 21 01   prints   81 02 21 01 D9 82\n.fi\n",
        ".SS \"suite monitor\"\n",
        ".SH \"SEE ALSO\"\n\\fBtool\\fR(1)\n",
    };
    size_t at = 0;
    for (const auto& part : inOrder) {
        const size_t found = p.find(part, at);
        ASSERT_NE(found, std::string::npos) << "missing or out of order:\n"
                                            << part << "\nin\n"
                                            << p;
        at = found + part.size();
    }
    EXPECT_EQ(count(p, ".SH \"COMMANDS\""), 1u); // the help's own heading is the section
}

TEST(RenderPage, UnheadedOptionsGetTheirSection) {
    const std::string p = page("Usage: suite [-i]\n\nThe suite.\n\n  -i   the internal menu\n", {});
    EXPECT_NE(p.find(".SH \"DESCRIPTION\"\n.PP\nThe suite.\n.SH \"OPTIONS\"\n.TP\n\\fB\\-i\\fR\n"
                     "the internal menu\n"),
              std::string::npos)
        << p;
    EXPECT_EQ(p.find("COMMANDS"), std::string::npos);
}

TEST(RenderPage, NoHelpTextBecomesARoffRequest) {
    // Every line of the page that starts with a control character is one of the requests the
    // page is made of, whatever the help texts hold.
    const std::string hostile = "usage: suite .x 'y\n"
                                "\n"
                                ".so /etc/passwd\n"
                                "'br\n"
                                "\n"
                                "odd heading:\n"
                                "  .term   .desc\n"
                                "          'more\n"
                                "  'lone\n";
    const std::string p = page(hostile, {{"encode", hostile}});
    std::istringstream in(p);
    int requests = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || (line[0] != '.' && line[0] != '\'')) continue;
        ++requests;
        const std::string request = line.substr(0, line.find(' '));
        EXPECT_TRUE(request == ".\\\"" || request == ".TH" || request == ".SH" ||
                    request == ".SS" || request == ".PP" || request == ".TP" || request == ".nf" ||
                    request == ".fi" || request == ".RS" || request == ".RE" || request == ".br")
            << line;
    }
    EXPECT_GT(requests, 10);
    EXPECT_NE(p.find("\\&.so /etc/passwd\n"), std::string::npos);
    EXPECT_NE(p.find("\\&'more\n"), std::string::npos);
}

} // namespace
