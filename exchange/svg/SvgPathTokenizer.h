#pragma once
// Numbers as SVG writes them, and the tokens of path data: command letters and numbers.
//
// A number follows SVG's grammar: an optional sign, digits with at most one '.', then an
// optional exponent ("1e-5", "+3", ".5"). So "1.5.5" is the numbers 1.5 and .5, and "1e-3-2" is
// 1e-3 and -2. Numbers are read without the locale.
#include <string_view>

// The number that starts at Pos of Text (no blanks are skipped); on success Pos moves past it.
// False, with Pos unchanged, when no number starts there. A number beyond the range of a double
// raises Esvg_exception with Routine's name; one too small for it reads as 0.
bool scan_number(std::string_view Text, size_t& Pos, double& Value, const char* Routine);

// The number an attribute value begins with, after blanks: "10px" reads as 10. A value that does
// not begin with a number reads as 0.
double get_double(std::string_view Text);

// The separators between tokens: blank, comma, tab, line feed, carriage return.
bool is_separator(char C);

class path_tokenizer {
public:
    // The text to read, owned by the caller; the last command and number are reset.
    void set_path_str(std::string_view Text);

    // The next token: a command letter, which becomes the last command, or a number, which
    // becomes the last number and leaves the last command as it is (so a run of numbers repeats
    // the command). False at the end of the text. A character that can start neither raises
    // "path_tokenizer::next : Invalid Character c".
    bool next();
    // The next number of command Cmd: raises "parse_path: Unexpected end of path" at the end and
    // "parse_path: Command c: bad or missing parameters" when a letter comes instead.
    double next(char Cmd);
    // An arc's flag: one character '0' or '1', which may be written against what follows
    // ("a5 5 0 1110 0"). Anything else raises as next(Cmd) does.
    bool next_flag(char Cmd);

    char last_command() const { return m_last_command; }
    double last_number() const { return m_last_number; }
    // The last token was a number.
    bool last_is_number() const { return m_last_is_number; }
    // Numbers that follow a move are lines: the command they repeat becomes Cmd.
    void repeat_as(char Cmd) { m_last_command = Cmd; }

private:
    void skip_separators();

    std::string_view m_text;
    size_t m_pos = 0;
    char m_last_command = 0;
    double m_last_number = 0;
    bool m_last_is_number = false;
};
