#include "SvgParser.h"

#include "ObjectMemory.h"
#include "SvgException.h"
#include "SvgPathRenderer.h"

#include <agg_basics.h>
#include <agg_trans_affine.h>
#include <expat.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>

namespace {

struct TNamedColor {
    const char* Name;
    uint8_t R, G, B;
};

// The colour keywords of SVG, sorted by name.
constexpr TNamedColor NamedColors[] = {
    {"aliceblue", 240, 248, 255},
    {"antiquewhite", 250, 235, 215},
    {"aqua", 0, 255, 255},
    {"aquamarine", 127, 255, 212},
    {"azure", 240, 255, 255},
    {"beige", 245, 245, 220},
    {"bisque", 255, 228, 196},
    {"black", 0, 0, 0},
    {"blanchedalmond", 255, 235, 205},
    {"blue", 0, 0, 255},
    {"blueviolet", 138, 43, 226},
    {"brown", 165, 42, 42},
    {"burlywood", 222, 184, 135},
    {"cadetblue", 95, 158, 160},
    {"chartreuse", 127, 255, 0},
    {"chocolate", 210, 105, 30},
    {"coral", 255, 127, 80},
    {"cornflowerblue", 100, 149, 237},
    {"cornsilk", 255, 248, 220},
    {"crimson", 220, 20, 60},
    {"cyan", 0, 255, 255},
    {"darkblue", 0, 0, 139},
    {"darkcyan", 0, 139, 139},
    {"darkgoldenrod", 184, 134, 11},
    {"darkgray", 169, 169, 169},
    {"darkgreen", 0, 100, 0},
    {"darkgrey", 169, 169, 169},
    {"darkkhaki", 189, 183, 107},
    {"darkmagenta", 139, 0, 139},
    {"darkolivegreen", 85, 107, 47},
    {"darkorange", 255, 140, 0},
    {"darkorchid", 153, 50, 204},
    {"darkred", 139, 0, 0},
    {"darksalmon", 233, 150, 122},
    {"darkseagreen", 143, 188, 143},
    {"darkslateblue", 72, 61, 139},
    {"darkslategray", 47, 79, 79},
    {"darkslategrey", 47, 79, 79},
    {"darkturquoise", 0, 206, 209},
    {"darkviolet", 148, 0, 211},
    {"deeppink", 255, 20, 147},
    {"deepskyblue", 0, 191, 255},
    {"dimgray", 105, 105, 105},
    {"dimgrey", 105, 105, 105},
    {"dodgerblue", 30, 144, 255},
    {"firebrick", 178, 34, 34},
    {"floralwhite", 255, 250, 240},
    {"forestgreen", 34, 139, 34},
    {"fuchsia", 255, 0, 255},
    {"gainsboro", 220, 220, 220},
    {"ghostwhite", 248, 248, 255},
    {"gold", 255, 215, 0},
    {"goldenrod", 218, 165, 32},
    {"gray", 128, 128, 128},
    {"green", 0, 128, 0},
    {"greenyellow", 173, 255, 47},
    {"grey", 128, 128, 128},
    {"honeydew", 240, 255, 240},
    {"hotpink", 255, 105, 180},
    {"indianred", 205, 92, 92},
    {"indigo", 75, 0, 130},
    {"ivory", 255, 255, 240},
    {"khaki", 240, 230, 140},
    {"lavender", 230, 230, 250},
    {"lavenderblush", 255, 240, 245},
    {"lawngreen", 124, 252, 0},
    {"lemonchiffon", 255, 250, 205},
    {"lightblue", 173, 216, 230},
    {"lightcoral", 240, 128, 128},
    {"lightcyan", 224, 255, 255},
    {"lightgoldenrodyellow", 250, 250, 210},
    {"lightgray", 211, 211, 211},
    {"lightgreen", 144, 238, 144},
    {"lightgrey", 211, 211, 211},
    {"lightpink", 255, 182, 193},
    {"lightsalmon", 255, 160, 122},
    {"lightseagreen", 32, 178, 170},
    {"lightskyblue", 135, 206, 250},
    {"lightslategray", 119, 136, 153},
    {"lightslategrey", 119, 136, 153},
    {"lightsteelblue", 176, 196, 222},
    {"lightyellow", 255, 255, 224},
    {"lime", 0, 255, 0},
    {"limegreen", 50, 205, 50},
    {"linen", 250, 240, 230},
    {"magenta", 255, 0, 255},
    {"maroon", 128, 0, 0},
    {"mediumaquamarine", 102, 205, 170},
    {"mediumblue", 0, 0, 205},
    {"mediumorchid", 186, 85, 211},
    {"mediumpurple", 147, 112, 219},
    {"mediumseagreen", 60, 179, 113},
    {"mediumslateblue", 123, 104, 238},
    {"mediumspringgreen", 0, 250, 154},
    {"mediumturquoise", 72, 209, 204},
    {"mediumvioletred", 199, 21, 133},
    {"midnightblue", 25, 25, 112},
    {"mintcream", 245, 255, 250},
    {"mistyrose", 255, 228, 225},
    {"moccasin", 255, 228, 181},
    {"navajowhite", 255, 222, 173},
    {"navy", 0, 0, 128},
    {"oldlace", 253, 245, 230},
    {"olive", 128, 128, 0},
    {"olivedrab", 107, 142, 35},
    {"orange", 255, 165, 0},
    {"orangered", 255, 69, 0},
    {"orchid", 218, 112, 214},
    {"palegoldenrod", 238, 232, 170},
    {"palegreen", 152, 251, 152},
    {"paleturquoise", 175, 238, 238},
    {"palevioletred", 219, 112, 147},
    {"papayawhip", 255, 239, 213},
    {"peachpuff", 255, 218, 185},
    {"peru", 205, 133, 63},
    {"pink", 255, 192, 203},
    {"plum", 221, 160, 221},
    {"powderblue", 176, 224, 230},
    {"purple", 128, 0, 128},
    {"red", 255, 0, 0},
    {"rosybrown", 188, 143, 143},
    {"royalblue", 65, 105, 225},
    {"saddlebrown", 139, 69, 19},
    {"salmon", 250, 128, 114},
    {"sandybrown", 244, 164, 96},
    {"seagreen", 46, 139, 87},
    {"seashell", 255, 245, 238},
    {"sienna", 160, 82, 45},
    {"silver", 192, 192, 192},
    {"skyblue", 135, 206, 235},
    {"slateblue", 106, 90, 205},
    {"slategray", 112, 128, 144},
    {"slategrey", 112, 128, 144},
    {"snow", 255, 250, 250},
    {"springgreen", 0, 255, 127},
    {"steelblue", 70, 130, 180},
    {"tan", 210, 180, 140},
    {"teal", 0, 128, 128},
    {"thistle", 216, 191, 216},
    {"tomato", 255, 99, 71},
    {"turquoise", 64, 224, 208},
    {"violet", 238, 130, 238},
    {"wheat", 245, 222, 179},
    {"white", 255, 255, 255},
    {"whitesmoke", 245, 245, 245},
    {"yellow", 255, 255, 0},
    {"yellowgreen", 154, 205, 50},
};

constexpr std::string_view Blanks = " \t\n\r";

std::string_view TrimBlanks(std::string_view S)
{
    const size_t first = S.find_first_not_of(Blanks);
    if (first == std::string_view::npos)
        return {};
    return S.substr(first, S.find_last_not_of(Blanks) - first + 1);
}

int HexDigit(char C)
{
    if (C >= '0' && C <= '9')
        return C - '0';
    if (C >= 'a' && C <= 'f')
        return C - 'a' + 10;
    if (C >= 'A' && C <= 'F')
        return C - 'A' + 10;
    return -1;
}

agg::rgba8 HexColor(std::string_view Digits)
{
    uint32_t v = 0;
    for (const char c : Digits) {
        const int d = HexDigit(c);
        if (d < 0)
            return {0, 0, 0, 255};
        v = (v << 4) | static_cast<uint32_t>(d);
    }
    // "#rgb" is "#rrggbb" with each digit doubled.
    if (Digits.size() == 3)
        v = ((v >> 8 & 0xF) << 16 | (v >> 4 & 0xF) << 8 | (v & 0xF)) * 0x11;
    return {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v), 255};
}

