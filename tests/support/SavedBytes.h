#pragma once
// The bytes that an object, a layer table or a drawing writes to a stream.
#include "QVStream.h"

#include <cstdint>
#include <vector>

template <class T> std::vector<uint8_t> Saved(T& Source)
{
    TStreamWriter w;
    Source.SaveToStream(w);
    return w.TakeBytes();
}
