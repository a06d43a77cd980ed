// The status table and the README's exit-status table must say the same: the
// same statuses, each with the same messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "run/statuses.hpp"

namespace {

using status_pairs = std::set<std::pair<int, std::string>>;

// The rows of the table under "### Exit status": the statuses of the first
// cell (a list, a parenthesised aside dropped) with each message in backticks
// of the second cell, or with "" when it has none.
status_pairs readme_statuses(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line) && line != "### Exit status") {
    }
    status_pairs pairs;
    bool in_table = false;
    while (std::getline(in, line)) {
        if (line.rfind("|", 0) != 0) {
            if (in_table) break;
            continue;
        }
        in_table = true;
        std::istringstream cells(line.substr(1));
        std::string codes, message_cell;
        std::getline(cells, codes, '|');
        std::getline(cells, message_cell, '|');
        std::set<std::string> messages;
        for (std::size_t at = message_cell.find('`'); at != std::string::npos;) {
            const std::size_t end = message_cell.find('`', at + 1);
            messages.insert(message_cell.substr(at + 1, end - at - 1));
            at = message_cell.find('`', end + 1);
        }
        if (messages.empty()) messages.insert("");
        std::istringstream list(codes.substr(0, codes.find('(')));
        for (std::string code; std::getline(list, code, ',');) {
            if (code.find_first_of("0123456789") == std::string::npos) continue;  // heading rows
            for (const std::string& m : messages) pairs.emplace(std::stoi(code), m);
        }
    }
    return pairs;
}

TEST(run_statuses, readme_table_mirrors_the_status_table) {
    status_pairs table;
    for (const rcwa::run::status_entry* e : rcwa::run::status_table) {
        // The README shows a message without the blank that begins its line.
        std::string_view m = e->message;
        if (!m.empty() && m.front() == ' ') m.remove_prefix(1);
        table.emplace(e->code, std::string(m));
    }
    const status_pairs readme = readme_statuses(RCWA_SOURCE_DIR "/README.md");
    ASSERT_FALSE(readme.empty());
    status_pairs only_readme, only_table;
    std::ranges::set_difference(readme, table, std::inserter(only_readme, only_readme.end()));
    std::ranges::set_difference(table, readme, std::inserter(only_table, only_table.end()));
    EXPECT_EQ(only_readme, status_pairs{});
    EXPECT_EQ(only_table, status_pairs{});
}

}  // namespace