// "rgb(" already read: three numbers, each possibly a percentage, between blanks and commas;
// each is clamped to 0..255 and a missing one is 0.
agg::rgba8 RgbColor(std::string_view Args)
{
    std::array<uint8_t, 3> c{};
    size_t pos = 0;
    for (uint8_t& channel : c) {
        while (pos < Args.size() && (is_separator(Args[pos])))
            ++pos;
        double v = 0;
        if (!scan_number(Args, pos, v, "parse_color"))
            break;
        if (pos < Args.size() && Args[pos] == '%') {
            v = v * 255 / 100;
            ++pos;
        }
        channel = static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 255.0)));
    }
    return {c[0], c[1], c[2], 255};
}

// Gives back an array of AllocateLargeArray.
struct TLargeArrayFree {
    size_t Bytes;
    void operator()(char* P) const noexcept { FreeLargeArray(P, Bytes); }
};

} // namespace

agg::rgba8 parse_color(std::string_view Value)
{
    const std::string_view v = TrimBlanks(Value);
    if (!v.empty() && v[0] == '#')
        return HexColor(v.substr(1));
    if (v.starts_with("rgb("))
        return RgbColor(v.substr(4));
    const auto* end = std::end(NamedColors);
    const auto* it = std::lower_bound(std::begin(NamedColors), end, v,
                                      [](const TNamedColor& C, std::string_view N) { return C.Name < N; });
    const TNamedColor& c = it != end && it->Name == v ? *it : NamedColors[0];
    return {c.R, c.G, c.B, 255};
}

