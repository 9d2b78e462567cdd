#include "FeedbackView.h"

#include "Feedback.h"
#include "FeedbackLogging.h"
#include "FeedbackReport.h"
#include "FeedbackRewards.h"
#include "FeedbackScreenshot.h"
#include "FeedbackSubmission.h"
#include "OnWorkerThread.h"
#include "ReadableColor.h"
#include "ScreenshotImage.h"
#include "SnapshotRedaction.h"

#include <QClipboard>
#include <QCoroTask>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPalette>
#include <QPointer>
#include <QTimer>

#include <atomic>

static_assert(FeedbackView::Idea == int(FeedbackIntent::idea) &&
              FeedbackView::Bug == int(FeedbackIntent::bug) &&
              FeedbackView::Praise == int(FeedbackIntent::praise));

namespace {

std::atomic<std::chrono::milliseconds::rep> copiedDurationMs{
    FeedbackView::defaultCopiedStateDuration.count()};

// Enough pixels for a 40-point square at three times the resolution, cropped to fill.
constexpr int thumbnailShortSide = 120;
// The redaction editor shows the picture at most about 420 points wide, at up to twice that.
constexpr int redactionPictureLongSide = 1000;
// How the disabled Send button fades its fill over the window.
constexpr double disabledFillOpacity = 0.45;

// Narrates the snapshot's decoding, as the window narrates its own life (composer debug lines).
void trace(const QString& line) {
    qCDebug(lcFeedbackComposer).noquote() << QStringLiteral("composer: ") + line;
}

// The snapshot's own decoders: the same pixel limits as the upload's preparation, checked on the
// header before anything is decoded, JPEGs scaled while decoding, orientation applied. Null when the
// bytes are no picture within the limits.
QImage decodeThumbnail(const QByteArray& bytes) {
    trace(QStringLiteral("decoding the snapshot"));
    const std::optional<ScreenshotImage> image = ScreenshotImage::open(bytes);
    if (!image)
        return {};
    const qint64 shortest = qMin(image->pixelWidth(), image->pixelHeight());
    const qint64 longest = qMax(image->pixelWidth(), image->pixelHeight());
    // The long side that gives the short side thumbnailShortSide pixels, rounded up.
    const qint64 longSide =
        shortest > thumbnailShortSide ? (longest * thumbnailShortSide + shortest - 1) / shortest : longest;
    return image->thumbnail(int(longSide)).value_or(QImage());
}

// The snapshot at a size to draw on in the redaction editor.
QImage decodeRedactionPicture(const QByteArray& bytes) {
    const std::optional<ScreenshotImage> image = ScreenshotImage::open(bytes);
    return image ? image->thumbnail(redactionPictureLongSide).value_or(QImage()) : QImage();
}

// Decodes off the main thread, so that a large or hostile snapshot never holds up the event loop
// (and with it the owner's protocol); resumes on the main thread to hand the picture (null when
// there is none) to the view, if it still exists.
QCoro::Task<> decodeInBackground(QPointer<FeedbackView> view, QByteArray bytes,
                                 QImage (*decode)(const QByteArray&),
                                 std::function<void(FeedbackView*, QImage)> apply) {
    // Made before it is awaited (see preparedInBackground: GCC 12 and temporaries in co_await).
    QCoro::Task<std::optional<QImage>> decoding =
        onWorkerThread<QImage>([bytes = std::move(bytes), decode] { return decode(bytes); });
    const std::optional<QImage> picture = co_await decoding;
    if (view)
        apply(view.data(), picture.value_or(QImage()));
}

QColor windowColor() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance())
               ? QGuiApplication::palette().color(QPalette::Active, QPalette::Window)
               : QColor(Qt::white);
}

} // namespace

struct FeedbackView::Outcome {
    Feedback::SendOutcome outcome;
    std::optional<QString> screenshotNote;
};

