#include "InboxStore.h"

#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

#include <atomic>

namespace {

// Thread identifiers are reused after a thread ends; this serial never is.
QString threadTag() {
    static std::atomic<quint64> next{1};
    thread_local const quint64 serial = next++;
    return QString::number(serial);
}

QString kindName(InboxStore::Kind kind) {
    switch (kind) {
    case InboxStore::Kind::report:
        return QStringLiteral("report");
    case InboxStore::Kind::batch:
        return QStringLiteral("batch");
    case InboxStore::Kind::bundle:
        return QStringLiteral("bundle");
    }
    return {};
}

QString timestamp(const QDateTime& time) {
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QDateTime parseTimestamp(const QString& text) {
    return QDateTime::fromString(text, Qt::ISODateWithMs);
}

} // namespace

InboxStore::InboxStore(const QString& path)
    : path_(path)
    , connectionPrefix_(QStringLiteral("morvik-inbox-") +
                        QUuid::createUuid().toString(QUuid::WithoutBraces)) {
    QMutexLocker lock(&mutex_);
    open_ = createSchema();
}

InboxStore::~InboxStore() {
    QMutexLocker lock(&mutex_);
    for (const QString& name : std::as_const(connectionNames_))
        QSqlDatabase::removeDatabase(name);
}

QString InboxStore::errorText() const {
    QMutexLocker lock(&mutex_);
    return error_;
}

QSqlDatabase InboxStore::connection() const {
    const QString name = connectionPrefix_ + QLatin1Char('-') + threadTag();
    if (QSqlDatabase::contains(name))
        return QSqlDatabase::database(name);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path_);
    // Another process (a second stand-in on the same file) may hold the lock for a moment.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    connectionNames_.append(name);
    if (!db.open())
        error_ = db.lastError().text();
    return db;
}

bool InboxStore::createSchema() {
    QSqlDatabase db = connection();
    if (!db.isOpen())
        return false;
    QSqlQuery query(db);
    const char* statements[] = {
        "PRAGMA journal_mode=WAL",
        "CREATE TABLE IF NOT EXISTS entries (kind TEXT NOT NULL, key TEXT NOT NULL, code TEXT NOT NULL, "
        "body BLOB NOT NULL, received_at TEXT NOT NULL, PRIMARY KEY (kind, key), UNIQUE (kind, code))",
        "CREATE TABLE IF NOT EXISTS screenshots (id TEXT PRIMARY KEY, content_type TEXT NOT NULL, "
        "bytes BLOB NOT NULL, received_at TEXT NOT NULL)",
    };
    for (const char* statement : statements) {
        if (!query.exec(QString::fromLatin1(statement))) {
            error_ = query.lastError().text();
            return false;
        }
    }
    return true;
}

std::optional<QString> InboxStore::put(Kind kind, const QString& key, const QByteArray& body) {
    QMutexLocker lock(&mutex_);
    QSqlQuery query(connection());
    const QString now = timestamp(QDateTime::currentDateTimeUtc());
    query.prepare(QStringLiteral("SELECT code FROM entries WHERE kind = ? AND key = ?"));
    query.addBindValue(kindName(kind));
    query.addBindValue(key);
    if (!query.exec()) {
        error_ = query.lastError().text();
        return std::nullopt;
    }
    if (query.next()) {
        const QString code = query.value(0).toString();
        query.finish();
        query.prepare(
            QStringLiteral("UPDATE entries SET body = ?, received_at = ? WHERE kind = ? AND key = ?"));
        query.addBindValue(body);
        query.addBindValue(now);
        query.addBindValue(kindName(kind));
        query.addBindValue(key);
        if (!query.exec()) {
            error_ = query.lastError().text();
            return std::nullopt;
        }
        return code;
    }
    query.finish();
    // A new code clashes with an existing one about once in a billion; try again then.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const QString code = newCode();
        query.prepare(QStringLiteral(
            "INSERT INTO entries (kind, key, code, body, received_at) VALUES (?, ?, ?, ?, ?)"));
        query.addBindValue(kindName(kind));
        query.addBindValue(key);
        query.addBindValue(code);
        query.addBindValue(body);
        query.addBindValue(now);
        if (query.exec())
            return code;
        error_ = query.lastError().text();
    }
    return std::nullopt;
}

QList<InboxStore::Entry> InboxStore::entries(Kind kind) const {
    QMutexLocker lock(&mutex_);
    QSqlQuery query(connection());
    query.prepare(
        QStringLiteral("SELECT key, code, body, received_at FROM entries WHERE kind = ? ORDER BY rowid"));
    query.addBindValue(kindName(kind));
    QList<Entry> result;
    if (!query.exec()) {
        error_ = query.lastError().text();
        return result;
    }
    while (query.next())
        result.append(Entry{kind, query.value(0).toString(), query.value(1).toString(),
                            query.value(2).toByteArray(), parseTimestamp(query.value(3).toString())});
    return result;
}

std::optional<InboxStore::Entry> InboxStore::entry(Kind kind, const QString& key) const {
    QMutexLocker lock(&mutex_);
    QSqlQuery query(connection());
    query.prepare(QStringLiteral("SELECT code, body, received_at FROM entries WHERE kind = ? AND key = ?"));
    query.addBindValue(kindName(kind));
    query.addBindValue(key);
    if (!query.exec() || !query.next())
        return std::nullopt;
    return Entry{kind, key, query.value(0).toString(), query.value(1).toByteArray(),
                 parseTimestamp(query.value(2).toString())};
}

bool InboxStore::putScreenshot(const QString& id, const QByteArray& contentType, const QByteArray& bytes) {
    QMutexLocker lock(&mutex_);
    QSqlQuery query(connection());
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO screenshots (id, content_type, bytes, received_at) "
                                 "VALUES (?, ?, ?, ?)"));
    query.addBindValue(id);
    query.addBindValue(QString::fromLatin1(contentType));
    query.addBindValue(bytes);
    query.addBindValue(timestamp(QDateTime::currentDateTimeUtc()));
    if (!query.exec()) {
        error_ = query.lastError().text();
        return false;
    }
    return true;
}

std::optional<InboxStore::Screenshot> InboxStore::screenshot(const QString& id) const {
    QMutexLocker lock(&mutex_);
    QSqlQuery query(connection());
    query.prepare(QStringLiteral("SELECT content_type, bytes, received_at FROM screenshots WHERE id = ?"));
    query.addBindValue(id);
    if (!query.exec() || !query.next())
        return std::nullopt;
    return Screenshot{id, query.value(0).toString().toLatin1(), query.value(1).toByteArray(),
                      parseTimestamp(query.value(2).toString())};
}

int InboxStore::screenshotCount() const {
    QMutexLocker lock(&mutex_);
    QSqlQuery query(connection());
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM screenshots")) || !query.next())
        return 0;
    return query.value(0).toInt();
}

QString InboxStore::newCode() {
    static const QLatin1String alphabet("ABCDEFGHJKMNPQRSTUVWXYZ23456789");
    QString code;
    for (int i = 0; i < 6; ++i)
        code.append(QChar(alphabet[QRandomGenerator::global()->bounded(int(alphabet.size()))]));
    return code;
}
