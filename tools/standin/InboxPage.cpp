#include "InboxPage.h"

#include "InboxStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>

namespace {

QString escaped(const QString& text) {
    return text.toHtmlEscaped();
}

QString cell(const QString& text) {
    return QStringLiteral("<td>") + escaped(text) + QStringLiteral("</td>");
}

QString when(const InboxStore::Entry& entry) {
    return cell(entry.receivedAt.toUTC().toString(Qt::ISODate));
}

// Only web addresses become links and pictures; anything else (javascript:, data:) is shown as text.
QString snapshotCell(const QString& address, const QString& uploadNote) {
    QString html = QStringLiteral("<td>");
    if (address.startsWith(QLatin1String("http://")) || address.startsWith(QLatin1String("https://"))) {
        const QString attribute = escaped(address);
        html += QStringLiteral("<a href=\"%1\"><img src=\"%1\" alt=\"snapshot\" "
                               "style=\"max-width:160px;max-height:120px\"></a>")
                    .arg(attribute);
    } else if (!address.isEmpty()) {
        html += escaped(address);
    }
    if (!uploadNote.isEmpty())
        html += QStringLiteral("<div class=\"note\">") + escaped(uploadNote) + QStringLiteral("</div>");
    return html + QStringLiteral("</td>");
}

QJsonObject objectOf(const QByteArray& body) {
    return QJsonDocument::fromJson(body).object();
}

QString table(const QString& title, const QStringList& headings, const QStringList& rows) {
    QString html = QStringLiteral("<h2>%1 (%2)</h2>\n").arg(escaped(title)).arg(rows.size());
    if (rows.isEmpty())
        return html + QStringLiteral("<p>None yet.</p>\n");
    html += QStringLiteral("<table>\n<tr>");
    for (const QString& heading : headings)
        html += QStringLiteral("<th>") + escaped(heading) + QStringLiteral("</th>");
    html += QStringLiteral("</tr>\n");
    for (const QString& row : rows)
        html += QStringLiteral("<tr>") + row + QStringLiteral("</tr>\n");
    return html + QStringLiteral("</table>\n");
}

template <typename Function> QStringList newestFirst(QList<InboxStore::Entry> entries, Function row) {
    // The store lists entries in the order they arrived; two that arrived within one millisecond keep
    // that order, reversed, under the sort by time.
    std::reverse(entries.begin(), entries.end());
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.receivedAt > b.receivedAt; });
    QStringList rows;
    for (const InboxStore::Entry& entry : entries)
        rows.append(row(entry));
    return rows;
}

QString reportRow(const InboxStore::Entry& entry) {
    const QJsonObject report = objectOf(entry.body);
    const auto field = [&](const char* key) { return report.value(QLatin1String(key)).toString(); };
    const QString uploadNote = report.value(QStringLiteral("bundle"))
                                   .toObject()
                                   .value(QStringLiteral("screenshot_upload"))
                                   .toString();
    return when(entry) + cell(entry.code) + cell(field("intent")) + QStringLiteral("<td class=\"message\">") +
           escaped(field("message")) + QStringLiteral("</td>") + cell(field("contact")) +
           snapshotCell(field("screenshot_url"), uploadNote) +
           cell(field("product") + QLatin1Char(' ') + field("version"));
}

QString bundleRow(const InboxStore::Entry& entry) {
    const QJsonObject bundle = objectOf(entry.body);
    return when(entry) + cell(entry.code) + cell(bundle.value(QStringLiteral("reason")).toString()) +
           cell(bundle.value(QStringLiteral("app")).toString()) +
           cell(QString::number(bundle.value(QStringLiteral("events")).toArray().size()));
}

QString batchRow(const InboxStore::Entry& entry) {
    const QJsonObject batch = objectOf(entry.body);
    QStringList steps;
    for (const QJsonValue& step : batch.value(QStringLiteral("journey")).toArray())
        steps.append(step.toObject().value(QStringLiteral("step")).toString());
    QStringList features;
    for (const QJsonValue& event : batch.value(QStringLiteral("events")).toArray())
        features.append(event.toObject().value(QStringLiteral("feature")).toString());
    return when(entry) + cell(entry.key) + cell(QString::number(features.size())) +
           cell(features.join(QStringLiteral(", "))) + cell(steps.join(QStringLiteral(", "))) +
           cell(batch.value(QStringLiteral("bundle_id")).toString());
}

} // namespace

QByteArray InboxPage::render(const InboxStore& store) {
    QString html = QStringLiteral(
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Feedback inbox</title>\n"
        "<style>body{font-family:sans-serif;margin:1.5em}table{border-collapse:collapse}"
        "td,th{border:1px solid #ccc;padding:4px 8px;vertical-align:top;text-align:left}"
        "td.message{white-space:pre-wrap;max-width:40em}.note{color:#a00}</style></head><body>\n"
        "<h1>Feedback inbox</h1>\n");
    html += table(QStringLiteral("Reports"),
                  {QStringLiteral("Received (UTC)"), QStringLiteral("Code"), QStringLiteral("Intent"),
                   QStringLiteral("Message"), QStringLiteral("Contact"), QStringLiteral("Snapshot"),
                   QStringLiteral("Product")},
                  newestFirst(store.entries(InboxStore::Kind::report), reportRow));
    html += table(QStringLiteral("Diagnostics bundles"),
                  {QStringLiteral("Received (UTC)"), QStringLiteral("Code"), QStringLiteral("Reason"),
                   QStringLiteral("App"), QStringLiteral("Events")},
                  newestFirst(store.entries(InboxStore::Kind::bundle), bundleRow));
    html += table(QStringLiteral("Record batches"),
                  {QStringLiteral("Received (UTC)"), QStringLiteral("Upload id"), QStringLiteral("Events"),
                   QStringLiteral("Features"), QStringLiteral("Journey"), QStringLiteral("Bundle")},
                  newestFirst(store.entries(InboxStore::Kind::batch), batchRow));
    html += QStringLiteral("<p>%1 snapshots stored.</p>\n</body></html>\n").arg(store.screenshotCount());
    return html.toUtf8();
}
