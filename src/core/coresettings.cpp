#include "coresettings.h"

#include <QColor>
#include <QDebug>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {

// The path of a settings file to read, or an empty one when it is not to be read: a FIFO or
// a device in its place would block or never end, and a huge file would take seconds and
// much memory to read at every start.
QString iniFileAt(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return path;
    if (!info.isFile())
        return {};
    if (info.size() > CoreSettings::maxFileBytes) {
        qWarning().noquote() << QStringLiteral(
            "%1 is not read: it is larger than 1 MiB (%2 MiB); its keys take their defaults")
                                    .arg(path)
                                    .arg(double(info.size()) / (1 << 20), 0, 'f', 1);
        return {};
    }
    return path;
}

// The bounds of a key whose value is a positive number.
struct NumberBounds
{
    const char *key;
    double minimum;
    double maximum;
    bool whole;
};

const NumberBounds settingBounds[] = {
    {"scale", CoreSettings::minimumScale, CoreSettings::maximumScale, false},
};
const NumberBounds styleBounds[] = {
    {"logPixelSize", CoreSettings::minimumLogPixelSize, CoreSettings::maximumLogPixelSize, true},
};

// A text that is a positive number, within the bounds; otherwise the default.
QVariant boundedNumber(const NumberBounds &bounds, const QVariant &value, const QVariant &fallback)
{
    if (value.typeId() != QMetaType::QString)
        return fallback;
    bool isNumber = false;
    const double number = value.toString().trimmed().toDouble(&isNumber);
    if (!isNumber || !std::isfinite(number) || number <= 0)
        return fallback;
    const double bounded = std::clamp(number, bounds.minimum, bounds.maximum);
    return bounds.whole ? QVariant(int(std::lround(bounded))) : QVariant(bounded);
}

template<size_t count>
QVariant bounded(const NumberBounds (&table)[count], const QString &key, const QVariant &value,
    const QVariant &fallback)
{
    for (const NumberBounds &bounds : table) {
        if (key == QLatin1String(bounds.key))
            return boundedNumber(bounds, value, fallback);
    }
    return value;
}

} // namespace

CoreSettings::CoreSettings(const QString &configFolder)
    : settingsFile(iniFileAt(configFolder + QStringLiteral("/settings.ini")), QSettings::IniFormat)
    , styleFile(
          iniFileAt(configFolder + QStringLiteral("/style/default.ini")), QSettings::IniFormat)
{ }

QVariant CoreSettings::setting(const QString &key, const QVariant &defaultValue) const
{
    if (!settingsFile.contains(key))
        return defaultValue;
    return bounded(settingBounds, key, settingsFile.value(key), defaultValue);
}

QVariant CoreSettings::style(const QString &key, const QVariant &defaultValue) const
{
    if (!styleFile.contains(key))
        return defaultValue;
    const QVariant value = styleFile.value(key);
    // The colours of the style, which the window otherwise draws black or not at all.
    if (key.endsWith(QLatin1String("Color"))) {
        return value.typeId() == QMetaType::QString && QColor::isValidColorName(value.toString())
            ? value
            : defaultValue;
    }
    return bounded(styleBounds, key, value, defaultValue);
}