namespace {

// The rest of a submit, after the view has taken what it sends. Runs on the main thread and
// suspends while the upload and the report are under way. The submission outlives a view that closes
// meanwhile, so the attempt still settles its outbox copy.
QCoro::Task<>
sendReport(QPointer<FeedbackView> view, std::shared_ptr<FeedbackSubmission> submission, FeedbackIntent intent,
           QString message, QString contact, std::optional<QByteArray> snapshot, QList<QRectF> redactions,
           std::function<void(FeedbackView*, Feedback::SendOutcome, std::optional<QString>)> apply) {
    // Blacked-out areas are burnt into the pixels before anything is prepared, kept or uploaded. A
    // picture that cannot be redacted is not sent at all: never the original in its place.
    if (snapshot && !redactions.isEmpty()) {
        QCoro::Task<std::optional<std::optional<QByteArray>>> burning =
            onWorkerThread<std::optional<QByteArray>>(
                [bytes = *snapshot, redactions] { return SnapshotRedaction::burn(bytes, redactions); });
        const std::optional<std::optional<QByteArray>> burnt = co_await burning;
        snapshot = burnt ? *burnt : std::nullopt;
    }
    const Feedback::DeliveryOutcome result =
        co_await submission->deliver(intent, std::move(message), contact, std::move(snapshot));
    // The address is worth keeping even when the window closed while the report was under way.
    if (result.outcome.isSent())
        Feedback::rememberContact(contact);
    if (view)
        apply(view.data(), result.outcome, result.screenshotNote);
}

} // namespace

std::chrono::milliseconds FeedbackView::copiedStateDuration() {
    return std::chrono::milliseconds(copiedDurationMs.load());
}

void FeedbackView::setCopiedStateDuration(std::chrono::milliseconds duration) {
    copiedDurationMs.store(duration.count());
}

QUrl FeedbackView::rewardProgrammeUrl() {
    return QUrl(QStringLiteral("https://velquist.com/rewards"));
}

FeedbackView::FeedbackView(FeedbackIntent intent, std::optional<QByteArray> screenshot,
                           std::function<void()> onClose, QObject* parent)
    : QObject(parent)
    , intent_(intent)
    , contact_(Feedback::contactEmail())
    , screenshot_(std::move(screenshot))
    , attachScreenshot_(Feedback::snapshotAttachedByDefault())
    , onClose_(std::move(onClose))
    , accent_(Feedback::effectiveAccentColor())
    , accentInk_(Feedback::accentInk(accent_)) {
    decodeSnapshot();
}

FeedbackView::~FeedbackView() = default;

void FeedbackView::setDismiss(std::function<void()> dismiss) {
    dismiss_ = std::move(dismiss);
}

void FeedbackView::setSnapshot(const QByteArray& bytes) {
    std::optional<QByteArray> snapshot = bytes.isEmpty() ? std::nullopt : std::optional<QByteArray>(bytes);
    if (snapshot == screenshot_)
        return;
    screenshot_ = std::move(snapshot);
    Q_EMIT snapshotChanged();
    // Areas drawn on another picture mean nothing on this one.
    setRedactions({});
    plainThumbnail_ = QImage();
    if (!thumbnail_.isNull()) {
        thumbnail_ = QImage();
        Q_EMIT thumbnailChanged();
    }
    if (!redactionPicture_.isNull()) {
        redactionPicture_ = QImage();
        Q_EMIT redactionPictureChanged();
    }
    decodeSnapshot();
}

void FeedbackView::repaintThumbnail() {
    QImage painted = plainThumbnail_;
    SnapshotRedaction::paint(painted, redactions_);
    thumbnail_ = std::move(painted);
    Q_EMIT thumbnailChanged();
}

QVariantList FeedbackView::redactionList() const {
    QVariantList list;
    for (const QRectF& area : redactions_)
        list.append(area);
    return list;
}

void FeedbackView::setRedactions(QList<QRectF> areas) {
    if (areas == redactions_)
        return;
    redactions_ = std::move(areas);
    Q_EMIT redactionsChanged();
    if (!plainThumbnail_.isNull())
        repaintThumbnail();
}

void FeedbackView::addRedaction(const QRectF& area) {
    const QRectF part = SnapshotRedaction::clipped(area);
    if (sending_ || !screenshot_ || part.isEmpty())
        return;
    QList<QRectF> areas = redactions_;
    areas.append(part);
    setRedactions(std::move(areas));
}

void FeedbackView::undoRedaction() {
    if (sending_ || redactions_.isEmpty())
        return;
    QList<QRectF> areas = redactions_;
    areas.removeLast();
    setRedactions(std::move(areas));
}

