#pragma once
// The slideflow program: every picture of one folder as a full-screen flow.

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

class SlideFlow;
class SlideLoader;

// Names (bytes, as the file system holds them, whatever their encoding) of
// the plain files of a folder, hidden ones included, no symbolic links or
// folders, by name without regard to case (ties by their bytes). An empty
// path names the current working folder. `readable` tells whether the folder
// could be read at all.
QList<QByteArray> listFolderFileNames(const QByteArray& folder, bool* readable = nullptr);

// The absolute path of a folder given on the command line (bytes); an empty
// one is the current working folder.
QByteArray absoluteFolder(const QByteArray& folder);

// Absolute paths of the plain files of a folder, as listFolderFileNames
// orders them (names decoded for display; open files by their bytes).
QStringList listFolderFiles(const QString& path);

// Reads a picture already reduced to fit within `limit`, keeping its aspect
// ratio (the decoder scales while it decodes); pictures that fit already are
// read as they are. A file that is not a picture gives a null image.
QImage loadReducedImage(const QString& path, QSize limit);

// Decodes every file that is a picture before returning and adds it as a
// slide (in the list's order, no gaps), each no larger than the slide size;
// returns how many were added. The viewer itself loads in the background
// (SlideLoader); this is the load that waits for the last file.
int addFolderSlides(SlideFlow& flow, const QStringList& files);

// The line shown on a folder without pictures, or one that cannot be read,
// in the phone's language (Chinese unless the phone is set to another).
QString noPicturesText(bool folderReadable);

// Start-up of the viewer without the application object: the flow sized for
// the phone's screen, laid out with a placeholder for each file of the
// folder (only its names are read) and centred on the middle one, the files
// recognised and decoded in the background (the flow's SlideLoader child).
SlideFlow* createSlideViewer(const QString& folder);
SlideFlow* createSlideViewerFor(const QByteArray& folder);

// The loader that fills a viewer's flow (null for another flow).
SlideLoader* slideLoaderOf(SlideFlow* flow);
// Waits (running the event loop) until every file of the viewer has been
// opened (each a slide or dropped) and the slides around the centre hold
// their pictures; false when that took longer than `msecs`.
bool waitForSlides(SlideFlow* flow, int msecs = 60000);

// The whole program: application object, viewer, event loop.
int slideViewerMain(int argc, char** argv);
