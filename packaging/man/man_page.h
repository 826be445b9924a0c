// Manual pages made from the programs' own --help texts, so the installed manual says exactly
// what --help says.
//
// The help texts follow one layout, which is what this reads:
//   usage: PROG ARGS...            the synopsis; further lines that start with PROG are further
//          PROG OTHER ARGS...      forms, other indented lines continue the line above
//   A paragraph, any number        description text, filled
//   of lines.
//   heading:                       a line ending in ':' followed by an indented list
//     --term ARG   description     an item: term and description apart by two or more blanks;
//                  continued       lines indented deeper than the term continue the item
//   Example: a   b                 a line with a run of three blanks keeps its layout
#pragma once

#include <string>
#include <vector>

namespace vx::man {

struct HelpBlock {
    enum class Kind {
        Usage,     // lines: one synopsis line each, without "usage:"
        Paragraph, // lines: the text lines
        Heading,   // lines: one, the heading without its colon
        Item,      // term, and lines: the description
    };
    Kind kind;
    std::string term;
    std::vector<std::string> lines;
};

// The blocks of a help text, in order.
std::vector<HelpBlock> parseHelp(const std::string& text);

// The names listed under the "commands:" heading of a help text (empty when there is none).
std::vector<std::string> listedCommands(const std::string& helpText);

// Text made safe for a roff text line: backslashes, hyphens (so that options copy as ASCII
// minus signs), double quotes, a leading '.' or '\'' (control characters) and non-ASCII
// characters (as \[uXXXX]) are escaped.
std::string roffEscape(const std::string& text);

struct PageInfo {
    std::string name;                 // "vexor"
    std::string section;              // "1"
    std::string summary;              // the NAME line after "vexor - "
    std::string source;               // "Ornivex 2.40"
    std::string date;                 // "2024-05-01"
    std::vector<std::string> seeAlso; // "ornivex(1)"
};

struct CommandHelp {
    std::string name; // "encode"
    std::string help; // the text of "PROG encode --help"
};

// The whole page: NAME, SYNOPSIS (every usage line of the program and of its commands), the
// program's help text in sections (paragraphs under DESCRIPTION, an unheaded list under
// OPTIONS, every heading a section of its own), one subsection per command under COMMANDS,
// SEE ALSO.
std::string renderPage(const PageInfo& info, const std::string& help,
                       const std::vector<CommandHelp>& commands);

} // namespace vx::man
