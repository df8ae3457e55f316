// Path data into vertices: every command letter absolute and relative, implicit repeats, numbers
// written against each other, arcs with their flags written together, the current point at the
// start of a path and after a close, the smooth curves' reflection, and the errors. Also the
// vertex storage itself and the attribute stack.
#include "SvgDescribe.h"
#include "SvgException.h"
#include "SvgPathRenderer.h"
#include "SvgPathStorage.h"
#include "SvgPathTokenizer.h"

#include "ExpectError.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Vertices(const std::string& D)
{
    path_renderer r;
    path_tokenizer tok;
    r.begin_path();
    tok.set_path_str(D);
    r.parse_path(tok);
    r.end_path();
    return DescribePath(r, 0);
}

} // namespace

TEST(SvgPathData, EveryCommandAbsoluteAndRelative)
{
    struct TCase {
        const char* Name;
        const char* D;
        const char* Vertices;
    };
    const std::vector<TCase> cases = {
        {"move and line", "M10,20L30-40", "M10,20 L30,-40"},
        {"relative move and line", "m10,20l30-40", "M10,20 L40,-20"},
        {"horizontal and vertical", "M1 1 H5 V4 h-2 v-1", "M1,1 L5,1 L5,4 L3,4 L3,3"},
        {"quadratic", "M1 1 Q2 3 4 4 q1 1 2 0", "M1,1 Q2,3 Q4,4 Q5,5 Q6,4"},
        {"cubic", "M1 1 C1 2 3 4 5 6 c1 0 2 1 2 2", "M1,1 C1,2 C3,4 C5,6 C6,6 C7,7 C7,8"},
        {"smooth quadratic reflects the control point", "M0 0 Q2 3 4 4 T10 10", "M0,0 Q2,3 Q4,4 Q6,5 Q10,10"},
        {"relative smooth quadratics in a row", "M1 1 q1 2 3 0 t2 0 2 0",
         "M1,1 Q2,3 Q4,1 Q6,-1 Q6,1 Q6,3 Q8,1"},
        {"smooth cubic reflects the second control point", "M0 0 C1 2 3 4 5 6 S9 10 11 12",
         "M0,0 C1,2 C3,4 C5,6 C7,8 C9,10 C11,12"},
        {"relative smooth cubic", "m1 1 c1 0 2 1 2 2 s0 2 -1 2", "M1,1 C2,1 C3,2 C3,3 C3,4 C3,5 C2,5"},
        {"smooth cubic after a line is not reflected", "M0 0 C1 1 2 1 3 0 L4 0 S6 1 7 0",
         "M0,0 C1,1 C2,1 C3,0 L4,0 C4,0 C6,1 C7,0"},
        {"smooth quadratic after a cubic is not reflected", "M0 0 C1 1 2 1 3 0 T5 0",
         "M0,0 C1,1 C2,1 C3,0 Q3,0 Q5,0"},
        {"arc", "M0 0 A 5 5 0 0 1 10 0", "M0,0 A5,5 A0,0 A0,1 A10,0"},
        {"relative arc: only its end moves", "M1 1 a 5 5 30 1 0 10 0", "M1,1 A5,5 A30,30 A1,0 A11,1"},
        {"close", "M0 0 L4 0 L4 4 z", "M0,0 L4,0 L4,4 Z0,0"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(Vertices(c.D), c.Vertices);
    }
}

TEST(SvgPathData, RepeatsNumbersAndTheCurrentPoint)
{
    struct TCase {
        const char* Name;
        const char* D;
        const char* Vertices;
    };
    const std::vector<TCase> cases = {
        {"pairs after a move are lines", "M 10 10 20 20 30 10", "M10,10 L20,20 L30,10"},
        {"pairs after a relative move are relative lines", "m 10 10 20 0 0 5", "M10,10 L30,10 L30,15"},
        {"repeated lines", "M0 0 L 1 2 3 4", "M0,0 L1,2 L3,4"},
        {"repeated arcs", "M0 0 A1 1 0 0 1 2 0 1 1 0 0 0 4 0",
         "M0,0 A1,1 A0,0 A0,1 A2,0 A1,1 A0,0 A0,0 A4,0"},
        {"arc flags written together", "M0 0 a5 5 0 1110 0", "M0,0 A5,5 A0,0 A1,1 A10,0"},
        {"arc flags together, repeated", "M0 0a1 1 0 002 0 1 1 0 01-2 0",
         "M0,0 A1,1 A0,0 A0,0 A2,0 A1,1 A0,0 A0,1 A0,0"},
        {"numbers without separators", "M1.5.5L.5-.5", "M1.5,0.5 L0.5,-0.5"},
        {"exponents with signs", "M1e-3-2L1E2,+3", "M0.001,-2 L100,3"},
        {"a number too small for a double is 0", "M1e-999 2", "M0,2"},
        {"every separator", "M 1,2\t3\n4\r5 6", "M1,2 L3,4 L5,6"},
        {"relative numbers after a close start at the sub-path", "M 2 2 L 10 2 L 10 10 Z m 5 5 l 1 0",
         "M2,2 L10,2 L10,10 Z0,0 M7,7 L8,7"},
        {"a line after a close starts at the sub-path", "M 2 2 L 10 2 Z l 1 0", "M2,2 L10,2 Z0,0 L3,2"},
        {"a relative move that begins the path is absolute", "m 10 10 20 0", "M10,10 L30,10"},
        {"a horizontal line before any point draws nothing", "h 5", ""},
        {"a smooth curve before any point draws nothing", "T 5 5 S 1 1 2 2", ""},
        {"a relative line before any move starts at zero", "l 5 5", "L5,5"},
        {"a close after a close or first adds nothing", "z M0 0 Z Z", "M0,0 Z0,0"},
        {"two moves in a row", "M1 1 M2 2 L3 3", "M1,1 M2,2 L3,3"},
        {"a smooth curve after a close takes the start unreflected", "M1 1 Q2 2 3 1 Z T5 5",
         "M1,1 Q2,2 Q3,1 Z0,0 Q1,1 Q5,5"},
        {"empty", "  ", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(Vertices(c.D), c.Vertices);
    }
}

TEST(SvgPathData, ErrorsNameTheRoutineAndTheReason)
{
    struct TCase {
        const char* D;
        const char* Message;
    };
    const std::vector<TCase> cases = {
        {"M 0 0 # 1", "path_tokenizer::next : Invalid Character #"},
        {"M 10", "parse_path: Unexpected end of path"},
        {"M", "parse_path: Unexpected end of path"},
        {"M 10 L 5 5", "parse_path: Command M: bad or missing parameters"},
        {"M0 0 F 1 1", "parse_path: Invalid Command F"},
        {"M0 0 A 1 1 0 2 0 5 5", "parse_path: Command A: bad or missing parameters"},
        {"M0 0 A 1 1 0 0", "parse_path: Unexpected end of path"},
        {"M0 0 Z 5", "parse_path: Command Z: bad or missing parameters"},
        {"10 20", "parse_path: Path data must begin with a command"},
        {"M . 5", "path_tokenizer::next : Invalid Character ."},
        {"M0 0 L1e 2", "path_tokenizer::next : Invalid Character e"},
        {"M 1e999 0", "path_tokenizer::next: Number out of range: 1e999"},
        {"M -2.5e+400,0", "path_tokenizer::next: Number out of range: -2.5e+400"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.D);
        ExpectError<Esvg_exception>([&] { Vertices(c.D); }, c.Message);
    }
}

TEST(SvgPathData, AttributeNumbersEndAtTheirUnit)
{
    struct TCase {
        const char* Text;
        double Value;
    };
    const std::vector<TCase> cases = {
        {"10px", 10}, {" 10mm", 10}, {"-.5e1x", -5}, {"+3", 3},
        {"2em", 2},   {"auto", 0},   {"", 0},        {"1e-400", 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(get_double(c.Text), c.Value);
    }
}

TEST(SvgPathStorage, BlocksKeepEveryVertexAndPathsAreSeparated)
{
    path_storage s;
    EXPECT_EQ(s.start_new_path(), 0u);
    EXPECT_EQ(s.total_vertices(), 0u);
    // Several blocks.
    constexpr unsigned N = 600000;
    for (unsigned i = 0; i < N; ++i)
        s.add_vertex(i, -double(i), i % 2 ? path_cmd_line_to : path_cmd_move_to);
    double x = 0, y = 0;
    for (const unsigned i : {777u, 65535u, 65536u, 555555u}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(s.vertex(i, &x, &y), unsigned(i % 2 ? path_cmd_line_to : path_cmd_move_to));
        EXPECT_EQ(x, i);
        EXPECT_EQ(y, -double(i));
    }
    // A new path after vertices: a stop first, then its index.
    EXPECT_EQ(s.start_new_path(), N + 1);
    EXPECT_EQ(s.command(N), unsigned(path_cmd_stop));
    // An empty path adds no second stop.
    EXPECT_EQ(s.start_new_path(), N + 1);
    EXPECT_EQ(s.vertex(N + 5000, &x, &y), unsigned(path_cmd_stop));
    EXPECT_EQ(x, 0);
    s.remove_all();
    EXPECT_EQ(s.total_vertices(), 0u);
}

// The import gives back the vertices it has converted: what lies before the index reads as stops
// (at most a block's worth of them may stay), what lies from it on keeps its values, and the
// storage takes more vertices after it.
TEST(SvgPathStorage, ReleasedVerticesReadAsStopsAndTheRestStays)
{
    path_storage s;
    constexpr unsigned N = 700000, From = 600000;
    for (unsigned i = 0; i < N; ++i)
        s.add_vertex(i, i, path_cmd_line_to);
    s.release_before(From);
    EXPECT_EQ(s.total_vertices(), N);
    double x = 1, y = 1;
    EXPECT_EQ(s.vertex(0, &x, &y), unsigned(path_cmd_stop));
    EXPECT_EQ(x, 0);
    EXPECT_EQ(s.command(From - 300000), unsigned(path_cmd_stop));
    unsigned kept = 0;
    for (unsigned i = From; i < N; ++i)
        kept += s.vertex(i, &x, &y) == path_cmd_line_to && x == i ? 1 : 0;
    EXPECT_EQ(kept, N - From);
    // Everything given back, the storage goes on from the same count.
    s.release_before(N);
    s.add_vertex(5, 6, path_cmd_move_to);
    EXPECT_EQ(s.total_vertices(), N + 1);
    EXPECT_EQ(s.vertex(N, &x, &y), unsigned(path_cmd_move_to));
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 6);
}

TEST(SvgPathRenderer, RecordsTakeTheAttributesSetBeforeTheirEnd)
{
    path_renderer r;
    r.push_attr();
    r.fill(agg::rgba8(255, 0, 0, 255));
    r.begin_path();
    r.move_to(5, 5);
    r.line_to(6, 6);
    // Set after the geometry, it still reaches this path's record.
    r.stroke_width(3);
    r.fill_opacity(0.5);
    r.end_path();
    r.begin_path();
    path_tokenizer tok;
    tok.set_path_str("m 10 10");
    r.parse_path(tok);
    r.end_path();
    r.pop_attr();
    ASSERT_EQ(r.attributes_count(), 2u);
    EXPECT_EQ(r.attributes(0).fill_color.r, 255);
    EXPECT_EQ(r.attributes(0).fill_color.a, 128);
    EXPECT_EQ(r.attributes(0).stroke_width, 3);
    EXPECT_TRUE(r.attributes(0).stroke_flag);
    // The second path's record has the group's attributes only; its relative move is absolute.
    EXPECT_EQ(r.attributes(1).fill_color.a, 255);
    EXPECT_FALSE(r.attributes(1).stroke_flag);
    EXPECT_EQ(r.attributes(1).index, 3u);
    EXPECT_EQ(DescribePath(r, 1), "M10,10");
    EXPECT_EQ(r.attr_depth(), 0u);
}

TEST(SvgPathRenderer, StackErrors)
{
    path_renderer r;
    ExpectError<svg_exception>([&] { r.pop_attr(); }, "pop_attr : Attribute stack is empty");
    ExpectError<svg_exception>([&] { r.cur_attr(); }, "cur_attr : Attribute stack is empty");
    ExpectError<svg_exception>([&] { r.end_path(); }, "end_path : The path was not begun");
    for (unsigned i = 0; i < path_renderer::MaxDepth; ++i)
        r.push_attr();
    ExpectError<Esvg_exception>([&] { r.push_attr(); }, "push_attr : Groups are nested too deep");
}
