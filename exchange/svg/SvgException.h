#pragma once
// The errors of the SVG reader. Each carries only its message, which begins with the name of the
// routine that failed; callers treat the two alike.
#include <stdexcept>
#include <string>

// Raised by the attribute stack when it is used out of order, by end_path and when no XML parser
// can be made. The message is kept to 4095 characters.
class svg_exception : public std::runtime_error {
public:
    explicit svg_exception(const std::string& Message) : std::runtime_error(Message.substr(0, 4095)) {}
};

// Every other error of the SVG reader: the file, its XML, its syntax and its numbers.
class Esvg_exception : public std::runtime_error {
public:
    explicit Esvg_exception(const std::string& Message) : std::runtime_error(Message) {}
};
