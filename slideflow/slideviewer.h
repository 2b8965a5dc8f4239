#pragma once
// The slideflow program: every picture of one folder as a full-screen flow.

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

class SlideFlow;

// Absolute paths of the plain files of a folder (hidden ones included, no
// symbolic links, no folders), by name ignoring case. An empty path names the
// current working folder; an unreadable or missing folder gives no files.
QStringList listFolderFiles(const QString& path);

// Reads a picture already reduced to fit within `limit`, keeping its aspect
// ratio (the decoder scales while it decodes); pictures that fit already are
// read as they are. A file that is not a picture gives a null image.
QImage loadReducedImage(const QString& path, QSize limit);

// Adds every file that is a picture as a slide, each read reduced to at most
// twice the flow's slide size; returns how many were added.
int addFolderSlides(SlideFlow& flow, const QStringList& files);

// Start-up of the viewer without the application object: the flow sized for
// the phone's screen with the folder's pictures, centred on the middle one.
SlideFlow* createSlideViewer(const QString& folder);

// The whole program: application object, viewer, event loop.
int slideViewerMain(int argc, char** argv);
