#include "SvgPathStorage.h"

#include "ObjectMemory.h"
#include "SvgException.h"

#include <limits>

void path_storage::add_vertex(double X, double Y, unsigned Cmd)
{
    // Indexes count in 32 bits: a document this large is refused, not wrapped around.
    if (m_count == std::numeric_limits<unsigned>::max())
        throw Esvg_exception("add_vertex: Too many vertices");
    const unsigned b = m_count >> BlockShift, k = m_count & (BlockSize - 1);
    if (b == m_coords.size()) {
        m_coords.reserve(b + 1);
        m_cmds.reserve(b + 1);
        m_coords.push_back(static_cast<coord*>(AllocateLargeArray(BlockSize * sizeof(coord))));
        try {
            m_cmds.push_back(static_cast<uint8_t*>(AllocateLargeArray(BlockSize)));
        } catch (...) {
            FreeLargeArray(m_coords.back(), BlockSize * sizeof(coord));
            m_coords.pop_back();
            throw;
        }
    }
    m_coords[b][k] = {X, Y};
    m_cmds[b][k] = static_cast<uint8_t>(Cmd);
    ++m_count;
}

unsigned path_storage::vertex(unsigned I, double* X, double* Y) const
{
    const coord* block = I < m_count ? coords_of(I) : nullptr;
    if (!block) {
        *X = *Y = 0;
        return path_cmd_stop;
    }
    const coord& c = block[I & (BlockSize - 1)];
    *X = c.X;
    *Y = c.Y;
    return command(I);
}

unsigned path_storage::command(unsigned I) const
{
    const uint8_t* block = I < m_count ? m_cmds[I >> BlockShift] : nullptr;
    return block ? block[I & (BlockSize - 1)] : unsigned(path_cmd_stop);
}

void path_storage::free_block(unsigned B)
{
    FreeLargeArray(m_coords[B], BlockSize * sizeof(coord));
    FreeLargeArray(m_cmds[B], BlockSize);
    m_coords[B] = nullptr;
    m_cmds[B] = nullptr;
}

void path_storage::remove_all()
{
    for (unsigned b = 0; b < m_coords.size(); ++b)
        free_block(b);
    m_coords.clear();
    m_cmds.clear();
    m_count = 0;
}

unsigned path_storage::start_new_path()
{
    if (m_count && last_command() != path_cmd_stop)
        add_vertex(0, 0, path_cmd_stop);
    return m_count;
}

void path_storage::release_before(unsigned I)
{
    for (unsigned b = 0; b < (I >> BlockShift) && b < m_coords.size(); ++b)
        if (m_coords[b])
            free_block(b);
}
