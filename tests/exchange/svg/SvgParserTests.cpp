// SVG documents into paths and their attribute records: colours, styles, transforms, the shape
// elements, what is passed over, and the errors of a damaged or hostile file (with the routine's
// name and the reason). Nothing outside the document is ever read.
#include "SvgDescribe.h"
#include "SvgException.h"
#include "SvgParser.h"
#include "SvgPathRenderer.h"

#include "ExpectError.h"
#include "SvgFixtures.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

// A document of Body inside the svg element.
std::string Doc(const std::string& Body)
{
    return "<svg xmlns='http://www.w3.org/2000/svg' width='100' height='100'>" + Body + "</svg>";
}

struct TParsed {
    path_renderer Paths;
    std::string Title;
};

std::unique_ptr<TParsed> Parse(const std::string& Text)
{
    auto p = std::make_unique<TParsed>();
    svg_parser parser(p->Paths);
    parser.parse_text(Text);
    p->Title = parser.title();
    return p;
}

struct TRgb {
    int R, G, B;
};

void ExpectColor(const agg::rgba8& C, TRgb E)
{
    EXPECT_EQ(C.r, E.R);
    EXPECT_EQ(C.g, E.G);
    EXPECT_EQ(C.b, E.B);
    EXPECT_EQ(C.a, 255);
}

} // namespace

TEST(SvgParser, Colours)
{
    struct TCase {
        const char* Value;
        TRgb Color;
    };
    const std::vector<TCase> cases = {
        {"#ff8000", {255, 128, 0}},
        {"#FF8000", {255, 128, 0}},
        {"#F00", {255, 0, 0}},
        {"#ff80", {0, 255, 128}},
        {"#12G456", {0, 0, 0}},
        {" #00ff00 ", {0, 255, 0}},
        {"rgb(10,20,30)", {10, 20, 30}},
        {"rgb(255, 128, 64)", {255, 128, 64}},
        {"rgb( 100% , 50%, 0% )", {255, 128, 0}},
        {"rgb(300,-5,7)", {255, 0, 7}},
        {"rgb(1)", {1, 0, 0}},
        {"red", {255, 0, 0}},
        {"royalblue", {65, 105, 225}},
        {"yellowgreen", {154, 205, 50}},
        {"Red", {240, 248, 255}},
        {"url(#gradient)", {240, 248, 255}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Value);
        ExpectColor(parse_color(c.Value), c.Color);
    }
}

TEST(SvgParser, StylesAndPresentationAttributes)
{
    const auto p = Parse(Doc("<g fill='#ff0000' stroke-width='2'>"
                             "<rect width='1' height='1' style='fill:none; stroke : #000000 ;;'/>"
                             "<rect width='1' height='1' style='font-size:12px;stroke-width:3;fill:#00f'"
                             " fill-opacity='0.5' stroke-linecap='round' stroke-linejoin='bevel'"
                             " stroke-miterlimit='7' stroke-opacity='2'/>"
                             "<rect width='1' height='1' stroke='blue' stroke-linecap='wide'/>"
                             "</g><rect width='1' height='1'/>"));
    const path_renderer& r = p->Paths;
    ASSERT_EQ(r.attributes_count(), 4u);
    EXPECT_FALSE(r.attributes(0).fill_flag);
    EXPECT_TRUE(r.attributes(0).stroke_flag);
    ExpectColor(r.attributes(0).stroke_color, {0, 0, 0});
    // The group's fill stays the colour of a record whose fill is off.
    ExpectColor(r.attributes(0).fill_color, {255, 0, 0});

    const path_attributes& second = r.attributes(1);
    EXPECT_TRUE(second.fill_flag);
    EXPECT_EQ(second.fill_color.b, 255);
    EXPECT_EQ(second.fill_color.a, 128);
    EXPECT_EQ(second.stroke_width, 3);
    EXPECT_EQ(second.line_cap, 2u);
    EXPECT_EQ(second.line_join, 3u);
    EXPECT_EQ(second.miter_limit, 7);
    EXPECT_EQ(second.stroke_color.a, 255);

    // An unknown cap changes nothing; the group's stroke width reaches its shapes.
    EXPECT_EQ(r.attributes(2).line_cap, 0u);
    EXPECT_EQ(r.attributes(2).stroke_width, 2);
    ExpectColor(r.attributes(2).stroke_color, {0, 0, 255});
    // Outside the group the defaults.
    EXPECT_TRUE(r.attributes(3).fill_flag);
    ExpectColor(r.attributes(3).fill_color, {0, 0, 0});
    EXPECT_FALSE(r.attributes(3).stroke_flag);
}

