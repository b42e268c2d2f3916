#include "dicom/DicomExchange.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "dcmtk/dcmdata/dcdict.h"
#include "dcmtk/oflog/oflog.h"
#include "dicom/Environment.h"

namespace veltrona::dicom {

void prepareDcmtk() {
    static std::once_flag once;
    std::call_once(once, [] {
        // DCMTK disables Nagle's algorithm only when asked; with it on, each small PDU waits
        // for the peer's delayed acknowledgement and one echo takes ~90 ms instead of ~1 ms.
        // A value the user has set is left alone.
        setVariable("TCP_NODELAY", "1", false);
        // Failures are reported in the result; DCMTK's log lines would repeat them on stderr.
        OFLog::getLogger("dcmtk").setLogLevel(OFLogger::OFF_LOG_LEVEL);
        // The data dictionary loads on first use (~10 ms); loading it here keeps that out of
        // the measured round trip.
        dcmDataDict.isDictionaryLoaded();
    });
}

std::string hexStatus(Uint16 status) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(status));
    return text;
}

std::string lastLine(const OFCondition& condition) {
    std::string text = condition.text();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    const auto newline = text.find_last_of('\n');
    return newline == std::string::npos ? text : text.substr(newline + 1);
}

std::string rejectReason(const T_ASC_RejectParameters& reject) {
    switch (reject.reason) {
        case ASC_REASON_SU_CALLEDAETITLENOTRECOGNIZED:
            return "called AE title not recognised";
        case ASC_REASON_SU_CALLINGAETITLENOTRECOGNIZED:
            return "calling AE title not recognised";
        case ASC_REASON_SU_APPCONTEXTNAMENOTSUPPORTED:
            return "application context name not supported";
        case ASC_REASON_SP_ACSE_PROTOCOLVERSIONNOTSUPPORTED:
            return "protocol version not supported";
        case ASC_REASON_SP_PRES_TEMPORARYCONGESTION:
            return "temporary congestion";
        case ASC_REASON_SP_PRES_LOCALLIMITEXCEEDED:
            return "local limit exceeded";
        default:
            return "no reason given";
    }
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string aeTitleFault(const std::string& title) {
    if (title.empty()) {
        return "is empty";
    }
    const bool clean = std::none_of(title.begin(), title.end(), [](char c) {
        return c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
    if (title.size() > 16 || !clean) {
        return "is longer than 16 characters or holds a backslash or control character";
    }
    return {};
}

}  // namespace veltrona::dicom
