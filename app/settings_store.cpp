#include "app/settings_store.h"

#include "link/comm_timings.h"

#include <QVariant>
#include <cstdint>

namespace kestrum {
namespace {

// A stored value as the 32 bits the store holds; the default when the value
// is missing or is not a number at all.
std::uint32_t ReadBits(QSettings& store, const char* name, std::uint32_t fallback)
{
    const QVariant value = store.value(QString::fromLatin1(name));
    if (!value.isValid()) {
        return fallback;
    }
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    return ok ? static_cast<std::uint32_t>(number) : fallback;
}

std::int32_t ReadSigned(QSettings& store, const char* name, std::int32_t fallback)
{
    return static_cast<std::int32_t>(ReadBits(store, name, static_cast<std::uint32_t>(fallback)));
}

} // namespace

void LoadTimings(QSettings& store, CommTimings& timings)
{
    LoadStoredTimings(timings, [&store](const char* name) -> std::optional<std::int64_t> {
        const QVariant value = store.value(QString::fromLatin1(name));
        bool ok = false;
        const qlonglong number = value.isValid() ? value.toLongLong(&ok) : 0;
        return ok ? std::optional<std::int64_t>(number) : std::nullopt;
    });
}

void SaveTimings(QSettings& store, const CommTimings& timings)
{
    for (const TimingRange& range : kTimingRanges) {
        const std::int64_t value = TimingValue(timings, range.timing);
        store.setValue(QString::fromLatin1(range.storeName),
                       range.isSigned ? QVariant(static_cast<qint32>(value))
                                      : QVariant(static_cast<quint32>(value)));
    }
}

WindowPlacement LoadPlacement(QSettings& store, int chromeHeight)
{
    WindowPlacement placement;
    placement.view = ReadSigned(store, "View", 0);
    placement.left = ReadSigned(store, "Left", 0);
    placement.top = ReadSigned(store, "Top", chromeHeight);
    return placement;
}

void SavePlacement(QSettings& store, const WindowPlacement& placement)
{
    store.setValue(QStringLiteral("View"), placement.view);
    store.setValue(QStringLiteral("Left"), placement.left);
    store.setValue(QStringLiteral("Top"), placement.top);
}

} // namespace kestrum