TEST(SvgParser, TransformsMapAsSvgDoes)
{
    struct TCase {
        const char* Transform;
        double X, Y;   // a point of the shape
        double TX, TY; // where SVG puts it
    };
    const std::vector<TCase> cases = {
        {"translate(10,0) scale(2)", 1, 1, 12, 2},
        {"translate(10)", 1, 1, 11, 1},
        {"scale(2,3)", 1, 1, 2, 3},
        {"scale(2)", 1, 1, 2, 2},
        {"rotate(90)", 1, 0, 0, 1},
        {"rotate(90,10,0)", 11, 0, 10, 1},
        {"rotate(-90 10 0)", 11, 0, 10, -1},
        {"matrix(0,1,-1,0,0,0)", 1, 0, 0, 1},
        {"matrix(1 0 0 -1 0 100)", 3, 4, 3, 96},
        {"skewX(45)", 0, 1, 1, 1},
        {"skewY(45)", 1, 0, 1, 1},
        {"translate(1 2)rotate(90)", 1, 0, 1, 3},
        {"  translate( 5 , 6 ) , scale( .5 ) ", 2, 2, 6, 7},
        {"translate(1e1,-2e-1)", 0, 0, 10, -0.2},
        {"scale (2)", 1, 1, 2, 2},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Transform);
        const auto p =
            Parse(Doc(std::string("<rect width='1' height='1' transform='") + c.Transform + "'/>"));
        ASSERT_EQ(p->Paths.attributes_count(), 1u);
        double x = c.X, y = c.Y;
        p->Paths.attributes(0).transform.transform(&x, &y);
        EXPECT_NEAR(x, c.TX, 1e-12);
        EXPECT_NEAR(y, c.TY, 1e-12);
    }
    // A group's transform applies after the shape's own, also when written after its data.
    const auto p = Parse(Doc("<g transform='translate(10,0)'><g transform='rotate(90)'>"
                             "<path d='M1 0' transform='scale(2)'/></g></g>"));
    double x = 1, y = 0;
    p->Paths.attributes(0).transform.transform(&x, &y);
    EXPECT_NEAR(x, 10, 1e-12);
    EXPECT_NEAR(y, 2, 1e-12);
}

TEST(SvgParser, TransformErrors)
{
    struct TCase {
        const char* Transform;
        const char* Message;
    };
    const std::vector<TCase> cases = {
        {"rotate(10 20)", "parse_rotate: Invalid number of arguments"},
        {"scale(1,2,3)", "parse_transform_args: Too many arguments"},
        {"translate 10 20", "parse_transform_args: Invalid syntax"},
        {"translate 10 20 scale(2)", "parse_transform_args: Invalid syntax"},
        {"scale(1", "parse_transform_args: Invalid syntax"},
        {"translate(1 . 2)", "parse_transform_args: Invalid syntax"},
        {"translate()", "parse_translate: Invalid number of arguments"},
        {"scale()", "parse_scale: Invalid number of arguments"},
        {"matrix(1,2,3)", "parse_matrix: Invalid number of arguments"},
        {"skewX()", "parse_skew_x: Invalid number of arguments"},
        {"skewY(1,2)", "parse_transform_args: Too many arguments"},
        {"translate(1e999)", "parse_transform_args: Number out of range: 1e999"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Transform);
        ExpectError<Esvg_exception>([&] { Parse(Doc(std::string("<g transform='") + c.Transform + "'/>")); },
                                    c.Message);
    }
}

