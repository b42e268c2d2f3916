// The DICOM echo (C-ECHO) of VeltronaCtl.

#include "dicom/DicomEcho.h"

#include <cstdlib>
#include <exception>
#include <mutex>
#include <optional>
#include <string>

#include "dcmtk/config/osconfig.h"  // DCMTK wants its configuration before anything of its own
#include "dcmtk/dcmdata/dcdicent.h"
#include "dcmtk/dcmdata/dcdict.h"
#include "dcmtk/dcmdata/dcuid.h"
#include "dcmtk/dcmnet/dimse.h"
#include "dcmtk/dcmnet/diutil.h"
#include "dicom/DicomExchange.h"
#include "dicom/Environment.h"

namespace veltrona::dicom {

namespace {

using Status = EchoResult::Status;

EchoResult runEcho(const std::string& host, int port, const std::string& calledAeTitle,
                   const std::string& callingAeTitle, std::chrono::milliseconds timeout) {
    prepareDcmtk();
    Exchange exchange(host, port, timeout);
    if (auto refused = exchange.checkRequest(calledAeTitle, callingAeTitle)) {
        return *refused;
    }
    exchange.propose(UID_VerificationSOPClass, {UID_LittleEndianExplicitTransferSyntax,
                                                UID_LittleEndianImplicitTransferSyntax});
    if (auto failed = exchange.associate()) {
        return *failed;
    }
    T_ASC_Association* association = exchange.association();
    DIC_US status = 0;
    const OFCondition condition =
        DIMSE_echoUser(association, association->nextMsgID++, DIMSE_NONBLOCKING,
                       exchange.secondsLeft(), &status, nullptr);
    if (condition.bad()) {
        return exchange.failure(condition);
    }
    exchange.release();
    if (status != STATUS_Success) {
        return exchange.result(Status::Rejected, "the C-ECHO was answered with status " +
                                                     hexStatus(status) + " (" +
                                                     DU_cechoStatusString(status) + ")");
    }
    return exchange.result(Status::Answered);
}

EchoResult unexpected(const char* what) {
    return {Status::Unavailable, 0, std::string("unexpected failure: ") + what};
}

}  // namespace

void useCommandDictionaryOnly() {
    static std::once_flag once;
    std::call_once(once, [] {
        // The dictionary reads the files DCMDICTPATH names when it is first locked: here an
        // empty one. The variable goes back at once, so a program started later (the server)
        // never sees it.
        const char* before = std::getenv(DCM_DICT_ENVIRONMENT_VARIABLE);
        const std::optional<std::string> saved =
            before ? std::optional<std::string>(before) : std::nullopt;
        setVariable(DCM_DICT_ENVIRONMENT_VARIABLE, emptyFileName, true);
        DcmDataDictionary& dictionary = dcmDataDict.wrlock();
        if (saved) {
            setVariable(DCM_DICT_ENVIRONMENT_VARIABLE, saved->c_str(), true);
        } else {
            unsetVariable(DCM_DICT_ENVIRONMENT_VARIABLE);
        }
        struct Element {
            Uint16 element;
            DcmEVR vr;
            const char* name;
            int vmMax;
        };
        // Group 0000 as the standard's dictionary has it: what a C-ECHO request and its
        // response, or any failure status, may carry.
        static const Element command[] = {
            {0x0000, EVR_UL, "CommandGroupLength", 1},
            {0x0002, EVR_UI, "AffectedSOPClassUID", 1},
            {0x0003, EVR_UI, "RequestedSOPClassUID", 1},
            {0x0100, EVR_US, "CommandField", 1},
            {0x0110, EVR_US, "MessageID", 1},
            {0x0120, EVR_US, "MessageIDBeingRespondedTo", 1},
            {0x0600, EVR_AE, "MoveDestination", 1},
            {0x0700, EVR_US, "Priority", 1},
            {0x0800, EVR_US, "CommandDataSetType", 1},
            {0x0900, EVR_US, "Status", 1},
            {0x0901, EVR_AT, "OffendingElement", DcmVariableVM},
            {0x0902, EVR_LO, "ErrorComment", 1},
            {0x0903, EVR_US, "ErrorID", 1},
            {0x1000, EVR_UI, "AffectedSOPInstanceUID", 1},
            {0x1001, EVR_UI, "RequestedSOPInstanceUID", 1},
        };
        for (const Element& e : command) {
            dictionary.addEntry(new DcmDictEntry(0x0000, e.element, DcmVR(e.vr), e.name, 1, e.vmMax,
                                                 "DICOM", OFFalse, nullptr));
        }
        dcmDataDict.wrunlock();
    });
}

EchoResult echo(const std::string& host, int port, const std::string& calledAeTitle,
                const std::string& callingAeTitle, std::chrono::milliseconds timeout) {
    try {
        return runEcho(host, port, calledAeTitle, callingAeTitle, timeout);
    } catch (const std::exception& error) {
        return unexpected(error.what());
    }
}

}  // namespace veltrona::dicom
