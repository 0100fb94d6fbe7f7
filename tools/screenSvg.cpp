// screenSvg: draws a terminal capture as an SVG picture, for the README.
//   tmux capture-pane -e -p -t PANE | screenSvg COLUMNS ROWS > view.svg
// Reads the rows with their colour sequences (SGR only: what capture-pane -e writes) and draws each
// cell's background and character on a grid, in the colours of a common dark terminal theme.

#include <cctype>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <iostream>
#include <string>
#include <vector>

namespace {

// The sixteen colours of the palette, then the default foreground and background.
const char* const kPalette[18] = {
    "#000000", "#cd0000", "#00cd00", "#cdcd00", "#0000ee", "#cd00cd",
    "#00cdcd", "#e5e5e5", "#7f7f7f", "#ff0000", "#00ff00", "#ffff00",
    "#5c5cff", "#ff00ff", "#00ffff", "#ffffff", "#e5e5e5", "#000000",
};
constexpr int kDefaultForeground = 16;
constexpr int kDefaultBackground = 17;

struct Style {
    int foreground = kDefaultForeground;
    int background = kDefaultBackground;
    bool bold = false;
    bool reverse = false;
    bool operator==(const Style&) const = default;
};

struct Cell {
    std::string text; // the character's UTF-8, empty for the right half of a wide one
    Style style;
};

// Applies the parameters of one SGR sequence.
void applySgr(Style& style, const std::vector<int>& parameters) {
    for (size_t i = 0; i < parameters.size(); ++i) {
        int p = parameters[i];
        if (p == 0)
            style = Style{};
        else if (p == 1)
            style.bold = true;
        else if (p == 22)
            style.bold = false;
        else if (p == 7)
            style.reverse = true;
        else if (p == 27)
            style.reverse = false;
        else if (p >= 30 && p <= 37)
            style.foreground = p - 30;
        else if (p >= 90 && p <= 97)
            style.foreground = p - 90 + 8;
        else if (p == 39)
            style.foreground = kDefaultForeground;
        else if (p >= 40 && p <= 47)
            style.background = p - 40;
        else if (p >= 100 && p <= 107)
            style.background = p - 100 + 8;
        else if (p == 49)
            style.background = kDefaultBackground;
        else if ((p == 38 || p == 48) && i + 2 < parameters.size() && parameters[i + 1] == 5) {
            int colour = parameters[i + 2] < 16 ? parameters[i + 2] : kDefaultForeground;
            (p == 38 ? style.foreground : style.background) = colour;
            i += 2;
        }
    }
}

// One row of the capture as cells.
std::vector<Cell> parseRow(const std::string& line, Style& style) {
    std::vector<Cell> cells;
    std::mbstate_t state{};
    for (size_t at = 0; at < line.size();) {
        if (line[at] == '\x1b' && at + 1 < line.size() && line[at + 1] == '[') {
            size_t end = at + 2;
            std::vector<int> parameters(1, 0);
            for (; end < line.size() &&
                   (std::isdigit(static_cast<unsigned char>(line[end])) || line[end] == ';');
                 ++end) {
                if (line[end] == ';')
                    parameters.push_back(0);
                else
                    parameters.back() = parameters.back() * 10 + (line[end] - '0');
            }
            if (end < line.size() && line[end] == 'm') applySgr(style, parameters);
            at = end + 1;
            continue;
        }
        wchar_t character = 0;
        size_t length = std::mbrtowc(&character, line.data() + at, line.size() - at, &state);
        if (length == 0 || length > 4) {
            state = {};
            length = 1;
            character = L'?';
        }
        int width = wcwidth(character);
        cells.push_back({line.substr(at, length), style});
        if (width == 2) cells.push_back({"", style});
        at += length;
    }
    return cells;
}

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else
            out += c;
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: screenSvg COLUMNS ROWS < capture\n");
        return 2;
    }
    std::setlocale(LC_CTYPE, "C.UTF-8");
    const int columns = std::atoi(argv[1]);
    const int rows = std::atoi(argv[2]);
    constexpr double kCellWidth = 8.4;
    constexpr int kCellHeight = 17;
    std::printf("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%.0f\" height=\"%d\" "
                "font-family=\"DejaVu Sans Mono, Menlo, Consolas, monospace\" font-size=\"14\">\n",
                columns * kCellWidth, rows * kCellHeight);
    std::printf("<rect width=\"100%%\" height=\"100%%\" fill=\"%s\"/>\n",
                kPalette[kDefaultBackground]);
    Style style;
    std::string line;
    for (int row = 0; row < rows && std::getline(std::cin, line); ++row) {
        std::vector<Cell> cells = parseRow(line, style);
        cells.resize(static_cast<size_t>(columns),
                     Cell{" ", cells.empty() ? style : cells.back().style});
        double y = row * kCellHeight;
        // Backgrounds in runs of one colour, then the text of every cell.
        for (int start = 0; start < columns;) {
            const Style& first = cells[start].style;
            int background = first.reverse ? first.foreground : first.background;
            int end = start + 1;
            while (end < columns) {
                const Style& next = cells[end].style;
                if ((next.reverse ? next.foreground : next.background) != background) break;
                ++end;
            }
            std::printf("<rect x=\"%.1f\" y=\"%.0f\" width=\"%.1f\" height=\"%d\" fill=\"%s\"/>\n",
                        start * kCellWidth, y, (end - start) * kCellWidth, kCellHeight,
                        kPalette[background]);
            start = end;
        }
        for (int column = 0; column < columns; ++column) {
            const Cell& cell = cells[column];
            if (cell.text.empty() || cell.text == " ") continue;
            int foreground = cell.style.reverse ? cell.style.background : cell.style.foreground;
            std::printf("<text x=\"%.1f\" y=\"%.0f\" fill=\"%s\"%s>%s</text>\n",
                        column * kCellWidth, y + 13, kPalette[foreground],
                        cell.style.bold ? " font-weight=\"bold\"" : "", escaped(cell.text).c_str());
        }
    }
    std::printf("</svg>\n");
    return 0;
}
