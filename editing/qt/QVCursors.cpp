#include "QVCursors.h"

#include "QVLanguage.h"
#include "QVServices.h"

#include <QImage>
#include <QPixmap>
#include <QString>

#include <array>
#include <optional>

namespace {

constexpr std::array<const char*, 6> CursorNames = {"PAN", "CROCE", "CROPF", "CROMP", "CROCT", "CROPT"};

std::optional<QCursor> LoadCursor(const char* Name)
{
    const QString file = QString::fromStdString(ProgramFolder()) + "/cursors/" + Name + ".png";
    QImage image(file);
    if (image.isNull())
        return std::nullopt;
    bool okX = false, okY = false;
    const int x = image.text("HotSpotX").toInt(&okX), y = image.text("HotSpotY").toInt(&okY);
    return QCursor(QPixmap::fromImage(image), okX ? x : -1, okY ? y : -1);
}

} // namespace

QCursor ViewCursor(int32_t Slot)
{
    if (Slot < crPan || Slot > crCropt)
        Slot = crCroce;
    // Loaded once each; the images do not change while the program runs.
    static std::array<std::optional<QCursor>, 6> cache;
    static std::array<bool, 6> tried{};
    const auto i = size_t(Slot - crPan);
    if (!tried[i]) {
        tried[i] = true;
        cache[i] = LoadCursor(CursorNames[i]);
    }
    if (cache[i])
        return *cache[i];
    return QCursor(Slot == crPan ? Qt::SizeAllCursor : Qt::CrossCursor);
}
