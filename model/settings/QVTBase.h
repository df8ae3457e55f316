#pragma once
// Small records shared by the drawing model, the layer dialog and the file commands.
#include <cstdint>
#include <string>
#include <vector>

// The kind byte of the file last opened (TPelcFile::Kind).
enum TFileKind : uint8_t {
    fkNone = 0,
    fkNative = 1,
    fkDxf = 2,
    fkBmp = 3,
    fkJpeg = 4,
    fkSvg = 5,
    fkStl = 6,
    fkFailed = 7, // the last open failed, or the name's extension is none of the above
};

// The file last opened or saved, and its kind (TFileKind).
struct TPelcFile {
    std::string FileName;
    uint8_t Kind = 0;
    std::string Extra;
};

// One layer's editable attributes, as the layer dialog keeps them while it is open.
struct TLayerRec {
    std::string Name;
    bool Visible = true;
    int32_t Color = 0;  // 0x00BBGGRR
    int32_t Width = 1;
};

// The dash pattern of a layer: one bit per pattern step. Setting a bit beyond the end grows the
// pattern; the new steps in between are off.
class TDecorativePen {
public:
    void SetPatternBit(uint16_t Index, bool Value);
    bool GetPatternBit(uint16_t Index) const;
    // The number of steps. A pattern can hold at most 65536 steps (the index is 16 bits), so the
    // count is returned whole rather than cut to 16 bits.
    int32_t GetPatternLength() const { return static_cast<int32_t>(Pattern.size()); }

private:
    std::vector<bool> Pattern;
};
