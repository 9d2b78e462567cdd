#pragma once

#include "morvik_composer_export.h"

#include "FeedbackIntent.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QObject>
#include <QRectF>
#include <QString>
#include <QUrl>
#include <QVariant>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class FeedbackSubmission;

// The composer: one form on which the user picks the kind of feedback, writes a message, keeps or
// drops the snapshot, leaves an e-mail address and sends; after the service accepts the report, the
// same view shows the reference code. This is the view model: state, derived values, every text the
// layout shows and the actions. FeedbackComposer.qml draws it.
//
// QML makes one as `FeedbackView { intent: FeedbackView.Bug; snapshot: bytes }` and closes the view
// on closeRequested; C++ hosts may pass a close action to the constructor instead.
//
// Main thread only. submit() and copyCode() start work that finishes later on the main thread; the
// view may be destroyed meanwhile (the report is still sent, nothing is applied to the gone view).
class MORVIK_COMPOSER_EXPORT FeedbackView : public QObject {
    Q_OBJECT
    QML_ELEMENT

    // State.
    Q_PROPERTY(int intent READ intentIndex WRITE selectIntent NOTIFY intentChanged)
    Q_PROPERTY(QString message READ message WRITE setMessage NOTIFY messageChanged)
    Q_PROPERTY(QString contact READ contact WRITE setContact NOTIFY contactChanged)
    Q_PROPERTY(bool sending READ sending NOTIFY sendingChanged)
    Q_PROPERTY(bool showsSuccess READ showsSuccess NOTIFY codeChanged)
    Q_PROPERTY(QString code READ codeText NOTIFY codeChanged)
    Q_PROPERTY(bool hasError READ hasError NOTIFY errorTextChanged)
    Q_PROPERTY(QString errorText READ errorTextOrEmpty NOTIFY errorTextChanged)
    Q_PROPERTY(bool hasScreenshotNote READ hasScreenshotNote NOTIFY screenshotNoteChanged)
    Q_PROPERTY(QString screenshotNote READ screenshotNoteOrEmpty NOTIFY screenshotNoteChanged)
    // The snapshot's encoded bytes; empty for none.
    Q_PROPERTY(QByteArray snapshot READ snapshotBytes WRITE setSnapshot NOTIFY snapshotChanged)
    Q_PROPERTY(bool hasScreenshot READ hasScreenshot NOTIFY snapshotChanged)
    Q_PROPERTY(bool hasThumbnail READ hasThumbnail NOTIFY thumbnailChanged)
    // A QImage for FeedbackThumbnail (QML has no image type of its own).
    Q_PROPERTY(QVariant thumbnail READ thumbnailValue NOTIFY thumbnailChanged)
    Q_PROPERTY(
        bool attachScreenshot READ attachScreenshot WRITE setAttachScreenshot NOTIFY attachScreenshotChanged)
    Q_PROPERTY(bool copiedCode READ copiedCode NOTIFY copiedCodeChanged)
    Q_PROPERTY(bool sealShown READ sealShown WRITE setSealShown NOTIFY sealShownChanged)
    Q_PROPERTY(bool messageFocused READ messageFocused WRITE setMessageFocused NOTIFY messageFocusedChanged)

