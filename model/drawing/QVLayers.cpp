#include "QVLayers.h"

#include "CADExceptions.h"
#include "Cp1252.h"

namespace {

constexpr int16_t SectionStart = 1;
constexpr int16_t SectionEnd = 256;
constexpr size_t NameField = 1 + LayerNameMax;  // length byte and 31 characters

// The Windows-1252 form of a name, cut to what the record can hold.
std::string StoredName(const std::string& utf8)
{
    std::string bytes = Utf8ToWindows1252(utf8);
    if (bytes.size() > LayerNameMax)
        bytes.resize(LayerNameMax);
    return bytes;
}

}  // namespace

TQV_21Layer::TQV_21Layer(uint8_t index) : Name("Layer_" + std::to_string(index)), Index(index)
{
    // Connected only now, so the defaults leave the layer unmodified.
    Pen.OnChange = [this] { Changed(); };
    Brush.OnChange = [this] { Changed(); };
}

void TQV_21Layer::SetName(const std::string& s)
{
    const std::string name = Windows1252ToUtf8(StoredName(s));
    if (name == Name)
        return;
    Name = name;
    Modified = true;
}

void TQV_21Layer::SaveToStream(TStreamWriter& stream) const
{
    stream.WriteInt32(Pen.Color());
    stream.WriteByte(Pen.Style());
    stream.WriteByte(Pen.Mode());
    stream.WriteInt32(Pen.Width());
    stream.WriteInt32(Brush.Color());
    stream.WriteByte(Brush.Style());
    const int32_t dashCount = DecorativePen.GetPatternLength();
    stream.WriteInt32(dashCount);
    for (int32_t i = 0; i < dashCount; ++i)
        stream.WriteByte(DecorativePen.GetPatternBit(static_cast<uint16_t>(i)) ? 1 : 0);
    stream.WriteBool(Active);
    stream.WriteBool(Visible);
    stream.WriteBool(Reserved);
    stream.WriteBool(Streamable);
    std::string name = StoredName(Name);
    stream.WriteByte(static_cast<uint8_t>(name.size()));
    name.resize(LayerNameMax, '\0');
    stream.WriteChars(name);
}

void TQV_21Layer::LoadFromStream(TStreamReader& stream, const std::string& versionTag)
{
    const int32_t penColor = stream.ReadInt32();
    const uint8_t penStyle = stream.ReadByte();
    const uint8_t penMode = stream.ReadByte();
    const int32_t penWidth = stream.ReadInt32();
    const int32_t brushColor = stream.ReadInt32();
    const uint8_t brushStyle = stream.ReadByte();
    if (TagBelow(versionTag, "CAD422"))
        stream.Skip(4);  // a value the oldest files carry and nothing uses
    std::vector<bool> dashes;
    if (TagAtLeast(versionTag, "CAD41")) {
        const uint32_t n = stream.ReadCount(1, "layer dash bits");
        // A pattern index is 16 bits wide.
        if (n > 65536)
            stream.Fail("layer dash pattern of " + std::to_string(n) + " bits is longer than 65536");
        dashes.reserve(n);
        for (uint32_t i = 0; i < n; ++i)
            dashes.push_back(stream.ReadByte() != 0);
    }
    const bool active = stream.ReadBool();
    const bool visible = TagAtLeast(versionTag, "CAD4") ? stream.ReadBool() : true;
    const bool reserved = stream.ReadBool();
    const bool streamable =
        (versionTag == "CAD3  " || TagAtLeast(versionTag, "CAD33")) ? stream.ReadBool() : true;
    std::string name;
    if (TagAtLeast(versionTag, "CAD33") && versionTag != "CAD3  ") {
        const std::string field = stream.ReadChars(NameField);
        // The length byte of a damaged record may claim more than the field holds.
        const size_t len = std::min<size_t>(static_cast<uint8_t>(field[0]), LayerNameMax);
        name = Windows1252ToUtf8(std::string_view(field).substr(1, len));
    } else {
        name = "Layer " + std::to_string(Index);
    }

    Pen.SetColor(penColor);
    Pen.SetStyle(penStyle);
    Pen.SetMode(penMode);
    Pen.SetWidth(penWidth);
    Brush.SetColor(brushColor);
    Brush.SetStyle(brushStyle);
    for (size_t i = 0; i < dashes.size(); ++i)
        DecorativePen.SetPatternBit(static_cast<uint16_t>(i), dashes[i]);
    Active = active;
    Visible = visible;
    Reserved = reserved;
    Streamable = streamable;
    Name = name;
    // A loaded layer is written again by the next save.
    Modified = true;
}

TQV_20Layers::TQV_20Layers()
{
    for (int i = 0; i < Count; ++i)
        Layers[static_cast<size_t>(i)] = std::make_unique<TQV_21Layer>(static_cast<uint8_t>(i));
}

void TQV_20Layers::SaveToStream(TStreamWriter& stream) const
{
    stream.WriteInt16(SectionStart);
    for (int i = 0; i < Count; ++i) {
        const TQV_21Layer& layer = *Layers[static_cast<size_t>(i)];
        if (!layer.Modified)
            continue;
        stream.WriteInt16(static_cast<int16_t>(i));
        layer.SaveToStream(stream);
    }
    stream.WriteInt16(SectionEnd);
}

void TQV_20Layers::LoadFromStream(TStreamReader& stream, const std::string& versionTag)
{
    if (stream.Remaining() < 2 || stream.ReadInt16() != SectionStart)
        throw ECADFileNotValid("TLayers.LoadFromStream: No layers found");
    // The end of the stream ends the section as well as the closing index does.
    while (!stream.AtEnd()) {
        const uint16_t index = stream.ReadUInt16();
        if (index == SectionEnd)
            break;
        if (index > SectionEnd)
            throw ECADFileNotValid("TLayers.LoadFromStream: Layer index out of bounds (" + std::to_string(index) +
                                   ")");
        Layers[index]->LoadFromStream(stream, versionTag);
    }
}
