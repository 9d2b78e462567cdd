<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>FeedbackBanner</name>
    <message>
        <source>Tell us</source>
        <translation>Mitteilen</translation>
    </message>
    <message>
        <source>Share an idea or report a problem</source>
        <translation>Eine Idee teilen oder ein Problem melden</translation>
    </message>
    <message>
        <source>Dismiss</source>
        <translation>Ausblenden</translation>
    </message>
</context>
<context>
    <name>FeedbackBannerView</name>
    <message>
        <source>Shake detected</source>
        <translation>Schütteln erkannt</translation>
    </message>
    <message>
        <source>Screenshot taken</source>
        <translation>Bildschirmfoto aufgenommen</translation>
    </message>
    <message>
        <source>Ideas we build and bugs we confirm earn $10.</source>
        <translation>Umgesetzte Ideen und bestätigte Fehler bringen 10 $.</translation>
    </message>
</context>
<context>
    <name>FeedbackComposerWindow</name>
    <message>
        <source>Send Feedback</source>
        <translation>Feedback senden</translation>
    </message>
</context>
<context>
    <name>FeedbackContactUsRow</name>
    <message>
        <source>Contact Us</source>
        <translation>Kontakt</translation>
    </message>
</context>
<context>
    <name>FeedbackIdeaNudge</name>
    <message>
        <source>Share an idea</source>
        <translation>Idee teilen</translation>
    </message>
    <message>
        <source>Not now</source>
        <translation>Nicht jetzt</translation>
    </message>
</context>
<context>
    <name>FeedbackIntent</name>
    <message>
        <source>Share an idea</source>
        <translation>Idee teilen</translation>
    </message>
    <message>
        <source>Idea</source>
        <translation>Idee</translation>
    </message>
    <message>
        <source>What would make this better for you?</source>
        <translation>Was würde es für Sie besser machen?</translation>
    </message>
    <message>
        <source>idea</source>
        <translation>Ihre Idee</translation>
    </message>
    <message>
        <source>Report a bug</source>
        <translation>Fehler melden</translation>
    </message>
    <message>
        <source>Bug</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>What went wrong? What did you expect to happen instead?</source>
        <translation>Was ist schiefgelaufen? Was hätten Sie stattdessen erwartet?</translation>
    </message>
    <message>
        <source>report</source>
        <translation>Ihre Meldung</translation>
    </message>
    <message>
        <source>Send feedback</source>
        <translation>Feedback senden</translation>
    </message>
    <message>
        <source>Feedback</source>
        <translation>Feedback</translation>
    </message>
    <message>
        <source>What's on your mind? We read every word.</source>
        <translation>Was möchten Sie uns sagen? Wir lesen jedes Wort.</translation>
    </message>
    <message>
        <source>feedback</source>
        <translation>Ihr Feedback</translation>
    </message>
</context>
<context>
    <name>FeedbackMenu</name>
    <message>
        <source>Send Feedback…</source>
        <translation>Feedback senden…</translation>
    </message>
</context>
<context>
    <name>FeedbackScreenshot</name>
    <message>
        <source>Screenshot didn't upload; your words were sent.</source>
        <translation>Das Bildschirmfoto wurde nicht hochgeladen; Ihr Text wurde gesendet.</translation>
    </message>
</context>
<context>
    <name>FeedbackSettingsSection</name>
    <message>
        <source>Feedback</source>
        <translation>Feedback</translation>
    </message>
    <message>
        <source>Report a bug</source>
        <translation>Fehler melden</translation>
    </message>
    <message>
        <source>Share an idea</source>
        <translation>Idee teilen</translation>
    </message>
    <message>
        <source>Contact Us</source>
        <translation>Kontakt</translation>
    </message>