// ---- the document ----

void svg_parser::parse(const std::string& FileName)
{
    // Only a file of a known size is read: a device or a pipe could give bytes without end.
    std::error_code ec;
    const bool regular = std::filesystem::is_regular_file(FileName, ec);
    const uintmax_t size = regular ? std::filesystem::file_size(FileName, ec) : 0;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(
        regular && !ec ? std::fopen(FileName.c_str(), "rb") : nullptr, &std::fclose);
    if (!f)
        throw Esvg_exception("Couldn't open file " + FileName);
    // The document is handed to expat whole: given in pieces, expat reads a token that spans
    // them again from its start at each piece, which makes a long path quadratic. The bytes go
    // into memory of whole huge pages, taken from the kernel in far fewer steps than 4 KiB ones.
    const size_t bytes = std::max<size_t>(static_cast<size_t>(size), 1);
    const std::unique_ptr<char, TLargeArrayFree> text(static_cast<char*>(AllocateLargeArray(bytes)),
                                                      TLargeArrayFree{bytes});
    const size_t read = std::fread(text.get(), 1, static_cast<size_t>(size), f.get());
    if (std::ferror(f.get()))
        throw Esvg_exception("Couldn't read file " + FileName);
    f.reset();
    parse_text(std::string_view(text.get(), read));
}

void svg_parser::parse_text(std::string_view Text)
{
    const std::unique_ptr<XML_ParserStruct, void (*)(XML_Parser)> parser(XML_ParserCreate(nullptr),
                                                                         &XML_ParserFree);
    if (!parser)
        throw svg_exception("Couldn't allocate memory for parser");
    m_parser = parser.get();
    m_error = nullptr;
    XML_SetUserData(m_parser, this);
    XML_SetElementHandler(m_parser, start_element, end_element);
    XML_SetCharacterDataHandler(m_parser, content);
    // No external DTD and no parameter entity: nothing beyond the document is read.
    XML_SetParamEntityParsing(m_parser, XML_PARAM_ENTITY_PARSING_NEVER);
    // Expat counts lengths in an int: a larger document goes in pieces of a gigabyte.
    constexpr size_t Piece = size_t(1) << 30;
    size_t done = 0;
    do {
        const size_t n = std::min(Piece, Text.size() - done);
        const bool last = done + n == Text.size();
        if (XML_Parse(m_parser, Text.data() + done, static_cast<int>(n), last ? 1 : 0) != XML_STATUS_OK) {
            m_parser = nullptr;
            if (m_error)
                std::rethrow_exception(m_error);
            const XML_Error code = XML_GetErrorCode(parser.get());
            throw Esvg_exception(std::string(XML_ErrorString(code)) + " at line " +
                                 std::to_string(XML_GetCurrentLineNumber(parser.get())));
        }
        done += n;
    } while (done < Text.size());
    m_parser = nullptr;
    for (char& c : m_title)
        if (static_cast<unsigned char>(c) < 32)
            c = ' ';
}

void svg_parser::keep_error()
{
    m_error = std::current_exception();
    XML_StopParser(m_parser, XML_FALSE);
}

void svg_parser::start_element(void* Data, const char* Name, const char** Attrs)
{
    auto& self = *static_cast<svg_parser*>(Data);
    if (self.m_error)
        return;
    try {
        self.on_start(Name, Attrs);
    } catch (...) {
        self.keep_error();
    }
}

