#pragma once

#include <QSettings>
#include <QString>
#include <QVariant>

// The two INI files that the window reads and nothing writes, settings.ini and
// style/default.ini, with the values that the window cannot show replaced: a number outside
// its key's bounds is brought into them, and a number that is none, or a colour that is none,
// gives the caller's default. Other values come as read.
class CoreSettings
{
public:
    // Larger settings or style files are not read.
    static constexpr qint64 maxFileBytes = 1 << 20;
    // The zoom factor "scale", as the window's own zoom keys bound it.
    static constexpr double minimumScale = 0.4;
    static constexpr double maximumScale = 3.0;
    // The message text's "logPixelSize": from legible to as tall as a record row shows.
    static constexpr int minimumLogPixelSize = 8;
    static constexpr int maximumLogPixelSize = 40;

    // Reads settings.ini and style/default.ini from the folder. A file that is not a regular
    // file, or is larger than maxFileBytes, is not read, and every key of it takes the
    // caller's default; a larger one is said on standard error.
    explicit CoreSettings(const QString &configFolder);

    [[nodiscard]] QVariant setting(const QString &key, const QVariant &defaultValue) const;
    [[nodiscard]] QVariant style(const QString &key, const QVariant &defaultValue) const;

private:
    QSettings settingsFile;
    QSettings styleFile;
};
