#pragma once
// Reading small files the phone's records name, without ever blocking or
// swallowing the machine: only regular files, opened without waiting (a FIFO
// put in an icon's place must not hang the menu), up to a size limit.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

// Reads the host file `hostPath` into `data` when it is a regular file of at
// most `maxBytes` bytes. False (and `data` empty) otherwise.
bool readRegularFile(const QString& hostPath, qint64 maxBytes, QByteArray* data);

// The picture of a phone path, scaled to fit `size`; a null image when the
// file is missing, not a regular file, larger than 4 MB, not a picture, or a
// picture of more than 4096 by 4096 pixels.
QImage loadPhonePicture(const QString& phonePath, const QSize& size);