void svg_parser::end_element(void* Data, const char* Name)
{
    auto& self = *static_cast<svg_parser*>(Data);
    if (self.m_error)
        return;
    try {
        self.on_end(Name);
    } catch (...) {
        self.keep_error();
    }
}

void svg_parser::content(void* Data, const char* Text, int Length)
{
    auto& self = *static_cast<svg_parser*>(Data);
    if (!self.m_title_flag || self.m_error)
        return;
    const size_t room = 255 - std::min<size_t>(255, self.m_title.size());
    self.m_title.append(Text, std::min(room, static_cast<size_t>(std::max(Length, 0))));
}

namespace {

// Elements whose content SVG draws only where another element refers to it.
bool HidesContent(std::string_view Name)
{
    return Name == "defs" || Name == "symbol" || Name == "clipPath" || Name == "mask" || Name == "marker" ||
           Name == "pattern";
}

} // namespace

void svg_parser::on_start(std::string_view Name, const char** Attrs)
{
    if (m_hidden_depth > 0 || HidesContent(Name)) {
        ++m_hidden_depth;
        return;
    }
    if (Name == "title") {
        m_title_flag = true;
    } else if (Name == "g") {
        m_path.push_attr();
        for (const char** a = Attrs; a[0]; a += 2)
            parse_attr(a[0], a[1]);
    } else if (Name == "path") {
        if (m_path_flag)
            throw Esvg_exception("start_element: Nested path");
        m_path.begin_path();
        parse_path_element(Attrs);
        m_path.end_path();
        m_path_flag = true;
    } else if (Name == "rect") {
        parse_rect(Attrs);
    } else if (Name == "circle") {
        parse_circle(Attrs);
    } else if (Name == "line") {
        parse_line(Attrs);
    } else if (Name == "polyline") {
        parse_poly(Attrs, false);
    } else if (Name == "polygon") {
        parse_poly(Attrs, true);
    }
}

void svg_parser::on_end(std::string_view Name)
{
    if (m_hidden_depth > 0) {
        --m_hidden_depth;
        return;
    }
    if (Name == "title")
        m_title_flag = false;
    else if (Name == "g")
        m_path.pop_attr();
    else if (Name == "path")
        m_path_flag = false;
}

// ---- attributes ----

bool svg_parser::parse_attr(std::string_view Name, std::string_view Value)
{
    if (Name == "style") {
        parse_style(Value);
    } else if (Name == "fill") {
        if (TrimBlanks(Value) == "none")
            m_path.fill_none();
        else
            m_path.fill(parse_color(Value));
    } else if (Name == "fill-opacity") {
        m_path.fill_opacity(get_double(Value));
    } else if (Name == "stroke") {
        if (TrimBlanks(Value) == "none")
            m_path.stroke_none();
        else
            m_path.stroke(parse_color(Value));
    } else if (Name == "stroke-width") {
        m_path.stroke_width(get_double(Value));
    } else if (Name == "stroke-linecap") {
        if (Value == "butt")
            m_path.line_cap(0);
        else if (Value == "square")
            m_path.line_cap(1);
        else if (Value == "round")
            m_path.line_cap(2);
    } else if (Name == "stroke-linejoin") {
        if (Value == "miter")
            m_path.line_join(0);
        else if (Value == "round")
            m_path.line_join(2);
        else if (Value == "bevel")
            m_path.line_join(3);
    } else if (Name == "stroke-miterlimit") {
        m_path.miter_limit(get_double(Value));
    } else if (Name == "stroke-opacity") {
        m_path.stroke_opacity(get_double(Value));
    } else if (Name == "transform") {
        parse_transform(Value);
    } else {
        return false;
    }
    return true;
}

void svg_parser::parse_style(std::string_view Value)
{
    size_t pos = 0;
    while (pos < Value.size()) {
        size_t end = Value.find(';', pos);
        if (end == std::string_view::npos)
            end = Value.size();
        const std::string_view item = Value.substr(pos, end - pos);
        pos = end + 1;
        const size_t colon = item.find(':');
        if (colon == std::string_view::npos)
            continue;
        // Properties of other names are passed over.
        parse_attr(TrimBlanks(item.substr(0, colon)), TrimBlanks(item.substr(colon + 1)));
    }
}