void FeedbackView::clearRedactions() {
    if (sending_)
        return;
    setRedactions({});
}

void FeedbackView::loadRedactionPicture() {
    // Once per snapshot: a decoding already under way for this one is awaited, not repeated.
    if (!screenshot_ || !redactionPicture_.isNull() || redactionPictureGeneration_ == snapshotGeneration_)
        return;
    const std::uint64_t generation = snapshotGeneration_;
    redactionPictureGeneration_ = generation;
    decodeInBackground(QPointer<FeedbackView>(this), *screenshot_, decodeRedactionPicture,
                       [generation](FeedbackView* view, QImage picture) {
                           if (generation != view->snapshotGeneration_ || picture.isNull())
                               return;
                           view->redactionPicture_ = std::move(picture);
                           Q_EMIT view->redactionPictureChanged();
                       });
}

QColor FeedbackView::accentText() const {
    return ReadableColor::readableOn(accent_, windowColor());
}

QColor FeedbackView::disabledFill() const {
    return ReadableColor::over(accent_, windowColor(), disabledFillOpacity);
}

QColor FeedbackView::disabledInk() const {
    return ReadableColor::readableOn(accentInk_, disabledFill());
}

QVariantList FeedbackView::disclosure() const {
    const bool withSnapshot = attachScreenshot_ && screenshot_.has_value();
    const QJsonObject report =
        Feedback::reportPayload(intent_, message_.trimmed(), contact_.trimmed(), QString(), std::nullopt);
    // Filled in while sending, so only described here.
    const QString atSending = tr("(set when you press Send)");
    // Objects and arrays as compact JSON, the rest as its plain text (numbers, true/false, empty for null).
    auto text = [](const QJsonValue& value) {
        if (value.isObject())
            return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
        if (value.isArray())
            return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
        return value.toVariant().toString();
    };
    QVariantList rows;
    auto row = [&rows](const QString& key, const QString& value) {
        rows.append(QVariantMap{{QStringLiteral("key"), key}, {QStringLiteral("value"), value}});
    };
    for (auto it = report.begin(); it != report.end(); ++it) {
        if (it.key() == QLatin1String("bundle")) {
            const QJsonObject bundle = it.value().toObject();
            for (auto entry = bundle.begin(); entry != bundle.end(); ++entry)
                row(QStringLiteral("bundle.") + entry.key(),
                    entry.key() == QLatin1String("ts") ? atSending : text(entry.value()));
        } else if (it.key() == QLatin1String("screenshot_url")) {
            row(it.key(), withSnapshot ? (hasRedactions() ? tr("A snapshot, with the areas you blacked out")
                                                          : tr("A snapshot of the screen"))
                                       : tr("No snapshot"));
        } else if (it.key() == QLatin1String("client_report_id")) {
            row(it.key(), atSending);
        } else {
            row(it.key(), text(it.value()));
        }
    }
    return rows;
}

void FeedbackView::decodeSnapshot() {
    const std::uint64_t generation = ++snapshotGeneration_;
    if (!screenshot_)
        return;
    decodeInBackground(QPointer<FeedbackView>(this), *screenshot_, decodeThumbnail,
                       [generation](FeedbackView* view, QImage thumbnail) {
                           trace(thumbnail.isNull() ? QStringLiteral("no thumbnail")
                                                    : QStringLiteral("thumbnail ready"));
                           if (generation != view->snapshotGeneration_)
                               return;
                           view->plainThumbnail_ = std::move(thumbnail);
                           view->repaintThumbnail();
                       });
}

void FeedbackView::setIntent(FeedbackIntent intent) {
    if (intent == intent_)
        return;
    intent_ = intent;
    Q_EMIT intentChanged();
    Q_EMIT whatHappensNextChanged();
}

void FeedbackView::selectIntent(int index) {
    if (index < 0 || index >= int(FeedbackIntents::allCases.size()))
        return;
    setIntent(FeedbackIntents::allCases[std::size_t(index)]);
}

void FeedbackView::setMessage(const QString& message) {
    if (message == message_)
        return;
    message_ = message;
    Q_EMIT messageChanged();
    Q_EMIT canSendChanged();
}

void FeedbackView::setContact(const QString& contact) {
    if (contact == contact_)
        return;
    contact_ = contact;
    Q_EMIT contactChanged();
    Q_EMIT whatHappensNextChanged();
}

