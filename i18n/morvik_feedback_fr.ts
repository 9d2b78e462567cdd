<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>FeedbackBanner</name>
    <message>
        <source>Tell us</source>
        <translation>Dites-le-nous</translation>
    </message>
    <message>
        <source>Share an idea or report a problem</source>
        <translation>Partager une idée ou signaler un problème</translation>
    </message>
    <message>
        <source>Dismiss</source>
        <translation>Ignorer</translation>
    </message>
</context>
<context>
    <name>FeedbackBannerView</name>
    <message>
        <source>Shake detected</source>
        <translation>Secousse détectée</translation>
    </message>
    <message>
        <source>Screenshot taken</source>
        <translation>Capture d’écran effectuée</translation>
    </message>
    <message>
        <source>Ideas we build and bugs we confirm earn $10.</source>
        <translation>Les idées retenues et les bugs confirmés rapportent 10 $.</translation>
    </message>
</context>
<context>
    <name>FeedbackComposerWindow</name>
    <message>
        <source>Send Feedback</source>
        <translation>Envoyer un avis</translation>
    </message>
</context>
<context>
    <name>FeedbackContactUsRow</name>
    <message>
        <source>Contact Us</source>
        <translation>Nous contacter</translation>
    </message>
</context>
<context>
    <name>FeedbackIdeaNudge</name>
    <message>
        <source>Share an idea</source>
        <translation>Partager une idée</translation>
    </message>
    <message>
        <source>Not now</source>
        <translation>Pas maintenant</translation>
    </message>
</context>
<context>
    <name>FeedbackIntent</name>
    <message>
        <source>Share an idea</source>
        <translation>Partager une idée</translation>
    </message>
    <message>
        <source>Idea</source>
        <translation>Idée</translation>
    </message>
    <message>
        <source>What would make this better for you?</source>
        <translation>Qu’est-ce qui l’améliorerait pour vous ?</translation>
    </message>
    <message>
        <source>idea</source>
        <translation>votre idée</translation>
    </message>
    <message>
        <source>Report a bug</source>
        <translation>Signaler un bug</translation>
    </message>
    <message>
        <source>Bug</source>
        <translation>Bug</translation>
    </message>
    <message>
        <source>What went wrong? What did you expect to happen instead?</source>
        <translation>Qu’est-ce qui n’a pas fonctionné ? Qu’attendiez-vous à la place ?</translation>
    </message>
    <message>
        <source>report</source>
        <translation>votre signalement</translation>
    </message>
    <message>
        <source>Send feedback</source>
        <translation>Envoyer un avis</translation>
    </message>
    <message>
        <source>Feedback</source>
        <translation>Avis</translation>
    </message>
    <message>
        <source>What's on your mind? We read every word.</source>
        <translation>Qu’avez-vous en tête ? Nous lisons chaque mot.</translation>
    </message>
    <message>
        <source>feedback</source>
        <translation>votre avis</translation>
    </message>
</context>
<context>
    <name>FeedbackMenu</name>
    <message>
        <source>Send Feedback…</source>
        <translation>Envoyer un avis…</translation>
    </message>
</context>
<context>
    <name>FeedbackScreenshot</name>
    <message>
        <source>Screenshot didn't upload; your words were sent.</source>
        <translation>La capture n’a pas été envoyée ; votre message, si.</translation>
    </message>
</context>
<context>
    <name>FeedbackSettingsSection</name>
    <message>
        <source>Feedback</source>
        <translation>Avis</translation>
    </message>
    <message>
        <source>Report a bug</source>
        <translation>Signaler un bug</translation>
    </message>
    <message>
        <source>Share an idea</source>
        <translation>Partager une idée</translation>
    </message>
    <message>
        <source>Contact Us</source>
        <translation>Nous contacter</translation>
    </message>
