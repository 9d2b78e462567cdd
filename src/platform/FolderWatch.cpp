#include "FolderWatch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Files that are done: written and closed, or renamed into place.
constexpr std::uint32_t fileEvents = IN_CLOSE_WRITE | IN_MOVED_TO;
// A file linked into place whole: written as an unnamed temporary file and then given its name
// (O_TMPFILE and linkat, as Qt's QSaveFile does), it announces itself by its creation alone; its close
// is not reported in the folder. A created file is looked at when its batch is complete.
constexpr std::uint32_t linkedEvents = IN_CREATE;
// A folder or link made (or moved in) where a missing folder's next path component is awaited.
constexpr std::uint32_t pathEvents = IN_CREATE | IN_MOVED_TO;
// The watched folder itself going away; IN_IGNORED comes unasked.
constexpr std::uint32_t selfEvents = IN_DELETE_SELF | IN_MOVE_SELF;

// A folder that appears while it is watched may already hold what a tool wrote in the moment before
// the watch was in place; the newest few files are reported. Only a few: a folder moved in whole may
// hold thousands.
constexpr int filesReportedOnAppearing = 16;

// How often one arming pass may find that the path changed under it before it settles for now (the
// next event on the watched ancestor arms again).
constexpr int armingRounds = 16;

// What one watched folder is there for.
struct Watch {
    QString path;
    std::uint32_t mask = 0;
    bool target = false;    // one of the folders asked for: its files are reported
    QSet<QString> awaiting; // names of missing folders' next components, made here
};

// What each watched path needs: built anew from the folder list by every arming pass.
struct Wanted {
    std::uint32_t mask = 0;
    bool target = false;
    QSet<QString> awaiting;
};

// The first component of `folder` below its ancestor `at`.
QString nextComponent(const QString& at, const QString& folder) {
    const QString rest = folder.mid(at == QLatin1String("/") ? 1 : at.size() + 1);
    return rest.section(u'/', 0, 0);
}

// Whether a file that was only seen being created is complete: a regular file (not followed through a
// link) with content that no process holds open for writing. A read lease is granted only when no
// one has the file open for writing; where leases cannot be had (another user's file, a file system
// without them), content alone decides.
bool linkedIntoPlace(const QString& path) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status {};
    bool complete = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0;
    if (complete && ::fcntl(fd, F_SETLEASE, F_RDLCK) == 0)
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
    else if (complete && errno == EAGAIN)
        complete = false; // still being written: its close is reported
    ::close(fd);
    return complete;
}

} // namespace

struct FolderWatch::State {
    void arm();
    bool applyWatches(const QHash<QString, Wanted>& wanted);
    void reportExisting(const QString& folder);
    void addPending(const QString& path);
    void readEvents();

    int fd = -1;
    QSocketNotifier* notifier = nullptr;
    QTimer batchTimer;
    QStringList folders;
    QSet<QString> missing; // folders that did not exist at the last arming pass
    QHash<int, Watch> watches;
    QHash<QString, int> byPath;
    void startBatch(const QString& path);

    QStringList pending;
    QSet<QString> pendingSet;
    // Files seen only being created in this batch, in order.
    QStringList created;
    std::function<void(const QString&)> batchBegan;
};

FolderWatch::FolderWatch(QObject* parent)
    : QObject(parent)
    , d_(std::make_unique<State>()) {
    d_->batchTimer.setSingleShot(true);
    d_->batchTimer.setInterval(defaultBatching);
    d_->batchBegan = [this](const QString& path) { Q_EMIT batchStarted(path); };
    connect(&d_->batchTimer, &QTimer::timeout, this, [this] {
        // A file created and then closed or renamed in is reported for that; one only created is
        // reported when it was linked into place whole.
        for (const QString& path : std::as_const(d_->created)) {
            if (!d_->pendingSet.contains(path) && linkedIntoPlace(path)) {
                d_->pendingSet.insert(path);
                d_->pending.append(path);
            }
        }
        d_->created.clear();
        QStringList paths = std::move(d_->pending);
        d_->pending.clear();
        d_->pendingSet.clear();
        if (!paths.isEmpty())
            Q_EMIT filesArrived(paths);
    });
    d_->fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (d_->fd < 0)
        return;
    d_->notifier = new QSocketNotifier(qintptr(d_->fd), QSocketNotifier::Read, this);
    connect(d_->notifier, &QSocketNotifier::activated, this, [this] { d_->readEvents(); });
}