void FeedbackView::setAttachScreenshot(bool attach) {
    if (attach == attachScreenshot_)
        return;
    attachScreenshot_ = attach;
    Q_EMIT attachScreenshotChanged();
}

void FeedbackView::setSealShown(bool shown) {
    if (shown == sealShown_)
        return;
    sealShown_ = shown;
    Q_EMIT sealShownChanged();
}

void FeedbackView::setMessageFocused(bool focused) {
    if (focused == messageFocused_)
        return;
    messageFocused_ = focused;
    Q_EMIT messageFocusedChanged();
}

bool FeedbackView::hasMessage() const {
    return !message_.trimmed().isEmpty();
}

QString FeedbackView::hint() const {
    switch (intent_) {
    case FeedbackIntent::idea:
        return tr("Add a line about your idea, then Send.");
    case FeedbackIntent::bug:
        return tr("Add a line about what went wrong, then Send.");
    case FeedbackIntent::praise:
        break;
    }
    return tr("Add a line, then Send.");
}

QString FeedbackView::hintAccessibleName() const {
    return tr("Send is unavailable. %1").arg(hint());
}

QString FeedbackView::placeholder() const {
    return FeedbackIntents::prompt(intent_);
}

QString FeedbackView::contactPlaceholder() const {
    return intent_ == FeedbackIntent::praise ? tr("Email (optional, if you'd like a reply)")
                                             : tr("Email (for a reply, and your reward)");
}

QString FeedbackView::rewardSheetLine() const {
    return Feedback::rewards().copy.sheet_line;
}

QString FeedbackView::rewardInfoMarkup() const {
    return tr("It is store credit, good toward anything Velquist sells. ") +
           QStringLiteral("<a href=\"%1\">%2</a>")
               .arg(rewardProgrammeUrl().toString(QUrl::FullyEncoded),
                    // The link stays on one line: its words never break apart.
                    tr("How it works").toHtmlEscaped().replace(QLatin1Char(' '), QStringLiteral("&nbsp;")));
}

QString FeedbackView::rewardAccessibleName() const {
    return rewardSheetLine() + QLatin1Char(' ') +
           tr("It is store credit, good toward anything Velquist sells. ") + tr("How it works");
}

QVariantList FeedbackView::intentCards() const {
    QVariantList cards;
    for (FeedbackIntent intent : FeedbackIntents::allCases)
        cards.append(QVariantMap{{QStringLiteral("index"), static_cast<int>(intent)},
                                 {QStringLiteral("label"), FeedbackIntents::label(intent)},
                                 {QStringLiteral("shortLabel"), FeedbackIntents::shortLabel(intent)},
                                 {QStringLiteral("icon"), FeedbackIntents::icon(intent)},
                                 {QStringLiteral("selected"), intent == intent_}});
    return cards;
}

QString FeedbackView::sendLabel() const {
    return sending_ ? tr("Sending…") : tr("Send");
}

QString FeedbackView::successSubtitle() const {
    return tr("Your %1 is in.").arg(FeedbackIntents::noun(intent_));
}

QString FeedbackView::whatHappensNext() const {
    const QString address = contact_.trimmed();
    switch (intent_) {
    case FeedbackIntent::praise:
        break;
    case FeedbackIntent::bug:
        if (address.isEmpty())
            return tr("We triage every report. Hang onto the code above; it's your reference.");
        return Feedback::rewards().copy.confirm_bug + QLatin1Char(' ') + address + QLatin1Char('.');
    case FeedbackIntent::idea:
        if (address.isEmpty())
            return tr("We read every idea. Hang onto the code above; it's your reference.");
        return Feedback::rewards().copy.confirm_idea + QLatin1Char(' ') + address + QLatin1Char('.');
    }
    return tr("It goes straight to the people who build %1.").arg(Feedback::productName());
}

QString FeedbackView::codeAccessibleName() const {
    return tr("Copy reference code %1").arg(codeText());
}

QString FeedbackView::codeSymbol() const {
    return copiedCode_ ? QStringLiteral("checkmark") : QStringLiteral("doc.on.doc");
}

