#include "man/man_page.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <sstream>

namespace vx::man {

namespace {

constexpr size_t npos = std::string::npos;

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        for (char& c : line)
            if (c == '\t') c = ' ';
        lines.push_back(line);
    }
    return lines;
}

bool isBlank(const std::string& s) {
    return s.find_first_not_of(" \r") == npos;
}

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \r");
    if (b == npos) return "";
    return s.substr(b, s.find_last_not_of(" \r") - b + 1);
}

std::string firstWord(const std::string& s) {
    return s.substr(0, s.find(' '));
}

bool isUsageLine(const std::string& body) {
    static const char kUsage[] = "usage:";
    if (body.size() < sizeof kUsage - 1) return false;
    for (size_t i = 0; i < sizeof kUsage - 1; ++i)
        if (std::tolower(static_cast<unsigned char>(body[i])) != kUsage[i]) return false;
    return true;
}

// A word typed as it stands: a program, command or keyword ("vexor", "encode", "query").
bool isLiteralWord(const std::string& w) {
    if (w.empty() || w[0] < 'a' || w[0] > 'z') return false;
    for (char c : w)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_'))
            return false;
    return true;
}

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

// (Built by appending: GCC 12 at -O3 warns falsely about `"x" + std::string&&`.)
std::string quoted(const std::string& s) {
    std::string out(1, '"');
    out += roffEscape(s);
    out += '"';
    return out;
}

std::string inFont(char font, const std::string& s) {
    std::string out = "\\f";
    out += font;
    out += roffEscape(s);
    out += "\\fR";
    return out;
}

// A synopsis line: its leading literal words in bold, the arguments as they are.
std::string synopsisLine(const std::string& line) {
    size_t end = 0;
    while (end < line.size()) {
        size_t next = line.find(' ', end);
        if (next == npos) next = line.size();
        if (!isLiteralWord(line.substr(end, next - end))) break;
        end = next + 1;
    }
    if (end == 0) return roffEscape(line);
    if (end > line.size()) return inFont('B', line);
    return inFont('B', line.substr(0, end - 1)) + " " + roffEscape(line.substr(end));
}

// An item's term: options and literal words in bold, placeholders in italics.
std::string termText(const std::string& term) {
    std::string out;
    std::istringstream in(term);
    for (std::string word; in >> word;) {
        std::string tail;
        if (word.size() > 1 && word.back() == ',') {
            tail = ",";
            word.pop_back();
        }
        if (!out.empty()) out += ' ';
        const bool literal = word[0] == '-' || isLiteralWord(word);
        out += inFont(literal ? 'B' : 'I', word) + tail;
    }
    return out;
}

void renderTextLines(std::ostream& out, const std::vector<std::string>& lines) {
    for (const auto& line : lines) {
        // A run of three blanks lines things up (an example and its output): keep the layout.
        if (line.find("   ") != npos) {
            out << ".nf\n" << roffEscape(line) << "\n.fi\n";
        } else {
            out << roffEscape(line) << "\n";
        }
    }
}

void renderItem(std::ostream& out, const HelpBlock& b) {
    if (b.lines.empty()) { // an indented line on its own: an example
        out << ".RS\n.nf\n" << roffEscape(b.term) << "\n.fi\n.RE\n";
        return;
    }
    out << ".TP\n" << termText(b.term) << "\n";
    renderTextLines(out, b.lines);
}

// Synopsis lines one to a line, filled, so that a long one wraps instead of running off the
// page.
void renderSynopsis(std::ostream& out, const std::vector<std::string>& lines) {
    for (const auto& line : lines) out << synopsisLine(line) << "\n.br\n";
}

void renderUsage(std::ostream& out, const std::vector<HelpBlock>& blocks) {
    for (const auto& b : blocks)
        if (b.kind == HelpBlock::Kind::Usage) renderSynopsis(out, b.lines);
}

// One UTF-8 character at text[i] as \[uXXXX]; an invalid byte becomes U+FFFD on its own.
void appendUtf8Escape(std::string& out, const std::string& text, size_t& i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    int extra = lead >= 0xF0 && lead <= 0xF4  ? 3
                : lead >= 0xE0 && lead < 0xF0 ? 2
                : lead >= 0xC2 && lead < 0xE0 ? 1
                                              : 0;
    uint32_t cp = lead & (0x3Fu >> extra);
    bool ok = extra > 0 && i + size_t(extra) < text.size();
    for (int k = 1; ok && k <= extra; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ok = false;
        } else {
            cp = (cp << 6) | (byte(i + k) & 0x3Fu);
        }
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    if (ok && ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
               (cp >= 0xD800 && cp <= 0xDFFF)))
        ok = false;
    if (!ok) {
        cp = 0xFFFD;
        extra = 0;
    }
    char buf[16];
    std::snprintf(buf, sizeof buf, "\\[u%04X]", unsigned(cp));
    out += buf;
    i += size_t(extra) + 1;
}

} // namespace

