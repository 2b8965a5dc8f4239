#include "safefile.h"

#include "phonepath.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool readRegularFile(const QString& hostPath, qint64 maxBytes, QByteArray* data)
{
    data->clear();
    const QByteArray name = QFile::encodeName(hostPath);
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > maxBytes) {
        ::close(fd);
        return false;
    }
    data->resize(static_cast<qsizetype>(st.st_size));
    qint64 done = 0;
    while (done < st.st_size) {
        const ssize_t n = ::read(fd, data->data() + done, static_cast<size_t>(st.st_size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    ::close(fd);
    data->truncate(static_cast<qsizetype>(done));
    return true;
}

QImage loadPhonePicture(const QString& phonePath, const QSize& size)
{
    if (phonePath.isEmpty())
        return QImage();
    QByteArray bytes;
    if (!readRegularFile(phoneHostPath(phonePath), 4 * 1024 * 1024, &bytes) || bytes.isEmpty())
        return QImage();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize full = reader.size();
    if (!full.isValid() || full.width() > 4096 || full.height() > 4096)
        return QImage();
    QSize scaled = full;
    if (full.width() > size.width() || full.height() > size.height())
        scaled = full.scaled(size, Qt::KeepAspectRatio);
    reader.setScaledSize(scaled.expandedTo(QSize(1, 1)));
    const QImage image = reader.read();
    return image;
}
