// One DICOM association from request to release over DCMTK, every step bounded by one
// deadline: what the echo of VeltronaCtl is made of, and what the test suites' store
// client builds on.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "dcmtk/config/osconfig.h"  // DCMTK wants its configuration before anything of its own
#include "dcmtk/dcmnet/assoc.h"
#include "dcmtk/dcmnet/dul.h"
#include "dicom/DeadlineTransportLayer.h"
#include "dicom/DicomEcho.h"

namespace veltrona::dicom {

// Process-wide DCMTK settings, made before the first connection.
void prepareDcmtk();

// A DIMSE status as "0x%04X".
std::string hexStatus(Uint16 status);

// DCMTK's condition texts can span lines ("Failed to establish association\nTCP
// Initialization Error: ..."); the last line names the cause.
std::string lastLine(const OFCondition& condition);

std::string rejectReason(const T_ASC_RejectParameters& reject);

// `text` without the blanks around it.
std::string trimmed(const std::string& text);

// Why no DICOM server can be called with this AE title (blanks around it do not count);
// empty when it can. An association request holds 16 characters, DCMTK would cut a longer
// title short, and a blank one makes DCMTK's servers drop the connection without an answer.
std::string aeTitleFault(const std::string& title);

// One association from request to release: owns DCMTK's network, parameters and
// association, and turns whatever goes wrong into a result.
class Exchange {
  public:
    using Clock = std::chrono::steady_clock;
    using Status = EchoResult::Status;

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
        const std::string peer = host_ + ":" + std::to_string(port_);
        if (std::string why; !transport_.connect(host_, port_, why)) {
            return report_.timedOut
                       ? result(Status::TimedOut, "no connection to " + peer + within())
                       : result(Status::Unreachable, "cannot connect to " + peer + ": " + why);
        }
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
        // DCMTK connects to the relay; the connection made above takes its place.
        const std::string relay = transport_.relayAddress();
        if (condition.good()) {
            condition = ASC_setPresentationAddresses(parameters_, "localhost", relay.c_str());
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
        const bool late = report_.timedOut || Clock::now() >= deadline_;
        if (!report_.connected) {
            return late ? result(Status::TimedOut, "no connection to " + peer + within())
                        : result(Status::Unreachable,
                                 "cannot connect to " + peer + ": " + lastLine(condition));
        }
        // A requestor can only be answered with A-ASSOCIATE-AC (2), -RJ (3) or A-ABORT (7).
        const int first = report_.firstByte;
        if (first >= 0 && first != 0x02 && first != 0x03 && first != 0x07) {
            return result(Status::NotDicom, peer + " answered, but not with DICOM");
        }
        if (late) {
            return result(Status::TimedOut, "no DICOM answer from " + peer + within());
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
    std::string within() const { return " within " + std::to_string(timeout_.count()) + " ms"; }

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

}  // namespace veltrona::dicom
