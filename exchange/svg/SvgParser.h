#pragma once
// An SVG document read with expat into a path_renderer: the shape elements path, rect, circle,
// line, polyline and polygon become paths of vertices, their presentation attributes (colours,
// flags, stroke values, the transform, also inside "style") one path_attributes record each, and
// groups nest attributes through the renderer's stack. Other elements are passed over, their
// children still visited; the root's size and viewBox are not read, so user units become drawing
// units one to one. What SVG never draws in place (the content of defs, symbol, clipPath, mask,
// marker and pattern) is left out.
//
// Nothing outside the document is read: no external DTD or entity is fetched, and expat's own
// bound on entity expansion stays.
#include "SvgPathTokenizer.h"

#include <agg_color_rgba.h>

#include <exception>
#include <span>
#include <string>
#include <string_view>

class path_renderer;
struct XML_ParserStruct;

// The colour of an SVG colour value: "#rrggbb", "#rgb", "rgb(r, g, b)" (numbers or percentages)
// or one of the 147 colour keywords (as written, lower case); alpha 255. Any other word gives the
// first keyword, "aliceblue".
agg::rgba8 parse_color(std::string_view Value);

class svg_parser {
public:
    // Renderer receives the paths; not owned.
    explicit svg_parser(path_renderer& Renderer) : m_path(Renderer) {}
    svg_parser(const svg_parser&) = delete;
    svg_parser& operator=(const svg_parser&) = delete;

    // Reads the whole file; every error raises svg_exception or Esvg_exception, whose message
    // begins with the name of the routine that failed.
    void parse(const std::string& FileName);
    // The same over a document in memory.
    void parse_text(std::string_view Text);

    // The text of the title elements, at most 255 bytes, control characters as blanks.
    std::string title() const { return m_title; }

private:
    static void start_element(void* Data, const char* Name, const char** Attrs);
    static void end_element(void* Data, const char* Name);
    static void content(void* Data, const char* Text, int Length);
    void on_start(std::string_view Name, const char** Attrs);
    void on_end(std::string_view Name);
    // A handler's error stops expat and is raised again once expat has returned.
    void keep_error();

    bool parse_attr(std::string_view Name, std::string_view Value);
    void parse_style(std::string_view Value);
    void parse_transform(std::string_view Value);
    // The values between the parentheses that follow the function's name at the start of Str,
    // at most MaxCount; answers the length up to the closing parenthesis.
    size_t parse_transform_args(std::string_view Str, double* Args, unsigned MaxCount, unsigned& Count);
    size_t parse_matrix(std::string_view Str);
    size_t parse_translate(std::string_view Str);
    size_t parse_rotate(std::string_view Str);
    size_t parse_scale(std::string_view Str);
    size_t parse_skew_x(std::string_view Str);
    size_t parse_skew_y(std::string_view Str);
    void parse_path_element(const char** Attrs);
    // A shape's presentation attributes, then its own numbers by name into Values (0 when
    // missing).
    void parse_shape_attrs(const char** Attrs, std::span<const std::string_view> Names, double* Values);
    void parse_rect(const char** Attrs);
    void parse_circle(const char** Attrs);
    void parse_line(const char** Attrs);
    void parse_poly(const char** Attrs, bool Close);

    path_renderer& m_path;
    path_tokenizer m_tokenizer;
    XML_ParserStruct* m_parser = nullptr; // during parse_text
    std::exception_ptr m_error;
    std::string m_title;
    bool m_title_flag = false;
    bool m_path_flag = false;
    // Inside an element whose content is never drawn in place: how deep.
    unsigned m_hidden_depth = 0;
};
