#include "QVDXFImport.h"

#include "CADExceptions.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVLanguage.h"
#include "QVServices.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <typeinfo>
#include <unordered_map>
#include <unordered_set>

namespace {

int32_t RGB(int R, int G, int B) { return R | (G << 8) | (B << 16); }

std::array<int32_t, 256> MakeACIPalette()
{
    std::array<int32_t, 256> p{};
    const int basic[10][3] = {{0, 0, 0},       {255, 0, 0},     {255, 255, 0}, {0, 255, 0},  {0, 255, 255},
                              {0, 0, 255},     {255, 0, 255},   {255, 255, 255}, {65, 65, 65}, {128, 128, 128}};
    for (int i = 0; i < 10; ++i)
        p[static_cast<size_t>(i)] = RGB(basic[i][0], basic[i][1], basic[i][2]);
    const int greys[6] = {51, 80, 105, 130, 190, 255};
    for (int i = 0; i < 6; ++i)
        p[static_cast<size_t>(250 + i)] = RGB(greys[i], greys[i], greys[i]);
    // Each hue's base colour has channels on the levels 0, 63, 127, 191, 255; the shade picks the
    // channel's value for its level.
    const int hues[24][3] = {{255, 0, 0},   {255, 63, 0},  {255, 127, 0}, {255, 191, 0}, {255, 255, 0},
                             {191, 255, 0}, {127, 255, 0}, {63, 255, 0},  {0, 255, 0},   {0, 255, 63},
                             {0, 255, 127}, {0, 255, 191}, {0, 255, 255}, {0, 191, 255}, {0, 127, 255},
                             {0, 63, 255},  {0, 0, 255},   {63, 0, 255},  {127, 0, 255}, {191, 0, 255},
                             {255, 0, 255}, {255, 0, 191}, {255, 0, 127}, {255, 0, 63}};
    const int shades[5][10] = {{255, 255, 189, 189, 129, 129, 104, 104, 79, 79},
                               {191, 234, 141, 173, 96, 118, 78, 95, 59, 73},
                               {127, 212, 94, 157, 64, 107, 52, 86, 39, 66},
                               {63, 191, 46, 141, 31, 96, 25, 78, 19, 59},
                               {0, 170, 0, 126, 0, 86, 0, 69, 0, 53}};
    const auto channel = [&](int level, int k) {
        const int row = level == 255 ? 0 : level == 191 ? 1 : level == 127 ? 2 : level == 63 ? 3 : 4;
        return shades[row][k];
    };
    for (int index = 10; index < 250; ++index) {
        const int* base = hues[index / 10 - 1];
        const int k = index % 10;
        p[static_cast<size_t>(index)] = RGB(channel(base[0], k), channel(base[1], k), channel(base[2], k));
    }
    return p;
}

std::string Lower(std::string_view S)
{
    std::string out(S);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Layers brushed clear show their objects unfilled.
constexpr uint8_t BrushStyleClear = 1;

} // namespace

const std::array<int32_t, 256> ACIPalette = MakeACIPalette();

std::string DXFImportErrorText(const std::string& Reason, const std::string& Read)
{
    return "The DXF file could not be read to its end: " + Reason +
           (Read.empty() ? std::string("\nNothing was read before the error.")
                         : "\nThe objects read before the error have been kept: " + Read + ".");
}

namespace {

std::string Counted(uint64_t N, const char* One, const char* Many)
{
    return std::to_string(N) + " " + (N == 1 ? One : Many);
}

// A kind's name as the file gives it, cut short where it is long; a cut never splits a character.
std::string KindName(const std::string& Name)
{
    constexpr size_t Max = 32;
    if (Name.size() <= Max)
        return Name;
    size_t end = Max;
    while (end > 0 && (static_cast<unsigned char>(Name[end]) & 0xC0) == 0x80)
        --end;
    return Name.substr(0, end) + "...";
}

} // namespace

std::string TDXF2DImport::ReadSummary() const
{
    const std::pair<uint32_t, std::pair<const char*, const char*>> counts[] = {
        {PointsCount, {"point", "points"}},
        {LinesCount, {"line", "lines"}},
        {ArcsCount, {"arc", "arcs"}},
        {CirclesCount, {"circle", "circles"}},
        {EllipsesCount, {"ellipse", "ellipses"}},
        {PolylinesCount, {"polyline", "polylines"}},
        {SplinesCount, {"spline", "splines"}},
        {BlocksCount, {"block reference", "block references"}},
        {TextsCount, {"text", "texts"}},
    };
    std::string out;
    for (const auto& [n, names] : counts)
        if (n > 0)
            out += (out.empty() ? "" : ", ") + Counted(n, names.first, names.second);
    return out;
}

std::string TDXF2DImport::ReportText() const
{
    std::vector<std::string> notes;
    if (!SkippedKinds.empty() || OtherSkipped > 0) {
        // The most frequent kinds first; a long tail is summed up.
        std::vector<std::pair<std::string, uint32_t>> kinds(SkippedKinds.begin(), SkippedKinds.end());
        std::stable_sort(kinds.begin(), kinds.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
        constexpr size_t Shown = 12;
        std::string list;
        uint64_t rest = OtherSkipped;
        for (size_t i = 0; i < kinds.size(); ++i) {
            if (i < Shown)
                list += (list.empty() ? "" : ", ") + std::to_string(kinds[i].second) + " " + KindName(kinds[i].first);
            else
                rest += kinds[i].second;
        }
        if (rest > 0)
            list += (list.empty() ? "" : ", ") + Counted(rest, "entity of other kinds", "entities of other kinds");
        notes.push_back("Not imported, as this program does not read them: " + list + ".");
    }
    // "1 block reference was left out: it ..." or "2 block references were left out: they ...".
    const auto references = [&](uint32_t N, const std::string& One, const std::string& Many) {
        if (N > 0)
            notes.push_back(N == 1 ? "1 block reference was left out: " + One
                                   : std::to_string(N) + " block references were left out: " + Many);
    };
    references(MissingBlockReferences, "its block is anonymous, external or not in the file.",
               "their blocks are anonymous, external or not in the file.");
    references(SelfReferences, "it would make a block contain itself.", "they would make blocks contain themselves.");
    references(NestingDroppedReferences,
               "with the blocks nested in it, it would show more objects than a file of this size can hold.",
               "with the blocks nested in them, they would show more objects than a file of this size can hold.");
    const std::string deepest = std::to_string(MaxNestingDepth);
    references(DeepReferences, "its blocks nest deeper than " + deepest + " levels.",
               "their blocks nest deeper than " + deepest + " levels.");
    if (OutOfRangeEntities > 0) {
        const std::string limit = "\u00B11e" + std::to_string(static_cast<int>(std::log10(DXFRealLimit)));
        notes.push_back(
            OutOfRangeEntities == 1
                ? "1 entity was left out: it holds a value that is not a number or lies beyond " + limit + "."
                : std::to_string(OutOfRangeEntities) +
                      " entities were left out: they hold values that are not numbers or lie beyond " +
                      limit + ".");
    }
    std::string text;
    if (!ErrorMessage.empty())
        text = DXFImportErrorText(ErrorMessage, ReadSummary());
    else if (!notes.empty())
        text = "Part of the DXF file was not imported.";
    for (const std::string& note : notes)
        text += "\n" + note;
    return text;
}

void TDXF2DImport::CountSkipped(const std::string& Kind)
{
    const auto found = SkippedKinds.find(Kind);
    if (found != SkippedKinds.end())
        ++found->second;
    else if (SkippedKinds.size() < MaxSkippedKinds)
        SkippedKinds.emplace(Kind, 1);
    else
        ++OtherSkipped;
}

void TDXF2DImport::ResetCounts()
{
    PointsCount = LinesCount = ArcsCount = CirclesCount = EllipsesCount = PolylinesCount = SplinesCount =
        BlocksCount = TextsCount = 0;
    SkippedKinds.clear();
    OtherSkipped = MissingBlockReferences = SelfReferences = NestingDroppedReferences = DeepReferences =
        OutOfRangeEntities = 0;
}

std::string TDXF2DImport::ErrorWithCut(const std::string& Error) const
{
    const std::string cut = CutFileReason();
    return cut.empty() ? Error : Error + " " + cut;
}

std::string TDXF2DImport::CutFileReason() const
{
    if (!Reader->FoundSection())
        return "No section was found in the file: it is empty, it is not a DXF file, or its lines do not end "
               "with LF or CR LF.";
    if (!EntitiesSeen && Reader->EndedWithoutEndMark() && !Reader->EndedInsideSection())
        return "The file ends after its " + Reader->SectionName() +
               " section, without the EOF that ends a DXF file: it was cut short before its entities.";
    if (!Reader->EndedInsideSection())
        return {};
    const std::string& name = Reader->SectionName();
    return name.empty() ? "The file ends inside a section." : "The file ends inside its " + name + " section.";
}

// ---- creation ------------------------------------------------------------------------------

TDXF2DImport::TDXF2DImport(const std::string& FileName, TQV_01Cmp2D* Drawing_, bool TellUser)
    : Reader(std::make_unique<TDXFRead>(FileName, TellUser))
{
    Setup(Drawing_);
}

void TDXF2DImport::SetProgress(std::function<void(uint64_t Done, uint64_t Total)> Progress)
{
    Reader->OnProgress = std::move(Progress);
}

std::unique_ptr<TDXF2DImport> TDXF2DImport::FromText(std::string_view Text, TQV_01Cmp2D* Drawing_)
{
    std::unique_ptr<TDXF2DImport> d(new TDXF2DImport());
    d->Reader = TDXFRead::FromText(Text);
    d->Setup(Drawing_);
    return d;
}

TDXF2DImport::~TDXF2DImport() = default;

void TDXF2DImport::Setup(TQV_01Cmp2D* Drawing_)
{
    Failed = Reader->Failed;
    if (Failed) {
        ErrorMessage = Reader->ErrorMessage;
        return;
    }
    Drawing = Drawing_;
    Budget = std::make_unique<TExpansionBudget>(Reader->InputSize());
    Weights =
        std::make_unique<TFileWeights>([this](const TSourceBlock2D& b) { return FileBlocks.count(&b) > 0; });
}

bool TDXF2DImport::SectionGoesOn() const
{
    return !Reader->AtEnd() && !(Reader->Code == 0 && Reader->Value.IsText("ENDSEC"));
}

// ---- the whole file ------------------------------------------------------------------------

void TDXF2DImport::Import()
{
    if (!Drawing || Reader->Failed)
        return;
    Failed = false;
    ErrorMessage.clear();
    Version = 10;
    CounterClockwise = true;
    LegacyEllipses = false;
    ResetCounts();
    EntitiesSeen = false;
    const TTreeUpdate update(Drawing->TreeGeo);
    try {
        Reader->Rewind();
        while (Reader->Section != TDXFSection::None) {
            switch (Reader->Section) {
            case TDXFSection::Header: ReadHeader(); break;
            case TDXFSection::Tables: ReadTables(); break;
            case TDXFSection::Blocks: ReadBlocks(); break;
            case TDXFSection::Entities:
                EntitiesSeen = true;
                ReadEntities();
                break;
            case TDXFSection::Classes:
            case TDXFSection::None: break;
            }
            Reader->NextSection();
        }
        ErrorMessage = CutFileReason();
    } catch (const std::exception& e) {
        // What was read stays; the user learns that the file was not read whole, and that it
        // was cut short when it was.
        ErrorMessage = ErrorWithCut(e.what());
    }
    try {
        BindNestedInserts();
    } catch (const std::exception& e) {
        if (ErrorMessage.empty())
            ErrorMessage = e.what();
    }
    if (!ErrorMessage.empty())
        Failed = true;
    const std::string report = ShowReport ? ReportText() : std::string();
    if (!report.empty())
        MainWindow().MessageBox(report, GetLangString(450), TMsgIcon::Warning, TMsgButtons::Ok);
}

std::unique_ptr<TContainer2D> TDXF2DImport::ImportAsContainer()
{
    if (Reader->Failed)
        return nullptr;
    Failed = false;
    ErrorMessage.clear();
    Version = 10;
    CounterClockwise = true;
    LegacyEllipses = false;
    ResetCounts();
    EntitiesSeen = false;
    // Blocks are not read: references are not, and the drawing must not change.
    auto container = std::make_unique<TContainer2D>(0);
    int32_t nextID = 0;
    try {
        Reader->Rewind();
        while (Reader->Section != TDXFSection::None) {
            if (Reader->Section == TDXFSection::Header)
                ReadHeader();
            else if (Reader->Section == TDXFSection::Entities) {
                EntitiesSeen = true;
                EntitiesToContainer(*container, nextID);
            }
            Reader->NextSection();
        }
        ErrorMessage = CutFileReason();
    } catch (const std::exception& e) {
        ErrorMessage = ErrorWithCut(e.what());
    }
    if (!ErrorMessage.empty()) {
        Failed = true;
        return nullptr;
    }
    container->UpdateBox();
    return container;
}

// ---- sections ------------------------------------------------------------------------------

void TDXF2DImport::ReadHeader()
{
    TDXFRecord& r = Record;
    for (;;) {
        r.Clear();
        if (Reader->ReadRecord(9, r) != 9)
            return;
        const TDXFValue& name = r.Group(9);
        if (name.IsText("$ANGDIR")) {
            const TDXFValue& dir = r.Group(70);
            CounterClockwise = !(dir.Kind == TDXFValue::TKind::Integer && dir.Integer == 1);
        } else if (name.IsText("$ACADVER")) {
            static const std::pair<const char*, uint16_t> Versions[] = {
                {"AC1009", 12},   {"AC1012", 13},   {"AC1014", 14},   {"AC1015", 2000},  {"AC1018", 2004},
                {"AC1021", 2007}, {"AC1024", 2010}, {"AC1027", 2013}, {"AC1032", 2018}};
            const TDXFValue& tag = r.Group(1);
            for (const auto& [known, version] : Versions)
                if (tag.IsText(known))
                    Version = version;
            // Every tag from AC1012 (R13) on, known or newer, has ELLIPSE by the current rule.
            int number = 0;
            if (tag.Kind == TDXFValue::TKind::Text && tag.Text.size() == 6 && tag.Text.compare(0, 2, "AC") == 0 &&
                std::from_chars(tag.Text.data() + 2, tag.Text.data() + 6, number).ptr == tag.Text.data() + 6)
                LegacyEllipses = number < 1012;
        }
    }
}

void TDXF2DImport::ReadTables()
{
    if (!Drawing)
        return;
    while (SectionGoesOn()) {
        // Each entry on its own: an entry without a colour must not take the one before it.
        Record.Clear();
        Reader->ReadRecord(0, Record);
        if (Record.Group(0).IsText("LAYER"))
            AddLayer(Record);
    }
}

void TDXF2DImport::AddLayer(const TDXFRecord& Entry)
{
    // The table maps onto the drawing's layers by position, wrapping after 256.
    const auto index = static_cast<uint8_t>(LayerNames.size() % 256);
    TQV_21Layer& layer = Drawing->Layers.GetLayer(index);
    const std::string& name = Entry.Group(2).Text;
    if (UseACIColors) {
        // A negative number marks a layer that is off. Numbers beyond the palette (256 "by
        // layer", damaged files) leave the layer's colour as it was.
        const TDXFValue& colour = Entry.Group(62);
        if (colour.Kind == TDXFValue::TKind::Integer) {
            const int64_t aci = std::abs(static_cast<int64_t>(colour.Integer));
            if (aci <= 255)
                layer.Pen.SetColor(ACIPalette[static_cast<size_t>(aci)]);
        }
        layer.Brush.SetStyle(BrushStyleClear);
        layer.SetName(name);
    }
    LayerNames.push_back({name, index});
    LayersByName.try_emplace(Lower(name), index);
    LastLayerIndex = -2;
}

void TDXF2DImport::LayerLookup(const TDXFValue& Name)
{
    if (!Drawing || LayerNames.empty() || Name.Kind != TDXFValue::TKind::Text)
        return;
    if (LastLayerIndex == -2 || Name.Text != LastLayerName) {
        LastLayerName = Name.Text;
        const auto found = LayersByName.find(Lower(Name.Text));
        LastLayerIndex = found != LayersByName.end() ? found->second : -1;
    }
    if (LastLayerIndex >= 0)
        Drawing->CurrentLayer = static_cast<uint16_t>(LastLayerIndex);
}

void TDXF2DImport::ReadBlocks()
{
    if (!Drawing)
        return;
    while (SectionGoesOn()) {
        Record.Clear();
        const uint64_t outOfRange = Reader->OutOfRangeReals;
        Reader->ReadRecord(0, Record);
        LayerLookup(Record.Group(8));
        if (!Record.Group(0).IsText("BLOCK"))
            continue;
        std::vector<TPendingInsert> inserts;
        std::unique_ptr<TSourceBlock2D> block =
            MakeSourceBlock(Record, inserts, Reader->OutOfRangeReals != outOfRange);
        if (block)
            PendingBlocks.push_back({std::move(block), std::move(inserts)});
    }
    BindNestedInserts();
}

namespace {

// Transforms the object by M and bakes it in; the identity changes nothing.
void Place(TGraphicObject& Obj, const TMatrix4& M)
{
    if (M.IsEqual(IdentityMatrix))
        return;
    Obj.TransformBy(M);
    Obj.ApplyTransform();
}

// Scaled by SX, SY, then moved by DX, DY.
TMatrix4 Placement(double SX, double SY, double DX, double DY)
{
    TMatrix4 m = TMatrix4::CreateScale(SX, SY, 1);
    m.Multiply(m, TMatrix4::CreateTranslation(DX, DY, 0));
    return m;
}

} // namespace

void TDXF2DImport::ReadSectionObjects(bool NoInserts, const TMatrix4& M,
                                      const std::function<void(std::unique_ptr<TObject2D>)>& Take)
{
    const bool placed = !M.IsEqual(IdentityMatrix);
    while (SectionGoesOn()) {
        std::unique_ptr<TObject2D> obj = ReadEntity(NoInserts, false);
        if (!obj) {
            Failed = true;
            continue;
        }
        if (placed)
            Place(*obj, M);
        Take(std::move(obj));
    }
}

void TDXF2DImport::ReadEntities()
{
    if (!Drawing)
        return;
    // The drawing makes room once for as many entities as the file could hold at the size of a
    // short LINE (one with six decimals is seldom under 80 bytes), instead of growing its list
    // and ID index step by step; room not filled takes no memory until it is used. Beyond a few
    // million the index would take more than a file of entities that small is likely to need.
    constexpr uint64_t ShortEntityBytes = 80, MostReserved = uint64_t(4) << 20;
    const TQV_01Cmp::TBulkAdd bulk(
        *Drawing, static_cast<size_t>(std::min(Reader->InputSize() / ShortEntityBytes, MostReserved)));
    ReadSectionObjects(false, Placement(ScaleX, ScaleY, OffsetX, OffsetY), [this](std::unique_ptr<TObject2D> obj) {
        // The entity readers give plain TContainer2D for pieces; testing the exact type costs
        // less than a cast for each of a million lines.
        const TObject2D& made = *obj;
        if (typeid(made) != typeid(TContainer2D)) {
            Drawing->AddObject(-1, std::move(obj));
            return;
        }
        auto* container = static_cast<TContainer2D*>(obj.get());
        // The parts of a lightweight polyline (or of a polyline too long for one object) go
        // into the drawing one by one, placed as the container was.
        const TMatrix4 outer = container->GetModelTransform();
        auto it = container->Objects.GetExclusiveIterator();
        for (it.First(); it.Current();) {
            std::unique_ptr<TGraphicObject> child = it.RemoveCurrent();
            Place(*child, outer);
            Drawing->AddObject(-1, std::move(child));
        }
    });
}

void TDXF2DImport::EntitiesToContainer(TContainer2D& Container, int32_t& NextID)
{
    ReadSectionObjects(true, Placement(Scale, Scale, OffsetX, OffsetY), [&](std::unique_ptr<TObject2D> obj) {
        obj->ID = NextID++;
        Container.Objects.Add(std::move(obj));
    });
}

// ---- blocks --------------------------------------------------------------------------------

std::unique_ptr<TSourceBlock2D>
TDXF2DImport::MakeSourceBlock(const TDXFRecord& R, std::vector<TPendingInsert>& Inserts, bool OutOfRange)
{
    const TDXFValue& flags = R.Group(70);
    // Anonymous blocks (1) and external references (4).
    if (flags.Kind == TDXFValue::TKind::Integer && (flags.Integer & 5) != 0)
        return nullptr;
    const TDXFValue& x = R.Group(10);
    const TDXFValue& y = R.Group(20);
    const double bx = x.Kind == TDXFValue::TKind::Real ? x.Real : 0;
    const double by = y.Kind == TDXFValue::TKind::Real ? y.Real : 0;
    std::string fullName = R.Group(2).Text;
    if (fullName.empty())
        fullName = "BLOCK" + std::to_string(Drawing->SourceBlocksCount() + static_cast<int32_t>(PendingBlocks.size()));
    TBlockName name{};
    UniqueBlockName(fullName, name);
    auto block = std::make_unique<TSourceBlock2D>(-1, name, std::vector<std::unique_ptr<TGraphicObject>>{});
    while (!Reader->AtEnd() && !(Reader->Code == 0 && (Reader->Value.IsText("ENDBLK") || Reader->Value.IsText("ENDSEC")))) {
        LastNestedInsert = nullptr;
        std::unique_ptr<TObject2D> obj = ReadEntity(false, true);
        if (!obj) {
            Failed = true;
            continue;
        }
        if (LastNestedInsert == obj.get())
            Inserts.push_back({LastNestedInsert, LastNestedInsertName});
        block->Objects.Add(std::move(obj));
    }
    LastNestedInsert = nullptr;
    if (OutOfRange) {
        ++OutOfRangeEntities;
        Failed = true;
    }
    if (OutOfRange || block->Objects.Count() == 0) {
        Inserts.clear();
        return nullptr;
    }
    block->TransformBy(TMatrix4::CreateTranslation(-bx, -by, 0));
    block->ApplyTransform();
    block->UpdateBox();
    BlocksByName.emplace(fullName, block.get());
    FileBlocks.insert(block.get());
    return block;
}

bool TDXF2DImport::BlockNameTaken(const TBlockName& Name)
{
    if (!TakenNamesReady) {
        auto it = Drawing->SourceBlocksIterator();
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
            TakenNames.insert(static_cast<TSourceBlock2D*>(obj)->Name);
        TakenNamesReady = true;
    }
    return TakenNames.count(Name) > 0;
}

void TDXF2DImport::UniqueBlockName(const std::string& Name, TBlockName& Out)
{
    // Names are cut to 13 bytes; two blocks whose names share those must still differ, or a
    // reference would show the wrong one. The tail gives way to "~1", "~2" ...
    const TBlockName base = StrToBlockName(Name);
    Out = base;
    // The stored bytes, not text: a cut must not land inside a converted character.
    const std::string stem(base.data(), static_cast<size_t>(std::find(base.begin(), base.end(), '\0') - base.begin()));
    for (int n = 1; BlockNameTaken(Out); ++n) {
        std::string name = stem.substr(0, base.size() - 1 - std::to_string(n).size());
        name.append(1, '~').append(std::to_string(n));
        Out.fill('\0');
        name.copy(Out.data(), Out.size());
    }
    TakenNames.insert(Out);
}

TSourceBlock2D* TDXF2DImport::FindBlock(const std::string& Name)
{
    const auto found = BlocksByName.find(Name);
    if (found != BlocksByName.end())
        return found->second;
    // A block the drawing held before this file.
    try {
        return Drawing->FindSourceBlock(StrToBlockName(Name));
    } catch (const ECADListObjNotFound&) {
        return nullptr;
    }
}

namespace {

void RemoveChild(TContainer2D& Container, const TGraphicObject* Child)
{
    auto it = Container.Objects.GetExclusiveIterator();
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
        if (obj == Child) {
            it.DeleteCurrent();
            return;
        }
}

} // namespace

void TDXF2DImport::BindNestedInserts()
{
    if (PendingBlocks.empty())
        return;
    std::vector<TPendingBlock> pending = std::move(PendingBlocks);
    PendingBlocks.clear();
    // What each reference names; only the blocks of this file can close a circle.
    struct TTarget {
        TSourceBlock2D* Block;
        bool Circular;
    };
    std::vector<std::vector<TTarget>> targets(pending.size());
    std::unordered_map<const TSourceBlock2D*, size_t> pendingIndex;
    for (size_t i = 0; i < pending.size(); ++i) {
        pendingIndex.emplace(pending[i].Block.get(), i);
        for (const TPendingInsert& ins : pending[i].Inserts)
            targets[i].push_back({FindBlock(ins.Name), false});
    }
    // A reference that would make a block contain itself (and so be drawn without end) is one
    // that leads back to a block still open in a walk over the references in file order. The
    // walk keeps its own stack, as chains may be long, and meets each block once.
    enum : uint8_t { Unseen, Open, Done };
    std::vector<uint8_t> state(pending.size(), Unseen);
    for (size_t root = 0; root < pending.size(); ++root) {
        if (state[root] != Unseen)
            continue;
        std::vector<std::pair<size_t, size_t>> stack{{root, 0}};
        state[root] = Open;
        while (!stack.empty()) {
            auto& [i, next] = stack.back();
            if (next == targets[i].size()) {
                state[i] = Done;
                stack.pop_back();
                continue;
            }
            TTarget& t = targets[i][next++];
            const auto found = t.Block ? pendingIndex.find(t.Block) : pendingIndex.end();
            if (found == pendingIndex.end())
                continue;
            if (state[found->second] == Open) {
                t.Circular = true;
            } else if (state[found->second] == Unseen) {
                state[found->second] = Open;
                stack.emplace_back(found->second, 0);
            }
        }
    }
    for (size_t i = 0; i < pending.size(); ++i) {
        for (size_t k = 0; k < targets[i].size(); ++k) {
            const TTarget& t = targets[i][k];
            TInsert* insert = pending[i].Inserts[k].Insert;
            if (!t.Block || t.Circular) {
                Failed = true;
                ++(t.Block ? SelfReferences : MissingBlockReferences);
                RemoveChild(*pending[i].Block, insert);
                continue;
            }
            insert->SetSourceBlock(t.Block);
        }
        pending[i].Inserts.clear();
    }
    // The drawing file wants each definition after those it uses, and so do the boxes. The
    // references form no cycle now; the walk keeps its own stack, as chains may be long.
    std::unordered_map<const TSourceBlock2D*, std::vector<TSourceBlock2D*>> uses;
    for (const TPendingBlock& p : pending)
        uses[p.Block.get()];
    for (auto& [block, list] : uses)
        VisitBlockReferences(*const_cast<TSourceBlock2D*>(block), [&, &l = list](TBlock2D& ref) {
            if (ref.Source() && uses.count(ref.Source()))
                l.push_back(ref.Source());
        });
    std::vector<TSourceBlock2D*> order;
    std::unordered_set<const TSourceBlock2D*> done;
    for (const TPendingBlock& p : pending) {
        std::vector<std::pair<TSourceBlock2D*, size_t>> stack;
        if (done.insert(p.Block.get()).second)
            stack.emplace_back(p.Block.get(), 0);
        while (!stack.empty()) {
            auto& [block, next] = stack.back();
            const std::vector<TSourceBlock2D*>& deps = uses[block];
            if (next < deps.size()) {
                TSourceBlock2D* dep = deps[next++];
                if (done.insert(dep).second)
                    stack.emplace_back(dep, 0);
                continue;
            }
            order.push_back(block);
            stack.pop_back();
        }
    }
    std::unordered_map<const TSourceBlock2D*, std::unique_ptr<TSourceBlock2D>> owned;
    for (TPendingBlock& p : pending)
        owned.emplace(p.Block.get(), std::move(p.Block));
    // Each definition weighs what showing it walks; a reference that would make one weigh more
    // than the file may show, or nest deeper than display and picking may walk, is dropped.
    // Those it uses are weighed first, so their depth is known.
    for (TSourceBlock2D* b : order) {
        uint64_t weight = 1;
        std::vector<TBlock2D*> dropped;
        {
            auto it = b->Objects.GetIterator();
            for (TGraphicObject* obj = it.First(); obj; obj = it.Next()) {
                auto* ref = dynamic_cast<TBlock2D*>(obj);
                const uint64_t w = Weights->Of(*obj);
                if (ref && 1 + NestingDepth(*ref) > MaxNestingDepth) {
                    ++DeepReferences;
                    dropped.push_back(ref);
                } else if (ref && !(Budget->Fits(w) && Budget->Fits(weight + w))) {
                    ++NestingDroppedReferences;
                    dropped.push_back(ref);
                } else {
                    weight += w;
                }
            }
        }
        for (TBlock2D* ref : dropped) {
            Failed = true;
            RemoveChild(*b, ref);
        }
        b->Depth = NestingDepth(*b);
    }
    for (TSourceBlock2D* b : order) {
        VisitBlockReferences(*b, [](TBlock2D& ref) { ref.UpdateBox(); });
        b->UpdateBox();
        Drawing->AddSourceBlock(std::move(owned[b]));
    }
}
