#pragma once
// A colour box: a drop-down of the standard colours, the colour now chosen when it is none of
// them, and "Custom..." for the colour dialog. Colours are 0x00BBGGRR as the settings keep them.
#include <QComboBox>

#include <cstdint>
#include <functional>

class TColorBox : public QComboBox {
public:
    explicit TColorBox(QWidget* Parent = nullptr);

    int32_t Selected() const { return FSelected; }
    // Shows Colour, adding it as a custom item when it is no standard colour. Emits OnChange
    // like a pick when the colour really changes.
    void SetSelected(int32_t Colour);

    // A new colour was chosen, by the user or by SetSelected.
    std::function<void(int32_t Colour)> OnChange;

private:
    void Picked(int Index);
    int IndexOf(int32_t Colour) const;

    int32_t FSelected = 0;
    bool FFilling = false;
};