    // Derived values.
    Q_PROPERTY(bool hasMessage READ hasMessage NOTIFY messageChanged)
    Q_PROPERTY(bool canSend READ canSend NOTIFY canSendChanged)
    Q_PROPERTY(bool showsHint READ showsHint NOTIFY canSendChanged)
    Q_PROPERTY(QString hint READ hint NOTIFY intentChanged)
    Q_PROPERTY(QString hintAccessibleName READ hintAccessibleName NOTIFY intentChanged)
    Q_PROPERTY(QString placeholder READ placeholder NOTIFY intentChanged)
    Q_PROPERTY(bool showsPlaceholder READ showsPlaceholder NOTIFY messageChanged)
    Q_PROPERTY(QString contactPlaceholder READ contactPlaceholder NOTIFY intentChanged)
    Q_PROPERTY(bool showsRewardLine READ showsRewardLine NOTIFY intentChanged)
    Q_PROPERTY(QString rewardSheetLine READ rewardSheetLine NOTIFY intentChanged)
    Q_PROPERTY(QString rewardInfoMarkup READ rewardInfoMarkup CONSTANT)
    Q_PROPERTY(QString rewardAccessibleName READ rewardAccessibleName NOTIFY intentChanged)
    Q_PROPERTY(QUrl rewardInfoUrl READ rewardInfoUrl CONSTANT)
    Q_PROPERTY(QVariantList intentCards READ intentCards NOTIFY intentChanged)
    Q_PROPERTY(QString sendLabel READ sendLabel NOTIFY sendingChanged)
    Q_PROPERTY(QString successSubtitle READ successSubtitle NOTIFY intentChanged)
    Q_PROPERTY(QString whatHappensNext READ whatHappensNext NOTIFY whatHappensNextChanged)
    Q_PROPERTY(QString codeAccessibleName READ codeAccessibleName NOTIFY codeChanged)
    Q_PROPERTY(QString codeSymbol READ codeSymbol NOTIFY copiedCodeChanged)
    Q_PROPERTY(QColor accent READ accent CONSTANT)
    Q_PROPERTY(QColor accentInk READ accentInk CONSTANT)
    // The accent as a text colour (links) that reads on the window's background.
    Q_PROPERTY(QColor accentText READ accentText CONSTANT)
    // The disabled Send button: its fill as drawn, and a label colour that still reads on it.
    Q_PROPERTY(QColor disabledFill READ disabledFill CONSTANT)
    Q_PROPERTY(QColor disabledInk READ disabledInk CONSTANT)

    // Blacked-out areas of the snapshot: rectangles in fractions of the picture (see
    // SnapshotRedaction), in the order drawn.
    Q_PROPERTY(QVariantList redactions READ redactionList NOTIFY redactionsChanged)
    Q_PROPERTY(bool hasRedactions READ hasRedactions NOTIFY redactionsChanged)
    // The snapshot at a size to draw on, decoded by loadRedactionPicture.
    Q_PROPERTY(QVariant redactionPicture READ redactionPictureValue NOTIFY redactionPictureChanged)
    Q_PROPERTY(bool hasRedactionPicture READ hasRedactionPicture NOTIFY redactionPictureChanged)

    // Fixed texts.
    Q_PROPERTY(QString headerTitle READ headerTitle CONSTANT)
    Q_PROPERTY(QString headerSubtitle READ headerSubtitle CONSTANT)
    Q_PROPERTY(QString closeLabel READ closeLabel CONSTANT)
    Q_PROPERTY(QString snapshotTitle READ snapshotTitle CONSTANT)
    Q_PROPERTY(QString snapshotSubtitle READ snapshotSubtitle CONSTANT)
    Q_PROPERTY(QString snapshotSwitchLabel READ snapshotSwitchLabel CONSTANT)
    Q_PROPERTY(QString successTitle READ successTitle CONSTANT)
    Q_PROPERTY(QString doneLabel READ doneLabel CONSTANT)
    Q_PROPERTY(QString redactLabel READ redactLabel CONSTANT)
    Q_PROPERTY(QString redactTitle READ redactTitle CONSTANT)
    Q_PROPERTY(QString redactHint READ redactHint CONSTANT)
    Q_PROPERTY(QString undoLabel READ undoLabel CONSTANT)
    Q_PROPERTY(QString clearLabel READ clearLabel CONSTANT)
    Q_PROPERTY(QString backLabel READ backLabel CONSTANT)
    Q_PROPERTY(QString disclosureLabel READ disclosureLabel CONSTANT)
    Q_PROPERTY(QString disclosureNote READ disclosureNote CONSTANT)

public:
    // The intents by the numbers the intent property takes, in the picker's order.
    enum Intent { Idea, Bug, Praise };
    Q_ENUM(Intent)

    // How long the code pill shows its "copied" symbol.
    static constexpr std::chrono::milliseconds defaultCopiedStateDuration{1800};
    static std::chrono::milliseconds copiedStateDuration();
    // Tests shorten it; the new value applies to later copies.
    static void setCopiedStateDuration(std::chrono::milliseconds duration);

    // Where "How it works" leads: the reward programme's information page.
    static QUrl rewardProgrammeUrl();

