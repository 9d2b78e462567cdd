#pragma once

#include "morvik_platform_network_export.h"

#include "HttpSession.h"
#include "HttpVerdict.h"

#include <span>

// How one service path reads HTTP answers: a table of status ranges with a verdict each, and the
// verdict of every status the table does not list. The tables of all paths are kept together in
// HttpClassification.cpp, so that what each path does with a 403 or a 429 can be read in one place.
// The paths turn a verdict into their own outcome (SendOutcome, ScreenshotUploadError, the records'
// settling), adding what only they know, such as the body a 2xx must carry.
class MORVIK_PLATFORM_NETWORK_EXPORT HttpClassification {
public:
    struct Rule {
        int first; // status range, both ends included
        int last;
        HttpVerdict verdict;
    };

    // POST "/report": 2xx accepted, 403 refused, everything else kept in the outbox for a later flush.
    static const HttpClassification& report();
    // POST "/screenshot": 2xx accepted; 408, 413, 429 and 5xx tried once more; everything else refused.
    static const HttpClassification& snapshot();
    // POST "/api/app/struggle": 2xx accepted; 400 and 413 dropped; everything else kept for later.
    static const HttpClassification& records();
    // POST "/diagnostics": 2xx accepted; anything else leaves the run without a bundle.
    static const HttpClassification& diagnostics();
    // GET "/rewards": exactly 200 accepted; anything else leaves the stored wording alone.
    static const HttpClassification& rewards();

    HttpVerdict verdict(int status) const;
    // A request the session would not send (a header with a control character) is refused: sending it
    // again cannot help. Any other exchange without a complete answer is a transport failure.
    HttpVerdict verdict(const HttpResult& result) const;

    std::span<const Rule> rules() const { return rules_; }
    HttpVerdict otherwise() const { return otherwise_; }

    constexpr HttpClassification(std::span<const Rule> rules, HttpVerdict otherwise)
        : rules_(rules)
        , otherwise_(otherwise) {}

private:
    std::span<const Rule> rules_;
    HttpVerdict otherwise_;
};