</context>
<context>
    <name>FeedbackView</name>
    <message>
        <source>Add a line about your idea, then Send.</source>
        <translation>Quelques mots sur votre idée, puis Envoyer.</translation>
    </message>
    <message>
        <source>Add a line about what went wrong, then Send.</source>
        <translation>Quelques mots sur le problème, puis Envoyer.</translation>
    </message>
    <message>
        <source>Add a line, then Send.</source>
        <translation>Quelques mots, puis Envoyer.</translation>
    </message>
    <message>
        <source>Send is unavailable. %1</source>
        <translation>Envoyer est indisponible. %1</translation>
    </message>
    <message>
        <source>Email (optional, if you'd like a reply)</source>
        <translation>E-mail (facultatif, pour une réponse)</translation>
    </message>
    <message>
        <source>Email (for a reply, and your reward)</source>
        <translation>E-mail (pour une réponse et votre récompense)</translation>
    </message>
    <message>
        <source>It is store credit, good toward anything Velquist sells. </source>
        <translation>C’est un avoir, valable sur tout ce que vend Velquist. </translation>
    </message>
    <message>
        <source>How it works</source>
        <translation>Comment ça marche</translation>
    </message>
    <message>
        <source>Sending…</source>
        <translation>Envoi…</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Envoyer</translation>
    </message>
    <message>
        <source>Your %1 is in.</source>
        <translation>Bien reçu : %1.</translation>
    </message>
    <message>
        <source>We triage every report. Hang onto the code above; it's your reference.</source>
        <translation>Nous examinons chaque signalement. Conservez le code ci-dessus : c’est votre référence.</translation>
    </message>
    <message>
        <source>We read every idea. Hang onto the code above; it's your reference.</source>
        <translation>Nous lisons chaque idée. Conservez le code ci-dessus : c’est votre référence.</translation>
    </message>
    <message>
        <source>It goes straight to the people who build %1.</source>
        <translation>Il va directement aux personnes qui font %1.</translation>
    </message>
    <message>
        <source>Copy reference code %1</source>
        <translation>Copier le code de référence %1</translation>
    </message>
    <message>
        <source>Make %1 better</source>
        <translation>Améliorer %1</translation>
    </message>
    <message>
        <source>Goes straight to the people who build it.</source>
        <translation>Va directement aux personnes qui le font.</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
    <message>
        <source>Attach a snapshot of this screen</source>
        <translation>Joindre une capture de cet écran</translation>
    </message>
    <message>
        <source>Helps us see exactly what you saw.</source>
        <translation>Pour voir exactement ce que vous avez vu.</translation>
    </message>
    <message>
        <source>Attach snapshot</source>
        <translation>Joindre la capture</translation>
    </message>
    <message>
        <source>Thank you!</source>
        <translation>Merci !</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Terminé</translation>
    </message>
    <message>
        <source>Couldn't send. Check your connection and try again.</source>
        <translation>Échec de l’envoi. Vérifiez votre connexion et réessayez.</translation>
    </message>
    <message>
        <source>(set when you press Send)</source>
        <translation>(défini à l’envoi)</translation>
    </message>
    <message>
        <source>A snapshot, with the areas you blacked out</source>
        <translation>Une capture, avec les zones que vous avez masquées</translation>
    </message>
    <message>
        <source>A snapshot of the screen</source>
        <translation>Une capture de l’écran</translation>
    </message>
    <message>
        <source>No snapshot</source>
        <translation>Aucune capture</translation>
    </message>
    <message>
        <source>Hide details…</source>
        <translation>Masquer des détails…</translation>
    </message>
    <message>
        <source>Hide parts of the snapshot</source>
        <translation>Masquer des parties de la capture</translation>
    </message>
    <message>
        <source>Drag over anything you'd rather not send. It is blacked out before the snapshot leaves this computer.</source>
        <translation>Faites glisser sur ce que vous préférez ne pas envoyer. Ce sera noirci avant que la capture ne quitte cet ordinateur.</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Tout effacer</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Retour</translation>
    </message>
    <message>
        <source>What will be sent</source>
        <translation>Ce qui sera envoyé</translation>
    </message>
    <message>
        <source>Exactly these fields go to the people who build it, nothing else.</source>
        <translation>Exactement ces champs parviennent à ceux qui le conçoivent, rien d’autre.</translation>
    </message>
</context>
<context>
    <name>IdeaNudgeCard</name>
    <message>
        <source>Got an idea? It pays.</source>
        <translation>Une idée ? Ça rapporte.</translation>
    </message>
</context>
</TS>