    // The contact field starts from Feedback::contactEmail and the switch from
    // Feedback::snapshotAttachedByDefault, both read here once.
    explicit FeedbackView(FeedbackIntent intent = FeedbackIntent::idea,
                          std::optional<QByteArray> screenshot = std::nullopt,
                          std::function<void()> onClose = {}, QObject* parent = nullptr);
    ~FeedbackView() override;

    // The host's way of taking the view away, used by the close action when there is no onClose.
    void setDismiss(std::function<void()> dismiss);

    FeedbackIntent intent() const { return intent_; }
    void setIntent(FeedbackIntent intent);
    int intentIndex() const { return static_cast<int>(intent_); }
    // Picks the intent of a card (0 idea, 1 bug, 2 praise); other numbers are ignored.
    Q_INVOKABLE void selectIntent(int index);

    QString message() const { return message_; }
    void setMessage(const QString& message);
    QString contact() const { return contact_; }
    void setContact(const QString& contact);
    bool sending() const { return sending_; }
    std::optional<QString> code() const { return code_; }
    bool showsSuccess() const { return code_.has_value(); }
    QString codeText() const { return code_.value_or(QString()); }
    std::optional<QString> errorText() const { return errorText_; }
    bool hasError() const { return errorText_.has_value(); }
    QString errorTextOrEmpty() const { return errorText_.value_or(QString()); }
    std::optional<QString> screenshotNote() const { return screenshotNote_; }
    bool hasScreenshotNote() const { return screenshotNote_.has_value(); }
    QString screenshotNoteOrEmpty() const { return screenshotNote_.value_or(QString()); }
    std::optional<QByteArray> screenshot() const { return screenshot_; }
    bool hasScreenshot() const { return screenshot_.has_value(); }
    QByteArray snapshotBytes() const { return screenshot_.value_or(QByteArray()); }
    // A new snapshot (empty bytes: none) replaces the old one and its thumbnail.
    void setSnapshot(const QByteArray& bytes);
    // A small picture of the snapshot for the row; absent (null) until it has been decoded on a worker
    // thread, and for good when the bytes are not an image within the pixel limits.
    bool hasThumbnail() const { return !thumbnail_.isNull(); }
    QImage thumbnail() const { return thumbnail_; }
    QVariant thumbnailValue() const { return QVariant::fromValue(thumbnail_); }
    bool attachScreenshot() const { return attachScreenshot_; }
    void setAttachScreenshot(bool attach);
    bool copiedCode() const { return copiedCode_; }
    bool sealShown() const { return sealShown_; }
    void setSealShown(bool shown);
    bool messageFocused() const { return messageFocused_; }
    void setMessageFocused(bool focused);

    // The message has something besides white space and line breaks.
    bool hasMessage() const;
    // Send is enabled: a message, and no send under way.
    bool canSend() const { return hasMessage() && !sending_; }
    bool showsHint() const { return !hasMessage() && !sending_; }
    QString hint() const;
    // "Send is unavailable. " followed by the hint.
    QString hintAccessibleName() const;
    // The intent's prompt, shown while the message is empty (a single space already hides it).
    QString placeholder() const;
    bool showsPlaceholder() const { return message_.isEmpty(); }
    QString contactPlaceholder() const;
    bool showsRewardLine() const { return intent_ != FeedbackIntent::praise; }
    // The reward sentence of the current wording (read afresh on every call).
    QString rewardSheetLine() const;
    // The fixed second line of the reward row with its "How it works" link, as markup.
    QString rewardInfoMarkup() const;
    // Both lines of the reward row, read as one element.
    QString rewardAccessibleName() const;
    QUrl rewardInfoUrl() const { return rewardProgrammeUrl(); }
    // One map per intent in order: index, label, shortLabel, icon, selected.
    QVariantList intentCards() const;
    QString sendLabel() const;
    QString successSubtitle() const;
    QString whatHappensNext() const;
    QString codeAccessibleName() const;
    // "checkmark" while the copied state lasts, else "doc.on.doc".
    QString codeSymbol() const;
    QColor accent() const { return accent_; }
    QColor accentInk() const { return accentInk_; }
    QColor accentText() const;
    QColor disabledFill() const;
    QColor disabledInk() const;

