#pragma once

#include "morvik_standin_export.h"

#include "RecordedRequest.h"
#include "ScriptedReply.h"

#include <QJsonObject>

class InboxStore;

// The answers of healthy feedback and account services, keeping what they receive in an InboxStore:
//   POST "/report"            JSON object -> 200 {"code": reference}; a resend with the same
//                             client_report_id gets the same code and is kept once. 400 when the body is
//                             not a JSON object.
//   POST "/screenshot"        image bytes -> 200 {"id": id}; the id is a digest of content type and
//                             bytes, so a resend stores nothing new. 400 on an empty body.
//   GET  "/screenshot/<id>"   the stored bytes with their content type; 404 when unknown.
//   GET  "/rewards?app=KEY"   200 with rewards(); 400 without a non-empty "app" item.
//   POST "/diagnostics"       JSON object -> 200 {"code": reference}; the same body twice gets one code.
//   POST "/api/app/struggle"  JSON object with "Authorization: Bearer TOKEN" -> 200
//                             {"accepted": number of events}; a batch with an upload_id seen before
//                             replaces the earlier copy. 401 without a bearer token, 400 when the body is
//                             not a JSON object.
//   GET  "/"                  the inbox page (InboxPage).
//   anything else             404, or 405 for a known path with another method.
class MORVIK_STANDIN_EXPORT HealthyService {
public:
    static ScriptedReply answer(const RecordedRequest& request, InboxStore& store);

    // The rewards object served by GET "/rewards": every key the client decodes, with its type, and
    // values unlike the client's built-in ones, so that a fetched set is recognisable.
    static QJsonObject rewards();

private:
    static ScriptedReply report(const RecordedRequest& request, InboxStore& store);
    static ScriptedReply uploadScreenshot(const RecordedRequest& request, InboxStore& store);
    static ScriptedReply downloadScreenshot(const QString& id, InboxStore& store);
    static ScriptedReply rewardsAnswer(const RecordedRequest& request);
    static ScriptedReply diagnostics(const RecordedRequest& request, InboxStore& store);
    static ScriptedReply struggle(const RecordedRequest& request, InboxStore& store);
};
