#include "tests/packaging/status_docs.h"

#include <cctype>
#include <map>
#include <sstream>

namespace {

std::string Trim(const std::string& text) {
    std::size_t from = 0;
    std::size_t to = text.size();
    while (from < to && std::isspace(static_cast<unsigned char>(text[from])) != 0) {
        ++from;
    }
    while (to > from && std::isspace(static_cast<unsigned char>(text[to - 1])) != 0) {
        --to;
    }
    return text.substr(from, to - from);
}

// Spaces and line ends run together into one space, none at the ends.
std::string Collapse(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)) != 0) {
            if (!out.empty() && out.back() != ' ') {
                out += ' ';
            }
        } else {
            out += c;
        }
    }
    return Trim(out);
}

// A roff line as text: "\-" a hyphen, font changes and "\&" left out; the
// font requests .B and .BR give their words (.BR's alternate without space).
std::string RoffText(const std::string& line) {
    std::string text = line;
    bool joined = false;
    if (text.rfind(".BR ", 0) == 0) {
        text = text.substr(4);
        joined = true;
    } else if (text.rfind(".B ", 0) == 0 || text.rfind(".I ", 0) == 0) {
        text = text.substr(3);
    } else if (!text.empty() && text[0] == '.') {
        return "";
    }
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char next = text[i + 1];
            if (next == '-') {
                out += '-';
                ++i;
            } else if (next == '&') {
                ++i;
            } else if (next == 'f' && i + 2 < text.size()) {
                i += 2;
            } else {
                out += text[i];
            }
        } else if (text[i] == '"' && joined) {
            continue;
        } else if (text[i] == ' ' && joined) {
            continue;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The manual page's EXIT STATUS list: each ".TP" / ".B <status>" entry and
// its paragraph as plain text, by status.
std::map<int, std::string> ManualStatuses(const std::string& roff) {
    std::map<int, std::string> statuses;
    std::istringstream in(roff);
    std::string line;
    bool inSection = false;
    bool expectStatus = false;
    int status = 0;
    bool inEntry = false;
    while (std::getline(in, line)) {
        if (line.rfind(".SH", 0) == 0) {
            if (inSection) {
                break;
            }
            inSection = Trim(line.substr(3)) == "EXIT STATUS";
            continue;
        }
        if (!inSection) {
            continue;
        }
        if (line == ".TP") {
            expectStatus = true;
            inEntry = false;
            continue;
        }
        if (expectStatus) {
            expectStatus = false;
            status = std::stoi(RoffText(line));
            statuses[status] = "";
            inEntry = true;
            continue;
        }
        if (inEntry) {
            statuses[status] += RoffText(line) + " ";
        }
    }
    for (auto& entry : statuses) {
        entry.second = Collapse(entry.second);
    }
    return statuses;
}

std::vector<std::string> Cells(const std::string& line) {
    std::vector<std::string> cells;
    std::size_t from = 1;  // after the leading '|'
    for (std::size_t to = line.find('|', from); to != std::string::npos;
         to = line.find('|', from)) {
        cells.push_back(Trim(line.substr(from, to - from)));
        from = to + 1;
    }
    return cells;
}

// The README's "Exit statuses" table, the column of `program`: its cells by
// the row's first cell ("0", "-1 (255)", "130, 143, 129").
std::map<std::string, std::string> ReadmeColumn(const std::string& markdown,
                                                const std::string& program) {
    std::map<std::string, std::string> column;
    std::istringstream in(markdown);
    std::string line;
    while (std::getline(in, line) && line != "## Exit statuses") {
    }
    int index = -1;
    while (std::getline(in, line)) {
        if (line.rfind("|", 0) != 0) {
            if (index >= 0 || line.rfind("## ", 0) == 0) {
                break;
            }
            continue;
        }
        const std::vector<std::string> cells = Cells(line);
        if (index < 0) {
            for (std::size_t i = 0; i < cells.size(); ++i) {
                if (cells[i] == "`" + program + "`") {
                    index = static_cast<int>(i);
                }
            }
            if (index < 0) {
                break;
            }
            continue;
        }
        if (cells.empty() || cells[0].rfind("---", 0) == 0) {
            continue;
        }
        column[cells[0]] = static_cast<std::size_t>(index) < cells.size() ? cells[index] : "";
    }
    return column;
}

// The status as the manual page gives it: the stop row under 130.
int ManualKey(int status) {
    return status == kStoppedBySignal ? 130 : status;
}

// The status as the README's first column gives it.
std::string ReadmeKey(int status) {
    if (status == kStoppedBySignal) {
        return "130, 143, 129";
    }
    if (status == -1) {
        return "-1 (255)";
    }
    return std::to_string(status);
}

}  // namespace

std::vector<std::string> Differences(const std::string& program, const ExitStatusTable& table,
                                     const std::string& manual, const std::string& readme) {
    std::vector<std::string> found;
    const std::map<int, std::string> pages = ManualStatuses(manual);
    const std::map<std::string, std::string> cells = ReadmeColumn(readme, program);
    std::map<int, bool> listed;
    std::map<std::string, bool> listedCells;
    for (std::size_t i = 0; i < table.count; ++i) {
        const ExitStatusRow& row = table.rows[i];
        listed[ManualKey(row.status)] = true;
        listedCells[ReadmeKey(row.status)] = true;
        const auto page = pages.find(ManualKey(row.status));
        if (page == pages.end()) {
            found.push_back("manual page: no status " + std::to_string(ManualKey(row.status)));
        } else if (page->second != row.manual) {
            found.push_back("manual page, status " + std::to_string(page->first) + ": \"" +
                            page->second + "\", the table says \"" + row.manual + "\"");
        }
        const auto cell = cells.find(ReadmeKey(row.status));
        if (cell == cells.end() || cell->second.empty()) {
            found.push_back("README: no status " + ReadmeKey(row.status));
        } else if (cell->second != row.readme) {
            found.push_back("README, status " + cell->first + ": \"" + cell->second +
                            "\", the table says \"" + row.readme + "\"");
        }
    }
    for (const auto& page : pages) {
        if (!listed[page.first]) {
            found.push_back("manual page: status " + std::to_string(page.first) +
                            " is not in the table");
        }
    }
    for (const auto& cell : cells) {
        if (!cell.second.empty() && !listedCells[cell.first]) {
            found.push_back("README: status " + cell.first + " is not in the table");
        }
    }
    if (cells.empty()) {
        found.push_back("README: no column for " + program);
    }
    return found;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}
