#include "LocalRequestServer.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <memory>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

std::optional<sockaddr_un> addressOf(const QString& path) {
    const QByteArray encoded = QFile::encodeName(path);
    sockaddr_un address{};
    if (encoded.isEmpty() || size_t(encoded.size()) >= sizeof address.sun_path)
        return std::nullopt;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
    return address;
}

int connectTo(const QString& path) {
    const auto address = addressOf(path);
    if (!address)
        return -1;
    // Non-blocking: a Unix-domain connect then either succeeds at once or fails (EAGAIN when the
    // server's backlog is full), so a hung server cannot hold a second launch forever.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Milliseconds left until the deadline, for poll().
int remaining(std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? int(left.count()) : 0;
}

} // namespace

LocalRequestServer::LocalRequestServer(Handler handler, QObject* parent)
    : QObject(parent)
    , handler_(std::move(handler)) {}

LocalRequestServer::~LocalRequestServer() {
    // Connections still waiting for their line; answered ones are disabled and already closed.
    for (QSocketNotifier* connection : findChildren<QSocketNotifier*>(Qt::FindDirectChildrenOnly))
        if (connection != notifier_ && connection->isEnabled())
            ::close(int(connection->socket()));
    close();
}

void LocalRequestServer::close() {
    if (listenFd_ < 0)
        return;
    delete notifier_;
    notifier_ = nullptr;
    ::close(listenFd_);
    listenFd_ = -1;
    const QByteArray path = QFile::encodeName(path_);
    struct stat info {};
    if (::lstat(path.constData(), &info) == 0 && info.st_dev == device_ && info.st_ino == inode_)
        ::unlink(path.constData());
}

bool LocalRequestServer::isListening() const {
    return listenFd_ >= 0;
}

bool LocalRequestServer::isAnswered(const QString& path) {
    const int fd = connectTo(path);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool LocalRequestServer::listen(const QString& path) {
    if (listenFd_ >= 0)
        return true;
    // Ask first: the socket is put in place by renaming it over whatever is there, which would
    // silently take the name from a server that still runs.
    if (isAnswered(path))
        return false;
    // Bound under a private name, made 0600, then renamed into place, so that the socket is never
    // reachable with wider access.
    const QString staging = path + QStringLiteral(".%1").arg(::getpid());
    const auto address = addressOf(staging);
    if (!addressOf(path) || !address)
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const QByteArray stagingName = QFile::encodeName(staging);
    ::unlink(stagingName.constData());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0 ||
        ::chmod(stagingName.constData(), S_IRUSR | S_IWUSR) != 0 || ::listen(fd, 8) != 0 ||
        ::rename(stagingName.constData(), QFile::encodeName(path).constData()) != 0) {
        ::unlink(stagingName.constData());
        ::close(fd);
        return false;
    }
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) == 0) {
        device_ = info.st_dev;
        inode_ = info.st_ino;
    }
    listenFd_ = fd;
    path_ = path;
    notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &LocalRequestServer::acceptConnections);
    return true;
}

void LocalRequestServer::acceptConnections() {
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return; // EAGAIN: nothing more waiting; other errors: the client went away
        serve(fd);
    }
}

void LocalRequestServer::serve(int fd) {
    // The connection lives until it has been answered, has misbehaved or has been idle too long;
    // whichever comes first closes the descriptor once.
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    auto* idle = new QTimer(notifier);
    idle->setSingleShot(true);
    auto received = std::make_shared<QByteArray>();
    const auto finish = [notifier, idle, fd] {
        idle->stop();
        notifier->setEnabled(false);
        ::close(fd);
        notifier->deleteLater();
    };
    connect(idle, &QTimer::timeout, notifier, finish);
    connect(notifier, &QSocketNotifier::activated, this, [this, fd, received, finish] {
        char buffer[maxLineBytes + 1];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (n <= 0) {
            finish();
            return;
        }
        received->append(buffer, n);
        const qsizetype end = received->indexOf('\n');
        if (end < 0) {
            if (received->size() > maxLineBytes)
                finish();
            return;
        }
        const QByteArray line = received->left(end);
        const std::optional<QByteArray> answer = handler_(line);
        if (answer) {
            const QByteArray bytes = *answer + '\n';
            // A short answer into a fresh socket buffer goes out whole; a client that does not read
            // is not waited for.
            [[maybe_unused]] const ssize_t sent =
                ::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
        }
        finish();
        if (answer)
            Q_EMIT answered(line);
    });
    idle->start(idleLimit);
}

std::optional<QByteArray> LocalRequestServer::ask(const QString& path, const QByteArray& line,
                                                  std::chrono::milliseconds wait) {
    const int fd = connectTo(path);
    if (fd < 0)
        return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    const QByteArray request = line + '\n';
    std::optional<QByteArray> answer;
    if (::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL) == ssize_t(request.size())) {
        QByteArray reply;
        pollfd readable{fd, POLLIN, 0};
        while (!reply.contains('\n') && reply.size() <= maxLineBytes) {
            const int ready = ::poll(&readable, 1, remaining(deadline));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0)
                break;
            char buffer[maxLineBytes];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n <= 0)
                break;
            reply.append(buffer, n);
        }
        if (const qsizetype end = reply.indexOf('\n'); end >= 0)
            answer = reply.left(end);
    }
    ::close(fd);
    return answer;
}