QString FeedbackView::headerTitle() const {
    return tr("Make %1 better").arg(Feedback::productName());
}
QString FeedbackView::headerSubtitle() const {
    return tr("Goes straight to the people who build it.");
}
QString FeedbackView::closeLabel() const {
    return tr("Close");
}
QString FeedbackView::snapshotTitle() const {
    return tr("Attach a snapshot of this screen");
}
QString FeedbackView::snapshotSubtitle() const {
    return tr("Helps us see exactly what you saw.");
}
QString FeedbackView::snapshotSwitchLabel() const {
    return tr("Attach snapshot");
}
QString FeedbackView::successTitle() const {
    return tr("Thank you!");
}
QString FeedbackView::doneLabel() const {
    return tr("Done");
}
QString FeedbackView::redactLabel() const {
    return tr("Hide details…");
}
QString FeedbackView::redactTitle() const {
    return tr("Hide parts of the snapshot");
}
QString FeedbackView::redactHint() const {
    return tr("Drag over anything you'd rather not send. It is blacked out before the snapshot leaves this "
              "computer.");
}
QString FeedbackView::undoLabel() const {
    return tr("Undo");
}
QString FeedbackView::clearLabel() const {
    return tr("Clear");
}
QString FeedbackView::backLabel() const {
    return tr("Back");
}
QString FeedbackView::disclosureLabel() const {
    return tr("What will be sent");
}
QString FeedbackView::disclosureNote() const {
    return tr("Exactly these fields go to the people who build it, nothing else.");
}

void FeedbackView::submit() {
    // The layout disables Send in both cases; the keyboard shortcut and other callers get the same.
    if (sending_ || !hasMessage())
        return;
    setSending(true);
    setErrorText(std::nullopt);
    std::optional<QByteArray> snapshot = attachScreenshot_ ? screenshot_ : std::nullopt;
    // Every press of Send in this composer is another attempt at the same report.
    if (!submission_)
        submission_ = std::make_shared<FeedbackSubmission>();
    sendReport(QPointer<FeedbackView>(this), submission_, intent_, message_.trimmed(), contact_.trimmed(),
               std::move(snapshot), redactions_,
               [](FeedbackView* view, Feedback::SendOutcome outcome, std::optional<QString> note) {
                   view->applyOutcome(Outcome{std::move(outcome), std::move(note)});
               });
}

void FeedbackView::applyOutcome(const Outcome& result) {
    setSending(false);
    setScreenshotNote(result.screenshotNote);
    switch (result.outcome.kind()) {
    case Feedback::SendOutcome::Kind::sent:
        setCode(result.outcome.code());
        break;
    case Feedback::SendOutcome::Kind::refused:
        setErrorText(result.outcome.refusal());
        break;
    case Feedback::SendOutcome::Kind::failed:
        setErrorText(tr("Couldn't send. Check your connection and try again."));
        break;
    }
    Q_EMIT submitFinished(result.outcome.isSent());
}

void FeedbackView::copyCode(const QString& code) {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        clipboard->clear();
        clipboard->setText(code);
    }
    setCopiedCode(true);
    // Each copy has its own timer and none is cancelled: the earliest one ends the copied state.
    QTimer::singleShot(copiedStateDuration(), this, [this] { setCopiedCode(false); });
}

void FeedbackView::close() {
    if (onClose_) {
        onClose_();
        return;
    }
    if (dismiss_)
        dismiss_();
    Q_EMIT closeRequested();
}

void FeedbackView::setSending(bool sending) {
    if (sending == sending_)
        return;
    sending_ = sending;
    Q_EMIT sendingChanged();
    Q_EMIT canSendChanged();
}

void FeedbackView::setErrorText(std::optional<QString> text) {
    if (text == errorText_)
        return;
    errorText_ = std::move(text);
    Q_EMIT errorTextChanged();
}

void FeedbackView::setScreenshotNote(std::optional<QString> note) {
    if (note == screenshotNote_)
        return;
    screenshotNote_ = std::move(note);
    Q_EMIT screenshotNoteChanged();
}

void FeedbackView::setCode(std::optional<QString> code) {
    if (code == code_)
        return;
    code_ = std::move(code);
    Q_EMIT codeChanged();
}

void FeedbackView::setCopiedCode(bool copied) {
    if (copied == copiedCode_)
        return;
    copiedCode_ = copied;
    Q_EMIT copiedCodeChanged();
}