void svg_parser::parse_transform(std::string_view Value)
{
    struct TFunction {
        std::string_view Name;
        size_t (svg_parser::*Parse)(std::string_view);
    };
    static constexpr TFunction Functions[] = {
        {"matrix", &svg_parser::parse_matrix}, {"translate", &svg_parser::parse_translate},
        {"rotate", &svg_parser::parse_rotate}, {"scale", &svg_parser::parse_scale},
        {"skewX", &svg_parser::parse_skew_x},  {"skewY", &svg_parser::parse_skew_y},
    };
    size_t pos = 0;
    while (pos < Value.size()) {
        const std::string_view rest = Value.substr(pos);
        size_t used = 1;
        if (rest[0] >= 'a' && rest[0] <= 'z')
            for (const TFunction& f : Functions)
                if (rest.starts_with(f.Name)) {
                    used = (this->*f.Parse)(rest);
                    break;
                }
        pos += used;
    }
}

size_t svg_parser::parse_transform_args(std::string_view Str, double* Args, unsigned MaxCount,
                                        unsigned& Count)
{
    Count = 0;
    // Only blanks between the function's name and its parenthesis.
    size_t open = 0;
    while (open < Str.size() &&
           ((Str[open] >= 'a' && Str[open] <= 'z') || Str[open] == 'X' || Str[open] == 'Y'))
        ++open;
    while (open < Str.size() && Blanks.find(Str[open]) != std::string_view::npos)
        ++open;
    const size_t close = open < Str.size() && Str[open] == '(' ? Str.find(')', open) : std::string_view::npos;
    if (close == std::string_view::npos)
        throw Esvg_exception("parse_transform_args: Invalid syntax");
    const std::string_view inside = Str.substr(0, close);
    size_t pos = open + 1;
    while (pos < close) {
        const char c = Str[pos];
        if ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.') {
            if (Count >= MaxCount)
                throw Esvg_exception("parse_transform_args: Too many arguments");
            if (!scan_number(inside, pos, Args[Count], "parse_transform_args"))
                throw Esvg_exception("parse_transform_args: Invalid syntax");
            ++Count;
        } else {
            ++pos;
        }
    }
    return close + 1;
}

namespace {

void Premultiply(path_renderer& Path, const agg::trans_affine& M)
{
    Path.transform().premultiply(M);
}

} // namespace

size_t svg_parser::parse_matrix(std::string_view Str)
{
    double a[6];
    unsigned n = 0;
    const size_t len = parse_transform_args(Str, a, 6, n);
    if (n != 6)
        throw Esvg_exception("parse_matrix: Invalid number of arguments");
    Premultiply(m_path, agg::trans_affine(a[0], a[1], a[2], a[3], a[4], a[5]));
    return len;
}

size_t svg_parser::parse_translate(std::string_view Str)
{
    double a[2] = {0, 0};
    unsigned n = 0;
    const size_t len = parse_transform_args(Str, a, 2, n);
    if (n == 0)
        throw Esvg_exception("parse_translate: Invalid number of arguments");
    Premultiply(m_path, agg::trans_affine_translation(a[0], n == 2 ? a[1] : 0));
    return len;
}

size_t svg_parser::parse_rotate(std::string_view Str)
{
    double a[3];
    unsigned n = 0;
    const size_t len = parse_transform_args(Str, a, 3, n);
    if (n == 1) {
        Premultiply(m_path, agg::trans_affine_rotation(agg::deg2rad(a[0])));
    } else if (n == 3) {
        agg::trans_affine t = agg::trans_affine_translation(-a[1], -a[2]);
        t *= agg::trans_affine_rotation(agg::deg2rad(a[0]));
        t *= agg::trans_affine_translation(a[1], a[2]);
        Premultiply(m_path, t);
    } else {
        throw Esvg_exception("parse_rotate: Invalid number of arguments");
    }
    return len;
}

size_t svg_parser::parse_scale(std::string_view Str)
{
    double a[2];
    unsigned n = 0;
    const size_t len = parse_transform_args(Str, a, 2, n);
    if (n == 0)
        throw Esvg_exception("parse_scale: Invalid number of arguments");
    Premultiply(m_path, agg::trans_affine_scaling(a[0], n == 2 ? a[1] : a[0]));
    return len;
}

