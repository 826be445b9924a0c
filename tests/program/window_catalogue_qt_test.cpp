// The README's table of what each menu item opens is the catalogue's: this test builds the table
// from the window list, the menu and the catalogue, and fails (printing the table to paste)
// when the README says something else.
#include "program/window_catalogue_qt.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string plain(const char* caption) {
    std::string s;
    for (const char* p = caption; *p; ++p)
        if (*p != '&') s += *p;
    // A caption with a trailing blank would not survive a Markdown table cell.
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

std::string expectedTable() {
    const WindowCatalogue catalogue = windowCatalogue();
    std::ostringstream out;
    out << "| Menu | Item | Opens |\n|---|---|---|\n";
    for (const MenuItemSpec& item : catalogue.menu) {
        bool built = false;
        for (const WindowSpec& w : catalogue.windows) built = built || w.id == item.window;
        const vx::WindowInfo& info = vx::windowInfo(item.window);
        out << "| " << plain(item.menu);
        if (item.submenu) out << " > " << plain(item.submenu);
        out << " | " << plain(item.caption) << " | ";
        if (built)
            out << "`" << info.className << "` \"" << info.caption << "\"";
        else
            out << "not built yet";
        out << " |\n";
    }
    return out.str();
}

TEST(WindowCatalogue, ReadmeTableOfMenuItemsIsTheCatalogues) {
    std::ifstream in(README_PATH);
    ASSERT_TRUE(in) << README_PATH;
    std::stringstream all;
    all << in.rdbuf();
    const std::string text = all.str();
    const std::string begin = "<!-- menu-table:begin -->\n", end = "<!-- menu-table:end -->";
    const size_t b = text.find(begin), e = text.find(end);
    ASSERT_NE(b, std::string::npos) << "README.md has no " << begin;
    ASSERT_NE(e, std::string::npos) << "README.md has no " << end;
    const std::string table = text.substr(b + begin.size(), e - b - begin.size());
    EXPECT_EQ(table, expectedTable())
        << "README.md's menu table is out of date; between the markers it should read:\n"
        << expectedTable();
}

} // namespace
