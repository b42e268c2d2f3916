// The store client (C-STORE) that the test suites and benchmarks send images with, on the
// association of the product's echo.

#include "DicomStore.h"

#include <exception>

#include "dcmtk/config/osconfig.h"  // DCMTK wants its configuration before anything of its own
#include "dcmtk/dcmdata/dcdeftag.h"
#include "dcmtk/dcmdata/dcfilefo.h"
#include "dcmtk/dcmdata/dcuid.h"
#include "dcmtk/dcmdata/dcxfer.h"
#include "dcmtk/dcmnet/dimse.h"
#include "dcmtk/dcmnet/diutil.h"
#include "dicom/DicomExchange.h"

namespace veltrona::dicom {

namespace {

using Status = EchoResult::Status;

EchoResult runStore(const std::string& host, int port, const std::string& calledAeTitle,
                    const std::string& callingAeTitle, const std::string& dicomFile,
                    std::chrono::milliseconds timeout) {
    prepareDcmtk();
    Exchange exchange(host, port, timeout);
    if (auto refused = exchange.checkRequest(calledAeTitle, callingAeTitle)) {
        return *refused;
    }
    DcmFileFormat file;
    const OFCondition loaded = file.loadFile(dicomFile.c_str());
    if (loaded.bad()) {
        return exchange.result(Status::Unavailable,
                               "cannot read " + dicomFile + ": " + lastLine(loaded));
    }
    DcmDataset* dataset = file.getDataset();
    OFString sopClass;
    OFString sopInstance;
    dataset->findAndGetOFString(DCM_SOPClassUID, sopClass);
    dataset->findAndGetOFString(DCM_SOPInstanceUID, sopInstance);
    if (sopClass.empty() || sopInstance.empty()) {
        return exchange.result(Status::Unavailable,
                               dicomFile + " has no SOP Class UID or SOP Instance UID");
    }

    // Uncompressed data can be sent in any uncompressed transfer syntax; compressed data
    // only as it is, since this library carries no codecs.
    const DcmXfer own(dataset->getOriginalXfer());
    std::vector<std::string> syntaxes{own.getXferID()};
    if (!own.isEncapsulated()) {
        for (const char* other :
             {UID_LittleEndianExplicitTransferSyntax, UID_LittleEndianImplicitTransferSyntax}) {
            if (syntaxes.front() != other) {
                syntaxes.push_back(other);
            }
        }
    }
    exchange.propose(sopClass.c_str(), syntaxes);
    if (auto failed = exchange.associate()) {
        return *failed;
    }
    T_ASC_Association* association = exchange.association();
    const T_ASC_PresentationContextID context =
        ASC_findAcceptedPresentationContextID(association, sopClass.c_str());
    if (context == 0) {
        exchange.release();
        return exchange.result(Status::Rejected, "the peer accepts no objects of SOP class " +
                                                     std::string(sopClass.c_str()) + " in " +
                                                     own.getXferName());
    }

    T_DIMSE_C_StoreRQ request{};
    request.MessageID = association->nextMsgID++;
    OFStandard::strlcpy(request.AffectedSOPClassUID, sopClass.c_str(),
                        sizeof request.AffectedSOPClassUID);
    OFStandard::strlcpy(request.AffectedSOPInstanceUID, sopInstance.c_str(),
                        sizeof request.AffectedSOPInstanceUID);
    request.DataSetType = DIMSE_DATASET_PRESENT;
    request.Priority = DIMSE_PRIORITY_MEDIUM;
    T_DIMSE_C_StoreRSP response{};
    const OFCondition condition =
        DIMSE_storeUser(association, context, &request, nullptr, dataset, nullptr, nullptr,
                        DIMSE_NONBLOCKING, exchange.secondsLeft(), &response, nullptr);
    if (condition.bad()) {
        return exchange.failure(condition);
    }
    exchange.release();
    if (response.DimseStatus != STATUS_Success) {
        return exchange.result(Status::Rejected, "the C-STORE was answered with status " +
                                                     hexStatus(response.DimseStatus) + " (" +
                                                     DU_cstoreStatusString(response.DimseStatus) +
                                                     ")");
    }
    return exchange.result(Status::Answered);
}

}  // namespace

EchoResult store(const std::string& host, int port, const std::string& calledAeTitle,
                 const std::string& callingAeTitle, const std::string& dicomFile,
                 std::chrono::milliseconds timeout) {
    try {
        return runStore(host, port, calledAeTitle, callingAeTitle, dicomFile, timeout);
    } catch (const std::exception& error) {
        return {Status::Unavailable, 0, std::string("unexpected failure: ") + error.what()};
    }
}

}  // namespace veltrona::dicom