size_t svg_parser::parse_skew_x(std::string_view Str)
{
    double a[1];
    unsigned n = 0;
    const size_t len = parse_transform_args(Str, a, 1, n);
    if (n != 1)
        throw Esvg_exception("parse_skew_x: Invalid number of arguments");
    Premultiply(m_path, agg::trans_affine_skewing(agg::deg2rad(a[0]), 0.0));
    return len;
}

size_t svg_parser::parse_skew_y(std::string_view Str)
{
    double a[1];
    unsigned n = 0;
    const size_t len = parse_transform_args(Str, a, 1, n);
    if (n != 1)
        throw Esvg_exception("parse_skew_y: Invalid number of arguments");
    Premultiply(m_path, agg::trans_affine_skewing(0.0, agg::deg2rad(a[0])));
    return len;
}

// ---- shapes ----

void svg_parser::parse_path_element(const char** Attrs)
{
    // In document order: a transform written after "d" still reaches the path, whose record
    // end_path brings up to date.
    for (const char** a = Attrs; a[0]; a += 2) {
        if (std::string_view(a[0]) == "d") {
            m_tokenizer.set_path_str(a[1]);
            m_path.parse_path(m_tokenizer);
        } else {
            parse_attr(a[0], a[1]);
        }
    }
}

void svg_parser::parse_shape_attrs(const char** Attrs, std::span<const std::string_view> Names,
                                   double* Values)
{
    std::fill(Values, Values + Names.size(), 0.0);
    for (const char** a = Attrs; a[0]; a += 2) {
        if (parse_attr(a[0], a[1]))
            continue;
        const auto it = std::find(Names.begin(), Names.end(), std::string_view(a[0]));
        if (it != Names.end())
            Values[it - Names.begin()] = get_double(a[1]);
    }
}

void svg_parser::parse_rect(const char** Attrs)
{
    static constexpr std::string_view Names[] = {"x", "y", "width", "height"};
    double v[4];
    m_path.begin_path();
    parse_shape_attrs(Attrs, Names, v);
    const double x = v[0], y = v[1], w = v[2], h = v[3];
    if (w != 0 && h != 0) {
        if (w < 0)
            throw Esvg_exception("parse_rect: Invalid width: " + std::to_string(w));
        if (h < 0)
            throw Esvg_exception("parse_rect: Invalid height: " + std::to_string(h));
        m_path.move_to(x, y);
        m_path.line_to(x + w, y);
        m_path.line_to(x + w, y + h);
        m_path.line_to(x, y + h);
        m_path.close_subpath();
    }
    m_path.end_path();
}

void svg_parser::parse_circle(const char** Attrs)
{
    static constexpr std::string_view Names[] = {"cx", "cy", "r"};
    double v[3];
    m_path.begin_path();
    parse_shape_attrs(Attrs, Names, v);
    const double cx = v[0], cy = v[1], r = v[2];
    // A circle of radius 0 is drawn by no one: its path stays empty.
    if (r != 0) {
        m_path.move_to(cx + r, cy + r);
        m_path.circle(cx, cy, r);
        m_path.close_subpath();
    }
    m_path.end_path();
}

void svg_parser::parse_line(const char** Attrs)
{
    static constexpr std::string_view Names[] = {"x1", "y1", "x2", "y2"};
    double v[4];
    m_path.begin_path();
    parse_shape_attrs(Attrs, Names, v);
    m_path.move_to(v[0], v[1]);
    m_path.line_to(v[2], v[3]);
    m_path.end_path();
}

void svg_parser::parse_poly(const char** Attrs, bool Close)
{
    m_path.begin_path();
    for (const char** a = Attrs; a[0]; a += 2) {
        if (parse_attr(a[0], a[1]) || std::string_view(a[0]) != "points")
            continue;
        m_tokenizer.set_path_str(a[1]);
        double x = 0;
        unsigned count = 0;
        while (m_tokenizer.next()) {
            if (!m_tokenizer.last_is_number())
                throw Esvg_exception(std::string("parse_poly: Invalid Character ") +
                                     m_tokenizer.last_command());
            if (count % 2 == 0)
                x = m_tokenizer.last_number();
            else if (count == 1)
                m_path.move_to(x, m_tokenizer.last_number());
            else
                m_path.line_to(x, m_tokenizer.last_number());
            ++count;
        }
        if (count < 2)
            throw Esvg_exception("parse_poly: Too few coordinates");
        if (count % 2 != 0)
            throw Esvg_exception("parse_poly: Odd number of coordinates");
    }
    if (Close)
        m_path.close_subpath();
    m_path.end_path();
}
