#pragma once

#include "morvik_platform_export.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

#include <sys/types.h>

class QSocketNotifier;

// A one-line request and one-line answer over a Unix-domain socket that only this user can reach
// (the socket file is 0600). Plain POSIX sockets on the event loop, so that the helper does not need
// the network stack to answer a second launch.
class MORVIK_PLATFORM_EXPORT LocalRequestServer : public QObject {
    Q_OBJECT

public:
    // Decides the answer to one request line (both without their newline); nothing drops the client
    // unanswered.
    using Handler = std::function<std::optional<QByteArray>(const QByteArray& line)>;

    explicit LocalRequestServer(Handler handler, QObject* parent = nullptr);
    ~LocalRequestServer() override;

    // Takes the socket path. False when a live server already answers there, or when the socket
    // cannot be made; a socket file nobody answers on is left over from an ended process and is
    // replaced.
    bool listen(const QString& path);
    bool isListening() const;
    // Stops answering and removes the socket file, unless another server has put its own in place
    // since. Destruction does the same.
    void close();

    // The client's side: sends one line and waits for the answer line (without its newline).
    // Nothing when nobody listens, the exchange fails, or no answer arrives in time.
    static std::optional<QByteArray> ask(const QString& path, const QByteArray& line,
                                         std::chrono::milliseconds wait);

    // Whether a live server answers connections at the path.
    static bool isAnswered(const QString& path);

    // Longest request line taken; a client that sends more is dropped.
    static constexpr qsizetype maxLineBytes = 256;
    // A client that connects and says nothing is dropped after this long.
    static constexpr std::chrono::milliseconds idleLimit{5000};

Q_SIGNALS:
    // A request line was answered (emitted after the answer went out, so that the client does not wait
    // for whatever the request sets off).
    void answered(const QByteArray& line);

private:
    void acceptConnections();
    void serve(int fd);

    Handler handler_;
    int listenFd_ = -1;
    QString path_;
    // The socket file as listen() left it, so that close() removes only our own.
    dev_t device_ = 0;
    ino_t inode_ = 0;
    QSocketNotifier* notifier_ = nullptr;
};
