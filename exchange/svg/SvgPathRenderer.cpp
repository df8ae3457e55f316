#include "SvgPathRenderer.h"

#include "SvgException.h"
#include "SvgPathTokenizer.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

uint8_t Alpha(double Opacity)
{
    return static_cast<uint8_t>(std::lround(std::clamp(Opacity, 0.0, 1.0) * 255));
}

} // namespace

// ---- paths ----

void path_renderer::begin_path()
{
    push_attr();
    const unsigned idx = m_storage.start_new_path();
    path_attributes attr = cur_attr();
    attr.index = idx;
    m_attr_storage.add(attr);
    m_cur_x = m_cur_y = m_start_x = m_start_y = 0;
    m_has_cur = false;
    m_last_cmd = path_cmd_stop;
}

void path_renderer::end_path()
{
    if (m_attr_storage.size() == 0)
        throw svg_exception("end_path : The path was not begun");
    path_attributes& last = m_attr_storage.last();
    const uint32_t idx = last.index;
    last = cur_attr();
    last.index = idx;
    pop_attr();
}

void path_renderer::parse_path(path_tokenizer& Tok)
{
    while (Tok.next()) {
        const char cmd = Tok.last_command();
        if (cmd == 0)
            throw Esvg_exception("parse_path: Path data must begin with a command");
        // A number that repeats the command is its first number, read already.
        bool first = Tok.last_is_number();
        const auto args = [&](double* V, int Count) {
            for (int i = 0; i < Count; ++i) {
                V[i] = first ? Tok.last_number() : Tok.next(cmd);
                first = false;
            }
        };
        const bool rel = cmd >= 'a' && cmd <= 'z';
        double v[7];
        switch (cmd) {
        case 'M':
        case 'm':
            args(v, 2);
            move_to(v[0], v[1], rel);
            // Pairs after a move are lines.
            Tok.repeat_as(rel ? 'l' : 'L');
            break;
        case 'L':
        case 'l':
            args(v, 2);
            line_to(v[0], v[1], rel);
            break;
        case 'H':
        case 'h':
            args(v, 1);
            hline_to(v[0], rel);
            break;
        case 'V':
        case 'v':
            args(v, 1);
            vline_to(v[0], rel);
            break;
        case 'Q':
        case 'q':
            args(v, 4);
            curve3(v[0], v[1], v[2], v[3], rel);
            break;
        case 'T':
        case 't':
            args(v, 2);
            curve3_smooth(v[0], v[1], rel);
            break;
        case 'C':
        case 'c':
            args(v, 6);
            curve4(v[0], v[1], v[2], v[3], v[4], v[5], rel);
            break;
        case 'S':
        case 's':
            args(v, 4);
            curve4_smooth(v[0], v[1], v[2], v[3], rel);
            break;
        case 'A':
        case 'a': {
            args(v, 3);
            const bool large = Tok.next_flag(cmd);
            const bool sweep = Tok.next_flag(cmd);
            args(v + 3, 2);
            arc_to(v[0], v[1], v[2], large, sweep, v[3], v[4], rel);
            break;
        }
        case 'Z':
        case 'z':
            if (first)
                throw Esvg_exception(std::string("parse_path: Command ") + cmd +
                                     ": bad or missing parameters");
            close_subpath();
            break;
        default:
            throw Esvg_exception(std::string("parse_path: Invalid Command ") + cmd);
        }
    }
}

// ---- drawing ----

void path_renderer::add(double X, double Y, unsigned Cmd)
{
    m_storage.add_vertex(X, Y, Cmd);
}

void path_renderer::set_current(double X, double Y, unsigned Cmd)
{
    m_cur_x = X;
    m_cur_y = Y;
    m_has_cur = true;
    m_last_cmd = Cmd;
}

void path_renderer::rel_to_abs(double& X, double& Y, bool Rel) const
{
    if (Rel) {
        X += m_cur_x;
        Y += m_cur_y;
    }
}

void path_renderer::move_to(double X, double Y, bool Rel)
{
    rel_to_abs(X, Y, Rel);
    add(X, Y, path_cmd_move_to);
    m_start_x = X;
    m_start_y = Y;
    set_current(X, Y, path_cmd_move_to);
}

void path_renderer::line_to(double X, double Y, bool Rel)
{
    rel_to_abs(X, Y, Rel);
    add(X, Y, path_cmd_line_to);
    set_current(X, Y, path_cmd_line_to);
}

void path_renderer::hline_to(double X, bool Rel)
{
    if (!m_has_cur)
        return;
    if (Rel)
        X += m_cur_x;
    line_to(X, m_cur_y);
}

