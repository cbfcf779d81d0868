#pragma once

#include <QImage>
#include <QString>
#include <string>
#include <system_error>

namespace kestrum {

// Writes `image` as a PNG file; the platform's error when the file cannot be
// created or written, so that the user gets the standard file-error text.
std::error_code SavePngFile(const QImage& image, const std::string& path);

// `path` with ".png" added when its name has no ending, as a name typed
// into the save dialog on some desktops arrives.
QString WithPngEnding(const QString& path);

} // namespace kestrum