TEST(SvgParser, ShapesBecomePaths)
{
    struct TCase {
        const char* Name;
        const char* Element;
        const char* Vertices; // of the one path
    };
    const std::vector<TCase> cases = {
        {"rect", "<rect x='0' y='0' width='10' height='5'/>", "M0,0 L10,0 L10,5 L0,5 Z0,0"},
        {"rect with units", "<rect x='1px' y='2mm' width='10px' height='5px'/>",
         "M1,2 L11,2 L11,7 L1,7 Z0,0"},
        {"rect of width 0", "<rect width='0' height='5'/>", ""},
        {"rect of width -1 and height 0", "<rect width='-1' height='0'/>", ""},
        {"circle", "<circle cx='5' cy='5' r='2'/>", "M7,7 O5,5 O2,5 Z0,0"},
        {"circle of radius 0", "<circle cx='5' cy='5' r='0'/>", ""},
        {"circle without a radius", "<circle cx='5' cy='5'/>", ""},
        {"line", "<line x1='0' y1='0' x2='10' y2='10'/>", "M0,0 L10,10"},
        {"polyline", "<polyline points='1,2 3,4\t5 6'/>", "M1,2 L3,4 L5,6"},
        {"polygon", "<polygon points='1,2 3,4 5,6'/>", "M1,2 L3,4 L5,6 Z0,0"},
        {"path", "<path d='M0 0 l 5 5'/>", "M0,0 L5,5"},
        {"path without data", "<path fill='red'/>", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto p = Parse(Doc(c.Element));
        ASSERT_EQ(p->Paths.attributes_count(), 1u);
        EXPECT_EQ(DescribePath(p->Paths, 0), c.Vertices);
        EXPECT_EQ(p->Paths.attr_depth(), 0u);
    }
}

TEST(SvgParser, WhatIsPassedOverAndWhatIsNot)
{
    struct TCase {
        const char* Name;
        const char* Body;
        unsigned Paths;
    };
    const std::vector<TCase> cases = {
        {"elements of no shape, their children read",
         "<a><text>t</text><rect width='1' height='1'/></a><ellipse rx='1' ry='1'/><image/>", 1},
        {"a nested svg element is a group", "<svg><line x2='1'/></svg>", 1},
        {"definitions are drawn only where used",
         "<defs><rect width='1' height='1'/><g><path d='M0 0L1 1'/></g></defs><line x2='1'/>", 1},
        {"symbols, clip paths, masks, markers and patterns",
         "<symbol><line x2='1'/></symbol><clipPath><rect width='1' height='1'/></clipPath>"
         "<mask><circle r='1'/></mask><marker><path d='M0 0'/></marker><pattern><line x2='1'/></pattern>",
         0},
        {"a style element and classes are not read", "<style>.a{fill:red}</style><line class='a' x2='1'/>",
         1},
        {"a foreign namespace",
         "<x:path xmlns:x='urn:x' d='M0 0'/><sodipodi:namedview xmlns:sodipodi='urn:s'/>", 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto p = Parse(Doc(c.Body));
        EXPECT_EQ(p->Paths.attributes_count(), c.Paths);
        EXPECT_EQ(p->Paths.attr_depth(), 0u);
    }
}

TEST(SvgParser, TitleIsKeptShortAndPlain)
{
    EXPECT_EQ(Parse(Doc("<title>Two\twords\n</title>"))->Title, "Two words ");
    EXPECT_EQ(Parse(Doc("<title>" + std::string(300, 'x') + "</title>"))->Title, std::string(255, 'x'));
}

TEST(SvgParser, InternalEntitiesAreExpanded)
{
    // Some drawing programs name their namespaces and styles by entities of the document.
    const auto p = Parse("<!DOCTYPE svg [<!ENTITY st 'fill:#ff0000'><!ENTITY w '10'>]>" +
                         Doc("<rect width='&w;' height='&w;' style='&st;'/>"));
    ASSERT_EQ(p->Paths.attributes_count(), 1u);
    ExpectColor(p->Paths.attributes(0).fill_color, {255, 0, 0});
    EXPECT_EQ(DescribePath(p->Paths, 0), "M0,0 L10,0 L10,10 L0,10 Z0,0");
}

TEST(SvgParser, DamagedAndHostileDocumentsAreRefusedWithTheReason)
{
    struct TCase {
        const char* Name;
        std::string Text;
        std::string Message; // the start of the message
    };
    const std::vector<TCase> cases = {
        {"empty", "", "no element found at line 1"},
        {"cut", "<svg><rect", "unclosed token at line 1"},
        {"mismatched", "<svg>\n<g></svg>", "mismatched tag at line 2"},
        {"not XML", "plain text", "syntax error at line 1"},
        {"nested path", Doc("<path d='M0 0'><path d='M1 1'/></path>"), "start_element: Nested path"},
        {"negative width", Doc("<rect width='-1' height='2'/>"), "parse_rect: Invalid width: "},
        {"negative height", Doc("<rect width='1' height='-2'/>"), "parse_rect: Invalid height: "},
        {"odd points", Doc("<polyline points='1,2 3'/>"), "parse_poly: Odd number of coordinates"},
        {"one number", Doc("<polygon points='1'/>"), "parse_poly: Too few coordinates"},
        {"a letter among points", Doc("<polygon points='1,2 M 3,4'/>"), "parse_poly: Invalid Character M"},
        {"bad path data", Doc("<path d='M0 0 L 1'/>"), "parse_path: Unexpected end of path"},
        {"groups nested without end", SvgDeepGroups(2000), "push_attr : Groups are nested too deep"},
        {"a billion laughs", SvgBillionLaughs(), "limit on input amplification factor"},
        {"undefined entity", Doc("<title>&nothing;</title>"), "undefined entity at line 1"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        try {
            Parse(c.Text);
            ADD_FAILURE() << "no exception";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()).substr(0, c.Message.size()), c.Message) << e.what();
        }
    }
}

TEST(SvgParser, NothingOutsideTheDocumentIsRead)
{
    const TTempFolder folder;
    const std::string secret = folder.Path() + "/secret.txt";
    std::ofstream(secret) << "SECRET";
    std::ofstream(folder.Path() + "/secret.dtd") << "<!ENTITY leak 'SECRET'>";
    const std::vector<std::string> documents = {
        // An external entity in the content: passed over.
        "<!DOCTYPE svg [<!ENTITY ext SYSTEM 'file://" + secret + "'>]><svg><title>&ext;</title></svg>",
        // An external DTD of parameter entities: not read, so its entity is unknown and skipped.
        "<!DOCTYPE svg [<!ENTITY % dtd SYSTEM 'file://" + folder.Path() +
            "/secret.dtd'> %dtd;]><svg><title>&leak;</title></svg>",
        "<!DOCTYPE svg SYSTEM 'file://" + folder.Path() + "/secret.dtd'><svg><title>&leak;</title></svg>",
    };
    for (const std::string& d : documents) {
        SCOPED_TRACE(d);
        try {
            EXPECT_EQ(Parse(d)->Title.find("SECRET"), std::string::npos);
        } catch (const Esvg_exception& e) {
            EXPECT_EQ(std::string(e.what()).find("SECRET"), std::string::npos);
        }
    }
    // An external entity in an attribute is an error of the document.
    ExpectErrorContaining<Esvg_exception>(
        [&] {
            Parse("<!DOCTYPE svg [<!ENTITY ext SYSTEM 'file://" + secret +
                  "'>]><svg><path d='&ext;'/></svg>");
        },
        "reference to external entity in attribute");
}

TEST(SvgParser, FilesThatCannotBeRead)
{
    const TTempFolder folder;
    path_renderer r;
    svg_parser parser(r);
    const std::string missing = folder.Path() + "/missing.svg";
    ExpectError<Esvg_exception>([&] { parser.parse(missing); }, "Couldn't open file " + missing);
    // A folder or a device has no size to read up to.
    ExpectError<Esvg_exception>([&] { parser.parse(folder.Path()); }, "Couldn't open file " + folder.Path());
    ExpectError<Esvg_exception>([&] { parser.parse("/dev/zero"); }, "Couldn't open file /dev/zero");
    // A file of exactly one old read block, and one of none.
    const std::string name = folder.Path() + "/block.svg";
    std::string text = Doc("<line x2='1'/>");
    text.append(512 - text.size(), ' ');
    std::ofstream(name) << text;
    parser.parse(name);
    EXPECT_EQ(r.attributes_count(), 1u);
    std::ofstream(name, std::ios::trunc).flush();
    ExpectError<Esvg_exception>([&] { parser.parse(name); }, "no element found at line 1");
}
