#pragma once
// How the idle screen asks the application manager to show its menu: a local
// socket of the phone (one per phone root, see menuchannel.h), on which `am`
// answers one-line requests:
//   "show"   shows the menu on top; answered "shown" once it has been drawn
//   "status" answered "ready <folders> <applications>"
//   "quit"   answered "quitting"; am then ends as "kill $(pidof am)" ends it
//            (the platform starts it again), for the software manager's
//            "Refresh menu" on a desktop
// A request to an `am` that is not running (being started again) fails.

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;
class QLocalSocket;

// The socket's name for the phone root in use (EZX_ROOT, or "/").
QString amChannelName();

// Sends `request` and returns the answer line (without its line end), or a
// null array when no `am` answered within `timeoutMs`.
QByteArray askAm(const QByteArray& request, int timeoutMs);

// The `am` side: accepts the phone's clients and hands every request line,
// trimmed, to `serve`, which answers on the client's socket, at once or
// later. A client that sends more than a request's length without a line
// end is cut off.
class AmChannelServer : public QObject
{
    Q_OBJECT
public:
    using Serve = std::function<void(const QByteArray& request, QLocalSocket* client)>;

    explicit AmChannelServer(Serve serve, QObject* parent = nullptr);

    // Listens on amChannelName(), taking the place of a socket left by an
    // `am` that was killed; false when the socket cannot be made.
    bool listen();

private:
    void readRequests(QLocalSocket* client);

    Serve m_serve;
    QLocalServer* m_server = nullptr;
};
