// C-ECHO and C-STORE over DCMTK's association layer, every step bounded by one deadline.

#include "dicom/DicomEcho.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <optional>
#include <vector>

#include "dcmtk/config/osconfig.h"  // DCMTK wants its configuration before anything of its own
#include "dcmtk/dcmdata/dcdeftag.h"
#include "dcmtk/dcmdata/dcdict.h"
#include "dcmtk/dcmdata/dcfilefo.h"
#include "dcmtk/dcmdata/dcuid.h"
#include "dcmtk/dcmdata/dcxfer.h"
#include "dcmtk/dcmnet/assoc.h"
#include "dcmtk/dcmnet/dimse.h"
#include "dcmtk/dcmnet/diutil.h"
#include "dcmtk/dcmnet/dul.h"
#include "dcmtk/oflog/oflog.h"
#include "dicom/DeadlineTransportLayer.h"

namespace veltrona::dicom {

namespace {

using Clock = std::chrono::steady_clock;
using Status = EchoResult::Status;

// Process-wide DCMTK settings, made before the first connection.
void prepareDcmtk() {
    static std::once_flag once;
    std::call_once(once, [] {
        // DCMTK disables Nagle's algorithm only when asked; with it on, each small PDU waits
        // for the peer's delayed acknowledgement and one echo takes ~90 ms instead of ~1 ms.
        // A value the user has set is left alone.
        ::setenv("TCP_NODELAY", "1", 0);
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

// DCMTK's condition texts can span lines ("Failed to establish association\nTCP
// Initialization Error: ..."); the last line names the cause.
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

// Why no DICOM server can be called with this AE title (blanks around it do not count);
// empty when it can. An association request holds 16 characters, DCMTK would cut a longer
// title short, and a blank one makes DCMTK's servers drop the connection without an answer.
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

// One association from request to release: owns DCMTK's network, parameters and
// association, and turns whatever goes wrong into a result.
class Exchange {
  public:
    Exchange(const std::string& host, int port, std::chrono::milliseconds timeout)
        : host_(host),
          port_(port),
          timeout_(timeout),
          started_(Clock::now()),
          deadline_(started_ + timeout),
          transport_(deadline_, report_) {}

    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    ~Exchange() {
        if (association_ != nullptr) {
            if (open_) {
                ASC_abortAssociation(association_);
            }
            ASC_destroyAssociation(&association_);  // frees the parameters with it
        } else if (parameters_ != nullptr) {
            ASC_destroyAssociationParameters(&parameters_);
        }
        if (network_ != nullptr) {
            ASC_dropNetwork(&network_);
        }
    }

    // The result for a request that cannot be made at all, or nothing when it can.
    std::optional<EchoResult> checkRequest(const std::string& called, const std::string& calling) {
        if (host_.empty()) {
            return result(Status::Unreachable, "no host given");
        }
        if (port_ < 1 || port_ > 65535) {
            return result(Status::Unreachable, std::to_string(port_) + " is not a TCP port");
        }
        if (timeout_.count() <= 0) {
            return result(Status::TimedOut, "no time given for the exchange");
        }
        // A title no server can be called by is refused here; the detail says nothing was sent.
        called_ = trimmed(called);
        calling_ = trimmed(calling);
        for (const auto& [title, role] : {std::pair{&called_, "called"}, {&calling_, "calling"}}) {
            if (const std::string fault = aeTitleFault(*title); !fault.empty()) {
                return result(Status::Rejected, std::string("not sent: the ") + role +
                                                    " AE title \"" + *title + "\" " + fault);
            }
        }
        return std::nullopt;
    }

    // Adds a presentation context to the request; they are numbered 1, 3, 5... in order.
    void propose(const std::string& abstractSyntax, const std::vector<std::string>& syntaxes) {
        proposals_.push_back({abstractSyntax, syntaxes});
    }

    // Requests the association; the failure, or nothing once it is accepted.
    std::optional<EchoResult> associate() {
        OFCondition condition = ASC_initializeNetwork(NET_REQUESTOR, 0, secondsLeft(), &network_);
        if (condition.good()) {
            condition = ASC_setTransportLayer(network_, &transport_, 0);
        }
        if (condition.good()) {
            condition = ASC_createAssociationParameters(&parameters_, ASC_DEFAULTMAXPDU);
        }
        if (condition.good()) {
            condition = ASC_setAPTitles(parameters_, calling_.c_str(), called_.c_str(), nullptr);
        }
        const std::string peer = host_ + ":" + std::to_string(port_);
        if (condition.good()) {
            condition = ASC_setPresentationAddresses(parameters_, "localhost", peer.c_str());
        }
        T_ASC_PresentationContextID id = 1;
        for (const auto& [abstractSyntax, syntaxes] : proposals_) {
            std::vector<const char*> list;
            for (const auto& syntax : syntaxes) {
                list.push_back(syntax.c_str());
            }
            if (condition.good()) {
                condition = ASC_addPresentationContext(parameters_, id, abstractSyntax.c_str(),
                                                       list.data(), static_cast<int>(list.size()));
            }
            id += 2;
        }
        if (condition.bad()) {
            return result(Status::Unavailable,
                          "cannot prepare the association: " + lastLine(condition));
        }

        dcmConnectionTimeout.set(secondsLeft());
        condition = ASC_requestAssociation(network_, parameters_, &association_, nullptr, nullptr,
                                           DUL_NOBLOCK, secondsLeft());
        if (condition == DUL_ASSOCIATIONREJECTED) {
            T_ASC_RejectParameters reject;
            ASC_getRejectParameters(parameters_, &reject);
            return result(Status::Rejected, "association rejected: " + rejectReason(reject));
        }
        if (condition.bad()) {
            return failure(condition);
        }
        open_ = true;
        if (ASC_countAcceptedPresentationContexts(parameters_) == 0) {
            release();
            return result(Status::Rejected,
                          "association accepted, but none of the proposed presentation contexts");
        }
        return std::nullopt;
    }

    T_ASC_Association* association() { return association_; }

    // DCMTK's timeouts are whole seconds; the transport ends every wait at the deadline.
    int secondsLeft() const {
        const auto left = std::chrono::ceil<std::chrono::seconds>(deadline_ - Clock::now());
        return static_cast<int>(std::max<long long>(left.count(), 1));
    }

    // Releases the association; a peer that does not confirm in time is aborted.
    void release() {
        if (open_ && ASC_releaseAssociation(association_).bad()) {
            ASC_abortAssociation(association_);
        }
        open_ = false;
    }

    // Why an exchange failed, judged first by what the peer did on the wire.
    EchoResult failure(const OFCondition& condition) {
        const std::string peer = host_ + ":" + std::to_string(port_);
        const std::string within = " within " + std::to_string(timeout_.count()) + " ms";
        const bool late = report_.timedOut || Clock::now() >= deadline_;
        if (!report_.connected) {
            return late ? result(Status::TimedOut, "no connection to " + peer + within)
                        : result(Status::Unreachable,
                                 "cannot connect to " + peer + ": " + lastLine(condition));
        }
        // A requestor can only be answered with A-ASSOCIATE-AC (2), -RJ (3) or A-ABORT (7).
        const int first = report_.firstByte;
        if (first >= 0 && first != 0x02 && first != 0x03 && first != 0x07) {
            return result(Status::NotDicom, peer + " answered, but not with DICOM");
        }
        if (late) {
            return result(Status::TimedOut, "no DICOM answer from " + peer + within);
        }
        if (first < 0) {
            return result(Status::NotDicom, peer + " closed the connection without a DICOM answer");
        }
        if (condition == DUL_PEERABORTEDASSOCIATION) {
            return result(Status::Rejected, peer + " aborted the association");
        }
        return result(Status::NotDicom,
                      "no valid DICOM answer from " + peer + ": " + lastLine(condition));
    }

    EchoResult result(Status status, std::string detail = {}) const {
        const std::chrono::duration<double, std::milli> elapsed = Clock::now() - started_;
        return {status, elapsed.count(), std::move(detail)};
    }

  private:
    struct Proposal {
        std::string abstractSyntax;
        std::vector<std::string> syntaxes;
    };

    std::string host_;
    int port_;
    std::chrono::milliseconds timeout_;
    std::string called_;
    std::string calling_;
    Clock::time_point started_;
    Clock::time_point deadline_;
    ConnectionReport report_;
    DeadlineTransportLayer transport_;
    std::vector<Proposal> proposals_;
    T_ASC_Network* network_ = nullptr;
    T_ASC_Parameters* parameters_ = nullptr;
    T_ASC_Association* association_ = nullptr;
    bool open_ = false;
};

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

EchoResult store(const std::string& host, int port, const std::string& calledAeTitle,
                 const std::string& callingAeTitle, const std::string& dicomFile,
                 std::chrono::milliseconds timeout) {
    try {
        return runStore(host, port, calledAeTitle, callingAeTitle, dicomFile, timeout);
    } catch (const std::exception& error) {
        return unexpected(error.what());
    }
}

}  // namespace veltrona::dicom
