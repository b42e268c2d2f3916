// The DICOM echo (C-ECHO) of VeltronaCtl.

#include "dicom/DicomEcho.h"

#include <exception>

#include "dcmtk/config/osconfig.h"  // DCMTK wants its configuration before anything of its own
#include "dcmtk/dcmdata/dcuid.h"
#include "dcmtk/dcmnet/dimse.h"
#include "dcmtk/dcmnet/diutil.h"
#include "dicom/DicomExchange.h"

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

EchoResult echo(const std::string& host, int port, const std::string& calledAeTitle,
                const std::string& callingAeTitle, std::chrono::milliseconds timeout) {
    try {
        return runEcho(host, port, calledAeTitle, callingAeTitle, timeout);
    } catch (const std::exception& error) {
        return unexpected(error.what());
    }
}

}  // namespace veltrona::dicom
