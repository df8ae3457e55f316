#include "SvgPathStorage.h"

#include "SvgException.h"

#include <limits>

void path_storage::add_vertex(double X, double Y, unsigned Cmd)
{
    // The block arrays count in 32 bits: a document this large is refused, not wrapped around.
    if (m_cmds.size() == std::numeric_limits<unsigned>::max())
        throw Esvg_exception("add_vertex: Too many vertices");
    m_coords.add({X, Y});
    m_cmds.add(static_cast<uint8_t>(Cmd));
}

unsigned path_storage::vertex(unsigned I, double* X, double* Y) const
{
    if (I >= m_cmds.size()) {
        *X = *Y = 0;
        return path_cmd_stop;
    }
    const coord& c = m_coords[I];
    *X = c.X;
    *Y = c.Y;
    return m_cmds[I];
}

void path_storage::remove_all()
{
    m_coords.free_all();
    m_cmds.free_all();
}

unsigned path_storage::start_new_path()
{
    if (m_cmds.size() && m_cmds.last() != path_cmd_stop)
        add_vertex(0, 0, path_cmd_stop);
    return m_cmds.size();
}