</context>
<context>
    <name>FeedbackView</name>
    <message>
        <source>Add a line about your idea, then Send.</source>
        <translation>Ein paar Worte zu Ihrer Idee, dann „Senden“.</translation>
    </message>
    <message>
        <source>Add a line about what went wrong, then Send.</source>
        <translation>Ein paar Worte zum Problem, dann „Senden“.</translation>
    </message>
    <message>
        <source>Add a line, then Send.</source>
        <translation>Ein paar Worte, dann „Senden“.</translation>
    </message>
    <message>
        <source>Send is unavailable. %1</source>
        <translation>„Senden“ ist nicht verfügbar. %1</translation>
    </message>
    <message>
        <source>Email (optional, if you'd like a reply)</source>
        <translation>E-Mail (optional, falls Sie eine Antwort möchten)</translation>
    </message>
    <message>
        <source>Email (for a reply, and your reward)</source>
        <translation>E-Mail (für Antwort und Belohnung)</translation>
    </message>
    <message>
        <source>It is store credit, good toward anything Velquist sells. </source>
        <translation>Es ist ein Guthaben für alles, was Velquist verkauft. </translation>
    </message>
    <message>
        <source>How it works</source>
        <translation>So funktioniert’s</translation>
    </message>
    <message>
        <source>Sending…</source>
        <translation>Wird gesendet…</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>Your %1 is in.</source>
        <translation>%1 ist angekommen.</translation>
    </message>
    <message>
        <source>We triage every report. Hang onto the code above; it's your reference.</source>
        <translation>Wir prüfen jede Meldung. Bewahren Sie den Code oben auf; er ist Ihre Referenz.</translation>
    </message>
    <message>
        <source>We read every idea. Hang onto the code above; it's your reference.</source>
        <translation>Wir lesen jede Idee. Bewahren Sie den Code oben auf; er ist Ihre Referenz.</translation>
    </message>
    <message>
        <source>It goes straight to the people who build %1.</source>
        <translation>Es geht direkt an die Menschen, die %1 entwickeln.</translation>
    </message>
    <message>
        <source>Copy reference code %1</source>
        <translation>Referenzcode %1 kopieren</translation>
    </message>
    <message>
        <source>Make %1 better</source>
        <translation>%1 verbessern</translation>
    </message>
    <message>
        <source>Goes straight to the people who build it.</source>
        <translation>Geht direkt an die Menschen, die es entwickeln.</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>Attach a snapshot of this screen</source>
        <translation>Bildschirmfoto dieser Ansicht anhängen</translation>
    </message>
    <message>
        <source>Helps us see exactly what you saw.</source>
        <translation>So sehen wir genau, was Sie gesehen haben.</translation>
    </message>
    <message>
        <source>Attach snapshot</source>
        <translation>Bildschirmfoto anhängen</translation>
    </message>
    <message>
        <source>Thank you!</source>
        <translation>Vielen Dank!</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>Couldn't send. Check your connection and try again.</source>
        <translation>Senden fehlgeschlagen. Prüfen Sie Ihre Verbindung und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>(set when you press Send)</source>
        <translation>(wird beim Senden gesetzt)</translation>
    </message>
    <message>
        <source>A snapshot, with the areas you blacked out</source>
        <translation>Ein Schnappschuss, mit den von Ihnen geschwärzten Bereichen</translation>
    </message>
    <message>
        <source>A snapshot of the screen</source>
        <translation>Ein Schnappschuss des Bildschirms</translation>
    </message>
    <message>
        <source>No snapshot</source>
        <translation>Kein Schnappschuss</translation>
    </message>
    <message>
        <source>Hide details…</source>
        <translation>Details verbergen…</translation>
    </message>
    <message>
        <source>Hide parts of the snapshot</source>
        <translation>Teile des Schnappschusses verbergen</translation>
    </message>
    <message>
        <source>Drag over anything you'd rather not send. It is blacked out before the snapshot leaves this computer.</source>
        <translation>Ziehen Sie über alles, was Sie nicht senden möchten. Es wird geschwärzt, bevor der Schnappschuss diesen Computer verlässt.</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Rückgängig</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Alles entfernen</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>What will be sent</source>
        <translation>Was gesendet wird</translation>
    </message>
    <message>
        <source>Exactly these fields go to the people who build it, nothing else.</source>
        <translation>Genau diese Felder gehen an die Menschen, die es entwickeln, sonst nichts.</translation>
    </message>
</context>
<context>
    <name>IdeaNudgeCard</name>
    <message>
        <source>Got an idea? It pays.</source>
        <translation>Eine Idee? Es lohnt sich.</translation>
    </message>
</context>
</TS>