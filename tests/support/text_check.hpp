// Header-only readers for text files and console output in tests (unit tests
// may include it too, as they do not link the test support library).
#pragma once

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace rcwa::test {

// The lines of a text, without their line ends.
inline std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> v;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) v.push_back(line);
    return v;
}

// Every blank-separated word of a line read as a number (0 where it is none).
inline std::vector<double> numbers(const std::string& line) {
    std::istringstream in(line);
    std::vector<double> v;
    std::string w;
    while (in >> w) v.push_back(std::strtod(w.c_str(), nullptr));
    return v;
}

// The same with complex pairs "(re,im)" taken apart into two numbers.
inline std::vector<double> pair_numbers(std::string line) {
    for (char& c : line)
        if (c == '(' || c == ')' || c == ',') c = ' ';
    return numbers(line);
}

}  // namespace rcwa::test
