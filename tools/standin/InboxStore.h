#pragma once

#include "morvik_standin_export.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <optional>

class QSqlDatabase;

// What the stand-in service received, kept in an SQLite file so that the inbox page and the stored
// snapshots survive a restart. Usable from any thread: every thread gets its own connection to the
// file (SQLite connections must stay on their thread) and one lock serialises the statements.
class MORVIK_STANDIN_EXPORT InboxStore {
public:
    enum class Kind { report, batch, bundle };

    // A received JSON document: a report, a records batch or a diagnostics bundle.
    struct Entry {
        Kind kind = Kind::report;
        QString key;  // what identifies a resend: client_report_id, upload_id, or a digest of the body
        QString code; // the reference code handed out for it
        QByteArray body;
        QDateTime receivedAt; // of the latest copy
    };

    struct Screenshot {
        QString id;
        QByteArray contentType;
        QByteArray bytes;
        QDateTime receivedAt;
    };

    // Opens (and creates when missing) the database file at that path.
    explicit InboxStore(const QString& path);
    ~InboxStore();
    InboxStore(const InboxStore&) = delete;
    InboxStore& operator=(const InboxStore&) = delete;

    bool isOpen() const { return open_; }
    QString path() const { return path_; }
    QString errorText() const;

    // Keeps a document under its key and returns the code that stands for it. A second document of the
    // same kind and key (a resend or a retried batch) replaces the stored body and keeps the first code.
    // Absent only when the database fails.
    std::optional<QString> put(Kind kind, const QString& key, const QByteArray& body);
    // Oldest first.
    QList<Entry> entries(Kind kind) const;
    std::optional<Entry> entry(Kind kind, const QString& key) const;

    // Keeps snapshot bytes under an identifier; storing the same identifier again replaces them.
    bool putScreenshot(const QString& id, const QByteArray& contentType, const QByteArray& bytes);
    std::optional<Screenshot> screenshot(const QString& id) const;
    int screenshotCount() const;

    // A short reference code: six characters from an alphabet without look-alikes (no 0/O, 1/I/L).
    static QString newCode();

private:
    QSqlDatabase connection() const;
    bool createSchema();

    QString path_;
    QString connectionPrefix_;
    bool open_ = false;
    mutable QMutex mutex_;
    mutable QStringList connectionNames_;
    mutable QString error_;
};