FolderWatch::~FolderWatch() {
    delete d_->notifier;
    if (d_->fd >= 0)
        ::close(d_->fd);
}

void FolderWatch::setFolders(const QStringList& folders) {
    QStringList cleaned;
    for (const QString& folder : folders) {
        if (!folder.startsWith(u'/'))
            continue;
        const QString path = QDir::cleanPath(folder);
        if (!cleaned.contains(path))
            cleaned.append(path);
    }
    // A folder newly asked for is not "appearing": what it already holds was there before.
    const QSet<QString> asked(cleaned.begin(), cleaned.end());
    d_->missing.intersect(asked);
    d_->folders = cleaned;
    d_->arm();
}

QStringList FolderWatch::folders() const {
    return d_->folders;
}

QString FolderWatch::nearestExistingFolder(const QString& folder) {
    QString at = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    while (!QFileInfo(at).isDir()) {
        const QString parent = QFileInfo(at).path();
        if (parent == at)
            break;
        at = parent;
    }
    return at;
}

void FolderWatch::setBatching(std::chrono::milliseconds batching) {
    d_->batchTimer.setInterval(batching);
}

bool FolderWatch::isWatching() const {
    return d_->fd >= 0;
}

void FolderWatch::State::arm() {
    if (fd < 0)
        return;
    for (int round = 0; round < armingRounds; ++round) {
        QHash<QString, Wanted> wanted;
        for (const QString& folder : std::as_const(folders)) {
            const QString at = nearestExistingFolder(folder);
            Wanted& entry = wanted[at];
            entry.mask |= selfEvents;
            if (at == folder) {
                entry.mask |= fileEvents | linkedEvents;
                entry.target = true;
            } else {
                entry.mask |= pathEvents;
                entry.awaiting.insert(nextComponent(at, folder));
            }
        }
        if (!applyWatches(wanted))
            break;
    }
    // Folders that came to exist since the last pass get their newest files reported.
    QSet<QString> missingNow;
    for (const QString& folder : std::as_const(folders)) {
        const auto found = byPath.constFind(folder);
        const bool watched = found != byPath.constEnd() && watches.value(*found).target;
        if (!watched)
            missingNow.insert(folder);
        else if (missing.contains(folder))
            reportExisting(folder);
    }
    missing = missingNow;
}

// Puts the wanted watches in place and drops the others. True when the path changed while it was
// arming (a folder on the way was made before its parent was watched), so another pass is needed.
bool FolderWatch::State::applyWatches(const QHash<QString, Wanted>& wanted) {
    QHash<int, Watch> kept;
    QHash<QString, int> keptByPath;
    QSet<QString> refused;
    for (auto it = wanted.constBegin(); it != wanted.constEnd(); ++it) {
        const QByteArray name = QFile::encodeName(it.key());
        const std::uint32_t mask = it->mask | IN_ONLYDIR | IN_EXCL_UNLINK;
        int wd = ::inotify_add_watch(fd, name.constData(), mask);
        // Two paths naming one folder (through a link) share the kernel's watch and its events.
        if (wd >= 0 && kept.contains(wd))
            wd = ::inotify_add_watch(fd, name.constData(), mask | kept.value(wd).mask);
        // Refused (the limit of watches reached, no permission, gone in the meantime): what could be
        // watched still is; a folder gone in the meantime is taken up by the next pass.
        if (wd < 0) {
            refused.insert(it.key());
            continue;
        }
        Watch& watch = kept[wd];
        if (watch.path.isEmpty() || it->target)
            watch.path = it.key();
        watch.mask |= mask;
        watch.target = watch.target || it->target;
        watch.awaiting.unite(it->awaiting);
        keptByPath.insert(it.key(), wd);
    }
    // Watches no longer wanted, and those of paths that name another folder now.
    for (auto it = watches.constBegin(); it != watches.constEnd(); ++it) {
        if (!kept.contains(it.key()))
            ::inotify_rm_watch(fd, it.key());
    }
    watches = std::move(kept);
    byPath = std::move(keptByPath);

    // A component made between finding the nearest folder and watching it sent its event to no one.
    for (const QString& folder : std::as_const(folders)) {
        const QString at = nearestExistingFolder(folder);
        if (refused.contains(at))
            continue; // nothing more to be done until something changes
        const auto found = byPath.constFind(at);
        if (found == byPath.constEnd())
            return true;
        const Watch& watch = watches[*found];
        if (at == folder ? !watch.target : !watch.awaiting.contains(nextComponent(at, folder)))
            return true;
    }
    return false;
}

