#pragma once

#include <ostream>

// What one HTTP exchange came to, as the calling path reads the service's answer.
enum class HttpVerdict {
    accepted,         // the service took the request
    refused,          // declined: the same request would be declined again, so it is not repeated
    tryLater,         // not taken now; the same request may be taken later
    transportFailure, // no complete answer arrived (refused connection, reset, time-out)
};

inline const char* httpVerdictName(HttpVerdict verdict) {
    switch (verdict) {
    case HttpVerdict::accepted:
        return "accepted";
    case HttpVerdict::refused:
        return "refused";
    case HttpVerdict::tryLater:
        return "tryLater";
    case HttpVerdict::transportFailure:
        return "transportFailure";
    }
    return "?";
}

inline std::ostream& operator<<(std::ostream& out, HttpVerdict verdict) {
    return out << httpVerdictName(verdict);
}
