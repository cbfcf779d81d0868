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

// A stored timing outside what the Timings dialog accepts (a hand-edited
// store, a value from a damaged profile) is replaced by its default: one
// wild value must not make the tool wait for hours or never start at all.
void LoadTimings(QSettings& store, CommTimings& timings)
{
    const CommTimings defaults;
    const auto delay = [&store](const char* name, std::uint32_t fallback) {
        const std::uint32_t value = ReadBits(store, name, fallback);
        return IsAcceptableDelay(value) ? value : fallback;
    };
    const auto tries = [&store](const char* name, std::int32_t fallback) {
        const std::int32_t value = ReadSigned(store, name, fallback);
        return IsAcceptableTries(value) ? value : fallback;
    };
    timings.writeDelay = delay("WriteDelay", defaults.writeDelay);
    timings.readWriteTries = tries("ReadWriteTries", defaults.readWriteTries);
    timings.retryDelay = delay("RetryDelay", defaults.retryDelay);
    timings.resetTries = ReadSigned(store, "ResetTries", defaults.resetTries);
    timings.resetDelay = delay("ResetDelay", defaults.resetDelay);
}

void SaveTimings(QSettings& store, const CommTimings& timings)
{
    store.setValue(QStringLiteral("WriteDelay"), static_cast<quint32>(timings.writeDelay));
    store.setValue(QStringLiteral("ReadWriteTries"), static_cast<qint32>(timings.readWriteTries));
    store.setValue(QStringLiteral("RetryDelay"), static_cast<quint32>(timings.retryDelay));
    store.setValue(QStringLiteral("ResetTries"), static_cast<qint32>(timings.resetTries));
    store.setValue(QStringLiteral("ResetDelay"), static_cast<quint32>(timings.resetDelay));
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