void FolderWatch::State::reportExisting(const QString& folder) {
    const QFileInfoList files =
        QDir(folder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Time); // newest first
    for (qsizetype i = 0; i < files.size() && i < filesReportedOnAppearing; ++i)
        addPending(folder + u'/' + files.at(i).fileName());
}

void FolderWatch::State::addPending(const QString& path) {
    if (pendingSet.contains(path))
        return;
    pendingSet.insert(path);
    pending.append(path);
    startBatch(path);
}

void FolderWatch::State::startBatch(const QString& path) {
    // Started by the first file of a batch and never restarted: a steady stream of files is still
    // reported once per interval.
    if (!batchTimer.isActive()) {
        batchTimer.start();
        batchBegan(path);
    }
}

void FolderWatch::State::readEvents() {
    alignas(struct inotify_event) char buffer[16 * (sizeof(struct inotify_event) + NAME_MAX + 1)];
    bool rearm = false;
    bool overflowed = false;
    for (;;) {
        const ssize_t length = ::read(fd, buffer, sizeof buffer);
        if (length < 0 && errno == EINTR)
            continue;
        if (length <= 0)
            break; // EAGAIN: everything queued has been read
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const struct inotify_event*>(buffer + at);
            at += ssize_t(sizeof(struct inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                overflowed = true;
                continue;
            }
            const auto found = watches.find(event->wd);
            if (found == watches.end())
                continue; // a watch dropped earlier; its last events still come
            if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT)) {
                // Nothing more is reported from it, not even what is queued behind this event: a
                // folder moved away would report its new files under its old path.
                if (!(event->mask & IN_IGNORED))
                    ::inotify_rm_watch(fd, event->wd);
                // Back at once (made again, or another folder moved in), it is a folder appearing.
                if (found->target)
                    missing.insert(found->path);
                byPath.remove(found->path);
                watches.erase(found);
                rearm = true;
                continue;
            }
            // The name is padded with NULs up to the event's length.
            const QString name = event->len > 0 ? QFile::decodeName(event->name) : QString();
            if (found->target && (event->mask & (fileEvents | linkedEvents)) && !(event->mask & IN_ISDIR) &&
                !name.isEmpty() && !name.startsWith(u'.')) {
                const QString path = found->path + u'/' + name;
                if (event->mask & fileEvents) {
                    addPending(path);
                } else if (!created.contains(path)) {
                    created.append(path);
                    startBatch(path);
                }
            }
            if ((event->mask & pathEvents) && found->awaiting.contains(name))
                rearm = true;
        }
    }
    // Events were lost: a folder on the way may have been made, files may have arrived unseen.
    if (overflowed) {
        rearm = true;
        for (const QString& folder : std::as_const(folders)) {
            if (!missing.contains(folder))
                reportExisting(folder);
        }
    }
    if (rearm)
        arm();
}