void path_renderer::vline_to(double Y, bool Rel)
{
    if (!m_has_cur)
        return;
    if (Rel)
        Y += m_cur_y;
    line_to(m_cur_x, Y);
}

void path_renderer::curve3(double X1, double Y1, double X, double Y, bool Rel)
{
    rel_to_abs(X1, Y1, Rel);
    rel_to_abs(X, Y, Rel);
    add(X1, Y1, path_cmd_curve3);
    add(X, Y, path_cmd_curve3);
    m_ctrl_x = X1;
    m_ctrl_y = Y1;
    set_current(X, Y, path_cmd_curve3);
}

void path_renderer::smooth_control(unsigned Kind, double& X, double& Y) const
{
    X = m_cur_x;
    Y = m_cur_y;
    if (m_last_cmd == Kind) {
        X = 2 * m_cur_x - m_ctrl_x;
        Y = 2 * m_cur_y - m_ctrl_y;
    }
}

void path_renderer::curve3_smooth(double X, double Y, bool Rel)
{
    if (!m_has_cur)
        return;
    double x1 = 0, y1 = 0;
    smooth_control(path_cmd_curve3, x1, y1);
    rel_to_abs(X, Y, Rel);
    curve3(x1, y1, X, Y);
}

void path_renderer::curve4(double X1, double Y1, double X2, double Y2, double X, double Y, bool Rel)
{
    rel_to_abs(X1, Y1, Rel);
    rel_to_abs(X2, Y2, Rel);
    rel_to_abs(X, Y, Rel);
    add(X1, Y1, path_cmd_curve4);
    add(X2, Y2, path_cmd_curve4);
    add(X, Y, path_cmd_curve4);
    m_ctrl_x = X2;
    m_ctrl_y = Y2;
    set_current(X, Y, path_cmd_curve4);
}

void path_renderer::curve4_smooth(double X2, double Y2, double X, double Y, bool Rel)
{
    if (!m_has_cur)
        return;
    double x1 = 0, y1 = 0;
    smooth_control(path_cmd_curve4, x1, y1);
    rel_to_abs(X2, Y2, Rel);
    rel_to_abs(X, Y, Rel);
    curve4(x1, y1, X2, Y2, X, Y);
}

void path_renderer::arc_to(double Rx, double Ry, double Angle, bool LargeArc, bool Sweep, double X, double Y,
                           bool Rel)
{
    rel_to_abs(X, Y, Rel);
    add(Rx, Ry, path_cmd_arc);
    add(Angle, Angle, path_cmd_arc);
    add(LargeArc ? 1 : 0, Sweep ? 1 : 0, path_cmd_arc);
    add(X, Y, path_cmd_arc);
    set_current(X, Y, path_cmd_arc);
}

void path_renderer::circle(double Cx, double Cy, double R)
{
    add(Cx, Cy, path_cmd_circle);
    add(R, Cy, path_cmd_circle);
    set_current(Cx + R, Cy, path_cmd_circle);
}

void path_renderer::close_subpath()
{
    if (!is_drawing(m_storage.last_command()))
        return;
    add(0, 0, path_cmd_close);
    m_cur_x = m_start_x;
    m_cur_y = m_start_y;
    m_last_cmd = path_cmd_close;
}

// ---- attributes ----

void path_renderer::push_attr()
{
    if (m_attr_stack.size() >= MaxDepth)
        throw Esvg_exception("push_attr : Groups are nested too deep");
    m_attr_stack.add(m_attr_stack.size() ? m_attr_stack.last() : path_attributes{});
}

void path_renderer::pop_attr()
{
    if (m_attr_stack.size() == 0)
        throw svg_exception("pop_attr : Attribute stack is empty");
    m_attr_stack.remove_last();
}

path_attributes& path_renderer::cur_attr()
{
    if (m_attr_stack.size() == 0)
        throw svg_exception("cur_attr : Attribute stack is empty");
    return m_attr_stack.last();
}

void path_renderer::fill(const agg::rgba8& C)
{
    path_attributes& attr = cur_attr();
    attr.fill_color = C;
    attr.fill_flag = true;
}

void path_renderer::stroke(const agg::rgba8& C)
{
    path_attributes& attr = cur_attr();
    attr.stroke_color = C;
    attr.stroke_flag = true;
}

void path_renderer::fill_opacity(double Op)
{
    cur_attr().fill_color.a = Alpha(Op);
}

void path_renderer::stroke_opacity(double Op)
{
    cur_attr().stroke_color.a = Alpha(Op);
}

void path_renderer::stroke_width(double W)
{
    path_attributes& attr = cur_attr();
    attr.stroke_width = W;
    attr.stroke_flag = true;
}