    QList<QRectF> redactions() const { return redactions_; }
    QVariantList redactionList() const;
    bool hasRedactions() const { return !redactions_.isEmpty(); }
    // Adds an area (clipped to the picture; nothing when nothing of it is inside). Ignored while a
    // send is under way: what is being sent is already fixed.
    Q_INVOKABLE void addRedaction(const QRectF& area);
    Q_INVOKABLE void undoRedaction();
    Q_INVOKABLE void clearRedactions();
    bool hasRedactionPicture() const { return !redactionPicture_.isNull(); }
    QVariant redactionPictureValue() const { return QVariant::fromValue(redactionPicture_); }
    // Decodes the snapshot for the redaction editor on a worker thread (once per snapshot).
    Q_INVOKABLE void loadRedactionPicture();

    // What Send would post now, field by field, from the same code that builds the report: one map
    // per field with "key" (the field's name; bundle entries as "bundle.<name>") and "value" (its
    // text). The values only known while sending (the snapshot's address, the report's id, the
    // time) are described instead.
    Q_INVOKABLE QVariantList disclosure() const;

    QString headerTitle() const;
    QString headerSubtitle() const;
    QString closeLabel() const;
    QString snapshotTitle() const;
    QString snapshotSubtitle() const;
    QString snapshotSwitchLabel() const;
    QString successTitle() const;
    QString doneLabel() const;
    QString redactLabel() const;
    QString redactTitle() const;
    QString redactHint() const;
    QString undoLabel() const;
    QString clearLabel() const;
    QString backLabel() const;
    QString disclosureLabel() const;
    QString disclosureNote() const;

    // Sends the report with the trimmed message and contact and, when the switch is on, the snapshot
    // (uploaded first). Returns at once; does nothing while a send is under way or without a message.
    Q_INVOKABLE void submit();
    // Puts the code on the clipboard and shows the copied state for copiedStateDuration. A later copy
    // does not extend an earlier one: the first pending timer ends the state.
    Q_INVOKABLE void copyCode(const QString& code);
    // The close buttons and Done: onClose when given, else the host's dismiss and closeRequested.
    Q_INVOKABLE void close();

Q_SIGNALS:
    void intentChanged();
    void messageChanged();
    void contactChanged();
    void sendingChanged();
    void canSendChanged();
    void codeChanged();
    void errorTextChanged();
    void screenshotNoteChanged();
    void attachScreenshotChanged();
    void copiedCodeChanged();
    void sealShownChanged();
    void messageFocusedChanged();
    void whatHappensNextChanged();
    void snapshotChanged();
    void redactionsChanged();
    void redactionPictureChanged();
    // The snapshot's decoding has finished, with a thumbnail or without one, or a new snapshot took
    // the old thumbnail away.
    void thumbnailChanged();
    // The close action without an onClose: whoever shows the view takes it away.
    void closeRequested();
    // A submit has applied its outcome: accepted (the success screen shows) or not (the banner does).
    void submitFinished(bool accepted);

private:
    struct Outcome;
    void applyOutcome(const Outcome& outcome);
    void setSending(bool sending);
    void setErrorText(std::optional<QString> text);
    void setScreenshotNote(std::optional<QString> note);
    void setCode(std::optional<QString> code);
    void setCopiedCode(bool copied);
    void decodeSnapshot();
    void setRedactions(QList<QRectF> areas);
    // The decoded thumbnail with the blacked-out areas drawn on it.
    void repaintThumbnail();

    FeedbackIntent intent_;
    QString message_;
    QString contact_;
    bool sending_ = false;
    std::optional<QString> code_;
    // The report this composer sends, created by the first press of Send and kept for every retry.
    std::shared_ptr<FeedbackSubmission> submission_;
    std::optional<QString> errorText_;
    std::optional<QString> screenshotNote_;
    std::optional<QByteArray> screenshot_;
    QImage thumbnail_;
    QImage plainThumbnail_;
    QList<QRectF> redactions_;
    QImage redactionPicture_;
    // The snapshot generation whose redaction picture is being (or was) decoded; 0 for none.
    std::uint64_t redactionPictureGeneration_ = 0;
    // Counts the snapshots given, so that a late thumbnail of a replaced one is dropped.
    std::uint64_t snapshotGeneration_ = 0;
    bool attachScreenshot_;
    bool copiedCode_ = false;
    bool sealShown_ = false;
    bool messageFocused_ = false;
    std::function<void()> onClose_;
    std::function<void()> dismiss_;
    QColor accent_;
    QColor accentInk_;
};
