#!/usr/bin/env python3
"""Writes the German and French translations below into i18n/*.ts after `update_translations` has
refreshed the catalogues. Texts missing from the tables stay unfinished (English at run time) and are
listed, so new texts are noticed. Usage: python3 i18n/fill_translations.py"""
import pathlib
import sys
import xml.etree.ElementTree as ET

# (context, source) -> (German, French). A context of None matches the text in any context.
TABLE = {
    ("FeedbackBanner", "Tell us"): ("Mitteilen", "Dites-le-nous"),
    ("FeedbackBanner", "Share an idea or report a problem"):
        ("Eine Idee teilen oder ein Problem melden", "Partager une idée ou signaler un problème"),
    ("FeedbackBanner", "Dismiss"): ("Ausblenden", "Ignorer"),
    ("FeedbackBannerView", "Shake detected"): ("Schütteln erkannt", "Secousse détectée"),
    ("FeedbackBannerView", "Screenshot taken"): ("Bildschirmfoto aufgenommen", "Capture d’écran effectuée"),
    ("FeedbackBannerView", "Ideas we build and bugs we confirm earn $10."):
        ("Umgesetzte Ideen und bestätigte Fehler bringen 10 $.",
         "Les idées retenues et les bugs confirmés rapportent 10 $."),
    (None, "Send Feedback"): ("Feedback senden", "Envoyer un avis"),
    (None, "Send Feedback…"): ("Feedback senden…", "Envoyer un avis…"),
    (None, "Contact Us"): ("Kontakt", "Nous contacter"),
    (None, "Share an idea"): ("Idee teilen", "Partager une idée"),
    (None, "Report a bug"): ("Fehler melden", "Signaler un bug"),
    (None, "Not now"): ("Nicht jetzt", "Pas maintenant"),
    ("FeedbackIntent", "Idea"): ("Idee", "Idée"),
    ("FeedbackIntent", "Bug"): ("Fehler", "Bug"),
    (None, "Feedback"): ("Feedback", "Avis"),
    ("FeedbackIntent", "Send feedback"): ("Feedback senden", "Envoyer un avis"),
    ("FeedbackIntent", "What would make this better for you?"):
        ("Was würde es für Sie besser machen?", "Qu’est-ce qui l’améliorerait pour vous ?"),
    ("FeedbackIntent", "What went wrong? What did you expect to happen instead?"):
        ("Was ist schiefgelaufen? Was hätten Sie stattdessen erwartet?",
         "Qu’est-ce qui n’a pas fonctionné ? Qu’attendiez-vous à la place ?"),
    ("FeedbackIntent", "What's on your mind? We read every word."):
        ("Was möchten Sie uns sagen? Wir lesen jedes Wort.", "Qu’avez-vous en tête ? Nous lisons chaque mot."),
    # The nouns fill "Your %1 is in." and carry their possessive, which depends on the noun's gender.
    ("FeedbackIntent", "idea"): ("Ihre Idee", "votre idée"),
    ("FeedbackIntent", "report"): ("Ihre Meldung", "votre signalement"),
    ("FeedbackIntent", "feedback"): ("Ihr Feedback", "votre avis"),
    ("FeedbackView", "Your %1 is in."): ("%1 ist angekommen.", "Bien reçu : %1."),
    ("FeedbackView", "Add a line about your idea, then Send."):
        ("Ein paar Worte zu Ihrer Idee, dann „Senden“.", "Quelques mots sur votre idée, puis Envoyer."),
    ("FeedbackView", "Add a line about what went wrong, then Send."):
        ("Ein paar Worte zum Problem, dann „Senden“.", "Quelques mots sur le problème, puis Envoyer."),
    ("FeedbackView", "Add a line, then Send."): ("Ein paar Worte, dann „Senden“.", "Quelques mots, puis Envoyer."),
    ("FeedbackView", "Send is unavailable. %1"): ("„Senden“ ist nicht verfügbar. %1", "Envoyer est indisponible. %1"),
    ("FeedbackView", "Email (optional, if you'd like a reply)"):
        ("E-Mail (optional, falls Sie eine Antwort möchten)", "E-mail (facultatif, pour une réponse)"),
    ("FeedbackView", "Email (for a reply, and your reward)"):
        ("E-Mail (für Antwort und Belohnung)", "E-mail (pour une réponse et votre récompense)"),
    ("FeedbackView", "It is store credit, good toward anything Velquist sells. "):
        ("Es ist ein Guthaben für alles, was Velquist verkauft. ",
         "C’est un avoir, valable sur tout ce que vend Velquist. "),
    ("FeedbackView", "How it works"): ("So funktioniert’s", "Comment ça marche"),
    ("FeedbackView", "Sending…"): ("Wird gesendet…", "Envoi…"),
    ("FeedbackView", "Send"): ("Senden", "Envoyer"),
    ("FeedbackView", "We triage every report. Hang onto the code above; it's your reference."):
        ("Wir prüfen jede Meldung. Bewahren Sie den Code oben auf; er ist Ihre Referenz.",
         "Nous examinons chaque signalement. Conservez le code ci-dessus : c’est votre référence."),
    ("FeedbackView", "We read every idea. Hang onto the code above; it's your reference."):
        ("Wir lesen jede Idee. Bewahren Sie den Code oben auf; er ist Ihre Referenz.",
         "Nous lisons chaque idée. Conservez le code ci-dessus : c’est votre référence."),
    ("FeedbackView", "It goes straight to the people who build %1."):
        ("Es geht direkt an die Menschen, die %1 entwickeln.", "Il va directement aux personnes qui font %1."),
    ("FeedbackView", "Copy reference code %1"): ("Referenzcode %1 kopieren", "Copier le code de référence %1"),
    ("FeedbackView", "Make %1 better"): ("%1 verbessern", "Améliorer %1"),
    ("FeedbackView", "Goes straight to the people who build it."):
        ("Geht direkt an die Menschen, die es entwickeln.", "Va directement aux personnes qui le font."),
    (None, "Close"): ("Schließen", "Fermer"),
    ("FeedbackView", "Attach a snapshot of this screen"):
        ("Bildschirmfoto dieser Ansicht anhängen", "Joindre une capture de cet écran"),
    ("FeedbackView", "Helps us see exactly what you saw."):
        ("So sehen wir genau, was Sie gesehen haben.", "Pour voir exactement ce que vous avez vu."),
    ("FeedbackView", "Attach snapshot"): ("Bildschirmfoto anhängen", "Joindre la capture"),
    ("FeedbackView", "Thank you!"): ("Vielen Dank!", "Merci !"),
    (None, "Done"): ("Fertig", "Terminé"),
    ("FeedbackView", "(set when you press Send)"): ("(wird beim Senden gesetzt)", "(défini à l’envoi)"),
    ("FeedbackView", "A snapshot, with the areas you blacked out"):
        ("Ein Schnappschuss, mit den von Ihnen geschwärzten Bereichen",
         "Une capture, avec les zones que vous avez masquées"),
    ("FeedbackView", "A snapshot of the screen"): ("Ein Schnappschuss des Bildschirms", "Une capture de l’écran"),
    ("FeedbackView", "No snapshot"): ("Kein Schnappschuss", "Aucune capture"),
    ("FeedbackView", "Hide details…"): ("Details verbergen…", "Masquer des détails…"),
    ("FeedbackView", "Hide parts of the snapshot"):
        ("Teile des Schnappschusses verbergen", "Masquer des parties de la capture"),
    ("FeedbackView", "Drag over anything you'd rather not send. It is blacked out before the snapshot leaves this computer."):
        ("Ziehen Sie über alles, was Sie nicht senden möchten. Es wird geschwärzt, bevor der Schnappschuss diesen Computer verlässt.",
         "Faites glisser sur ce que vous préférez ne pas envoyer. Ce sera noirci avant que la capture ne quitte cet ordinateur."),
    ("FeedbackView", "Undo"): ("Rückgängig", "Annuler"),
    ("FeedbackView", "Clear"): ("Alles entfernen", "Tout effacer"),
    ("FeedbackView", "Back"): ("Zurück", "Retour"),
    ("FeedbackView", "What will be sent"): ("Was gesendet wird", "Ce qui sera envoyé"),
    ("FeedbackView", "Exactly these fields go to the people who build it, nothing else."):
        ("Genau diese Felder gehen an die Menschen, die es entwickeln, sonst nichts.",
         "Exactement ces champs parviennent à ceux qui le conçoivent, rien d’autre."),
    ("FeedbackView", "Couldn't send. Check your connection and try again."):
        ("Senden fehlgeschlagen. Prüfen Sie Ihre Verbindung und versuchen Sie es erneut.",
         "Échec de l’envoi. Vérifiez votre connexion et réessayez."),
    ("IdeaNudgeCard", "Got an idea? It pays."): ("Eine Idee? Es lohnt sich.", "Une idée ? Ça rapporte."),
    ("FeedbackScreenshot", "Screenshot didn't upload; your words were sent."):
        ("Das Bildschirmfoto wurde nicht hochgeladen; Ihr Text wurde gesendet.",
         "La capture n’a pas été envoyée ; votre message, si."),
}

LANGUAGES = {"de": 0, "fr": 1}


def main() -> int:
    folder = pathlib.Path(__file__).resolve().parent
    missing = set()
    for language, column in LANGUAGES.items():
        path = folder / f"morvik_feedback_{language}.ts"
        tree = ET.parse(path)
        for context in tree.getroot().iter("context"):
            name = context.findtext("name")
            for message in context.iter("message"):
                source = message.findtext("source")
                entry = TABLE.get((name, source)) or TABLE.get((None, source))
                translation = message.find("translation")
                if translation is None:
                    translation = ET.SubElement(message, "translation")
                if entry is None:
                    missing.add((name, source))
                    translation.text = None
                    translation.set("type", "unfinished")
                    continue
                translation.text = entry[column]
                translation.attrib.pop("type", None)
        tree.write(path, encoding="utf-8", xml_declaration=True)
        text = path.read_text(encoding="utf-8")
        path.write_text(text.replace("<?xml version='1.0' encoding='utf-8'?>",
                                     '<?xml version="1.0" encoding="utf-8"?>\n<!DOCTYPE TS>'), encoding="utf-8")
    for name, source in sorted(missing, key=str):
        print(f"untranslated: {name}: {source!r}", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