std::vector<HelpBlock> parseHelp(const std::string& text) {
    using Kind = HelpBlock::Kind;
    const auto lines = splitLines(text);
    std::vector<HelpBlock> blocks;
    std::string program;      // the first word of the first usage line
    size_t itemIndent = npos; // the indentation of the open item's term
    bool inUsage = false;
    bool inParagraph = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (isBlank(line)) {
            inUsage = inParagraph = false;
            itemIndent = npos;
            continue;
        }
        const size_t indent = line.find_first_not_of(' ');
        const std::string body = trim(line);
        if (indent == 0 && isUsageLine(body)) {
            const std::string synopsis = trim(body.substr(6));
            if (program.empty()) program = firstWord(synopsis);
            blocks.push_back({Kind::Usage, "", {synopsis}});
            inUsage = true;
            inParagraph = false;
            itemIndent = npos;
            continue;
        }
        if (inUsage && indent > 0) {
            if (firstWord(body) == program) {
                blocks.back().lines.push_back(body);
            } else {
                blocks.back().lines.back() += " " + body;
            }
            continue;
        }
        inUsage = false;
        if (indent == 0) {
            itemIndent = npos;
            const bool listFollows =
                i + 1 < lines.size() && !isBlank(lines[i + 1]) && lines[i + 1][0] == ' ';
            if (body.back() == ':' && listFollows) {
                blocks.push_back({Kind::Heading, "", {body.substr(0, body.size() - 1)}});
                inParagraph = false;
            } else if (inParagraph) {
                blocks.back().lines.push_back(body);
            } else {
                blocks.push_back({Kind::Paragraph, "", {body}});
                inParagraph = true;
            }
            continue;
        }
        inParagraph = false;
        if (itemIndent != npos && indent > itemIndent) {
            blocks.back().lines.push_back(body);
            continue;
        }
        const size_t gap = body.find("  ");
        if (gap != npos) {
            blocks.push_back({Kind::Item, body.substr(0, gap), {trim(body.substr(gap))}});
        } else {
            blocks.push_back({Kind::Item, body, {}});
        }
        itemIndent = indent;
    }
    return blocks;
}

std::vector<std::string> listedCommands(const std::string& helpText) {
    std::vector<std::string> names;
    bool inCommands = false;
    for (const auto& b : parseHelp(helpText)) {
        if (b.kind == HelpBlock::Kind::Heading) {
            inCommands = upper(b.lines[0]) == "COMMANDS";
        } else if (b.kind == HelpBlock::Kind::Item) {
            // The name is the term's first word, also when a long name left only one blank
            // before its summary.
            const std::string name = firstWord(b.term);
            if (inCommands && isLiteralWord(name)) names.push_back(name);
        } else {
            inCommands = false;
        }
    }
    return names;
}

std::string roffEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (static_cast<unsigned char>(c) >= 0x80) {
            appendUtf8Escape(out, text, i);
            continue;
        }
        if (c == '\\') {
            out += "\\(rs";
        } else if (c == '-') {
            out += "\\-";
        } else if (c == '"') {
            out += "\\(dq";
        } else {
            out += c;
        }
        ++i;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
    return out;
}

std::string renderPage(const PageInfo& info, const std::string& help,
                       const std::vector<CommandHelp>& commands) {
    using Kind = HelpBlock::Kind;
    const auto blocks = parseHelp(help);
    std::vector<std::vector<HelpBlock>> commandBlocks;
    for (const auto& c : commands) commandBlocks.push_back(parseHelp(c.help));

    std::ostringstream out;
    out << ".\\\" Made from the --help texts of " << info.name
        << " when it is built: change those, not this page.\n";
    out << ".TH " << quoted(upper(info.name)) << " " << info.section << " " << quoted(info.date)
        << " " << quoted(info.source) << " \"User Commands\"\n";
    out << ".SH NAME\n" << roffEscape(info.name) << " \\- " << roffEscape(info.summary) << "\n";
    out << ".SH SYNOPSIS\n";
    renderUsage(out, blocks);
    for (const auto& cb : commandBlocks) renderUsage(out, cb);

    std::string section;
    const auto openSection = [&](const std::string& name) {
        if (section == name) return;
        out << ".SH " << quoted(name) << "\n";
        section = name;
    };
    for (const auto& b : blocks) {
        switch (b.kind) {
        case Kind::Usage:
            break;
        case Kind::Paragraph:
            if (section.empty()) openSection("DESCRIPTION");
            out << ".PP\n";
            renderTextLines(out, b.lines);
            break;
        case Kind::Heading:
            openSection(upper(b.lines[0]));
            break;
        case Kind::Item:
            if (section.empty() || section == "DESCRIPTION") openSection("OPTIONS");
            renderItem(out, b);
            break;
        }
    }

    if (!commands.empty()) openSection("COMMANDS");
    for (size_t c = 0; c < commands.size(); ++c) {
        out << ".SS " << quoted(info.name + " " + commands[c].name) << "\n";
        for (const auto& b : commandBlocks[c]) {
            switch (b.kind) {
            case Kind::Usage:
                out << ".PP\n";
                renderSynopsis(out, b.lines);
                break;
            case Kind::Paragraph:
                out << ".PP\n";
                renderTextLines(out, b.lines);
                break;
            case Kind::Heading:
                out << ".PP\n" << inFont('B', b.lines[0] + ":") << "\n";
                break;
            case Kind::Item:
                renderItem(out, b);
                break;
            }
        }
    }

    if (!info.seeAlso.empty()) {
        out << ".SH \"SEE ALSO\"\n";
        for (size_t i = 0; i < info.seeAlso.size(); ++i) {
            const std::string& ref = info.seeAlso[i];
            const size_t paren = ref.find('(');
            out << inFont('B', ref.substr(0, paren))
                << (paren == npos ? "" : roffEscape(ref.substr(paren)))
                << (i + 1 < info.seeAlso.size() ? ",\n" : "\n");
        }
    }
    return out.str();
}

} // namespace vx::man
