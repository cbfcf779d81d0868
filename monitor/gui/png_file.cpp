#include "monitor/gui/png_file.h"

#include <QBuffer>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>

namespace kestrum {

namespace {

std::error_code LastError()
{
    return std::error_code(errno != 0 ? errno : EIO, std::generic_category());
}

} // namespace

std::error_code SavePngFile(const QImage& image, const std::string& path)
{
    // Encoded in memory first: QImage::save gives no reason for a failure.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return LastError();
    const auto size = static_cast<std::size_t>(bytes.size());
    std::error_code error;
    if (std::fwrite(bytes.constData(), 1, size, file) != size)
        error = LastError();
    if (std::fclose(file) != 0 && !error)
        error = LastError();
    return error;
}

QString WithPngEnding(const QString& path)
{
    if (!QFileInfo(path).suffix().isEmpty())
        return path;
    return path.endsWith(u'.') ? path + QStringLiteral("png") : path + QStringLiteral(".png");
}

} // namespace kestrum
