#pragma once
// The 256 layers of a drawing. A layer gives its objects their pen, decides whether they are
// shown, picked and saved, and is written to drawing files only once it differs from its
// defaults (Modified).
#include "QVServices.h"
#include "QVStream.h"
#include "QVTBase.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Pen style, mode and brush style keep the ordinals the drawing files store.
constexpr uint8_t PenStyleSolid = 0;
constexpr uint8_t PenModeCopy = 4;
constexpr uint8_t BrushStyleSolid = 0;

// Stores v and calls onChange when the value really changes.
template <class T>
void SetAndNotify(T& field, T v, const std::function<void()>& onChange)
{
    if (field == v)
        return;
    field = v;
    if (onChange)
        onChange();
}

// A pen whose setters report a real change through OnChange.
class TLayerPen {
public:
    int32_t Color() const { return FColor; }
    uint8_t Style() const { return FStyle; }
    uint8_t Mode() const { return FMode; }
    int32_t Width() const { return FWidth; }
    void SetColor(int32_t v) { Set(FColor, v); }
    void SetStyle(uint8_t v) { Set(FStyle, v); }
    void SetMode(uint8_t v) { Set(FMode, v); }
    void SetWidth(int32_t v) { Set(FWidth, v); }

    std::function<void()> OnChange;

private:
    template <class T>
    void Set(T& field, T v)
    {
        SetAndNotify(field, v, OnChange);
    }

    int32_t FColor = 0;  // 0x00BBGGRR
    uint8_t FStyle = PenStyleSolid;
    uint8_t FMode = PenModeCopy;
    int32_t FWidth = 1;
};

class TLayerBrush {
public:
    int32_t Color() const { return FColor; }
    uint8_t Style() const { return FStyle; }
    void SetColor(int32_t v) { Set(FColor, v); }
    void SetStyle(uint8_t v) { Set(FStyle, v); }

    std::function<void()> OnChange;

private:
    template <class T>
    void Set(T& field, T v)
    {
        SetAndNotify(field, v, OnChange);
    }

    int32_t FColor = 0xFFFFFF;
    uint8_t FStyle = BrushStyleSolid;
};

// Names are held as UTF-8 and stored as at most 31 Windows-1252 bytes.
constexpr size_t LayerNameMax = 31;

class TQV_21Layer {
public:
    explicit TQV_21Layer(uint8_t index);
    TQV_21Layer(const TQV_21Layer&) = delete;
    TQV_21Layer& operator=(const TQV_21Layer&) = delete;

    void Changed() { Modified = true; }
    // Keeps the first 31 characters; an equal name changes nothing.
    void SetName(const std::string& s);
    void SetTreeNode(TTreeNodeId node) { TreeNode = node; }

    void SaveToStream(TStreamWriter& stream) const;
    // Reads the whole record before changing anything, so a record cut short leaves the layer
    // as it was.
    void LoadFromStream(TStreamReader& stream, const std::string& versionTag);

    TLayerPen Pen;
    TLayerBrush Brush;
    TDecorativePen DecorativePen;
    std::string Name;
    bool Active = true;
    bool Visible = true;
    bool Reserved = false;
    bool Modified = false;
    bool Streamable = true;
    uint8_t Index;
    TTreeNodeId TreeNode = 0;
};

class TQV_20Layers {
public:
    static constexpr int Count = 256;

    TQV_20Layers();

    TQV_21Layer& GetLayer(uint8_t index) { return *Layers[index]; }
    const TQV_21Layer& GetLayer(uint8_t index) const { return *Layers[index]; }

    void SaveToStream(TStreamWriter& stream) const;
    void LoadFromStream(TStreamReader& stream, const std::string& versionTag);

private:
    std::array<std::unique_ptr<TQV_21Layer>, Count> Layers;
};

// Version tags compare byte by byte as unsigned values; a shorter tag that begins a longer one
// sorts below it ("CAD4" < "CAD4  ").
inline bool TagBelow(const std::string& tag, const char* threshold) { return tag < std::string(threshold); }
inline bool TagAtLeast(const std::string& tag, const char* threshold) { return !TagBelow(tag, threshold); }
