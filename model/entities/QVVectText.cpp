#include "QVVectText.h"

#include "CADExceptions.h"
#include "Cp1252.h"
#include "QVGeom2D.h"
#include "QVGeometry.h"
#include "QVServices.h"
#include "QVStream.h"
#include "QVVariabili.h"

#include <algorithm>
#include <array>

namespace {

constexpr int TextCorners = 2;

} // namespace

TJustifiedVectText2D::TJustifiedVectText2D(int32_t id) : TPrimitive2D(id, TextCorners) {}

TJustifiedVectText2D::TJustifiedVectText2D(int32_t id, TVectFont* font, const TPoint2D& corner1,
                                           const TPoint2D& corner2, double height, std::string text)
    : TPrimitive2D(id, TextCorners), Font(font), Text(std::move(text)), Height(height)
{
    const std::array<TPoint2D, TextCorners> corners{corner1, corner2};
    FillPoints(corners, false);
}

TJustifiedVectText2D::TJustifiedVectText2D(TStreamReader& stream, const std::string& versionTag)
    : TPrimitive2D(stream, versionTag, TextCorners, "TJustifiedVectText2D")
{
    const uint32_t length = stream.ReadCount(1, "text bytes");
    Text = Windows1252ToUtf8(stream.ReadChars(length));
    FontSlot = static_cast<uint16_t>(stream.ReadInt32());
    try {
        Font = CADCoreFindFontByIndex(FontSlot);
    } catch (const ECADObjClassNotFound&) {
        MainWindow().MessageBox("Font class not found. Font not assigned", AppTitle, TMsgIcon::None,
                                TMsgButtons::Ok);
        Font = nullptr;
    }
    HJustification = stream.ReadByte();
    VJustification = stream.ReadByte();
    DrawBox = stream.ReadBool();
    Height = stream.ReadDouble();
    Interline = stream.ReadDouble();
    CharSpacing = stream.ReadDouble();
    UpdateBox();
}

std::unique_ptr<TGraphicObject> TJustifiedVectText2D::CreateSameClass(int32_t id) const
{
    return std::make_unique<TJustifiedVectText2D>(id);
}

TVectTextParams TJustifiedVectText2D::Params() const
{
    TVectTextParams p;
    p.HJustification = HJustification;
    p.VJustification = VJustification;
    p.Height = Height;
    p.CharSpacing = CharSpacing;
    p.Interline = Interline;
    return p;
}

TRect2D TJustifiedVectText2D::GetTextBox() const
{
    return GetJustifiedTextBox(Font, Text, Points().GetBox(), Params());
}

void TJustifiedVectText2D::BuildTextGL(const TStrokeSink& sink) const
{
    BuildJustifiedText(Font, Text, Points().GetBox(), Params(), GetModelTransform(), sink);
}

void TJustifiedVectText2D::ComputeBox()
{
    SetBox(TransformRect2D(GetTextBox(), GetModelTransform()));
}

int32_t TJustifiedVectText2D::HitTest(const TPoint2D& pt, double& dist, double aperture)
{
    const int32_t r = TObject2D::HitTest(pt, dist, aperture);
    if (r != HitInsideBox)
        return r;
    const TRect2D t = GetTextBox();
    const std::array<TPoint2D, 4> outline{
        TPoint2D{t.First.X, t.First.Y, 1}, TPoint2D{t.First.X, t.Second.Y, 1},
        TPoint2D{t.Second.X, t.Second.Y, 1}, TPoint2D{t.Second.X, t.First.Y, 1}};
    double d;
    const int32_t code = PointInPolygonHitTest(outline, pt, GetModelTransform(), aperture, d);
    dist = std::min(aperture, d);
    return std::max(HitInsideBox, code);
}

void TJustifiedVectText2D::Assign(const TGraphicObject& source)
{
    if (&source == this)
        return;
    TPrimitive2D::Assign(source);
    const auto* other = dynamic_cast<const TJustifiedVectText2D*>(&source);
    if (!other)
        return;
    Text = other->Text;
    Height = other->Height;
    Interline = other->Interline;
    CharSpacing = other->CharSpacing;
    DrawBox = other->DrawBox;
    Font = other->Font;
    FontSlot = other->FontSlot;
    HJustification = other->HJustification;
    VJustification = other->VJustification;
    CopyPointsFrom(*other, TextCorners, false);
}

void TJustifiedVectText2D::SaveToStream(TStreamWriter& stream)
{
    TPrimitive2D::SaveToStream(stream);
    const std::string bytes = Utf8ToWindows1252(Text);
    stream.WriteInt32(static_cast<int32_t>(bytes.size()));
    stream.WriteChars(bytes);
    int32_t slot = FontSlot;
    if (Font) {
        try {
            slot = CADCoreFindFontIndex(Font);
        } catch (const ECADObjClassNotFound&) {
            // A font outside the registry has no slot to store: keep the one we know.
        }
    }
    stream.WriteInt32(slot);
    stream.WriteByte(HJustification);
    stream.WriteByte(VJustification);
    stream.WriteBool(DrawBox);
    stream.WriteDouble(Height);
    stream.WriteDouble(Interline);
    stream.WriteDouble(CharSpacing);
}

void TJustifiedVectText2D::SetCharSpacing(double value)
{
    CharSpacing = value;
    UpdateBox();
}

void TJustifiedVectText2D::SetInterline(double value)
{
    Interline = value;
    UpdateBox();
}
