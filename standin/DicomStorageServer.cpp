// The stand-in as a DICOM storage server over DCMTK: it answers associations called with
// its AE title on its port, answers C-ECHO and keeps each C-STORE as a file in its image
// folder. It installs no signal handler: a termination signal ends it at once, except while
// a received object is being committed to disk, when the signal waits until the file is
// complete under its final name.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "RunServer.h"
#include "dcmtk/config/osconfig.h"  // DCMTK wants its configuration before anything of its own
#include "dcmtk/dcmdata/dcfilefo.h"
#include "dcmtk/dcmdata/dcuid.h"
#include "dcmtk/dcmdata/dcxfer.h"
#include "dcmtk/dcmnet/scp.h"
#include "dcmtk/oflog/oflog.h"

namespace veltrona::standin {

namespace {

namespace fs = std::filesystem;

// Received objects are written under this prefix, the server's process id and a counter,
// then renamed; the process id lets a later start clear what a killed server left.
const std::string incomingPrefix = ".incoming-";

// Transfer syntaxes accepted for stored objects, most preferred first.
std::vector<OFString> storageSyntaxes(const std::string& option) {
    const OFString explicitLittle = UID_LittleEndianExplicitTransferSyntax;
    const OFString implicitLittle = UID_LittleEndianImplicitTransferSyntax;
    const OFString jpegLossless = UID_JPEGProcess14SV1TransferSyntax;
    const OFString jpegBaseline = UID_JPEGProcess1TransferSyntax;
    if (option == "+x=") {
        return {explicitLittle, implicitLittle};
    }
    if (option == "+xs") {
        return {jpegLossless, explicitLittle, implicitLittle};
    }
    if (option == "+xy") {
        return {jpegBaseline, explicitLittle, implicitLittle};
    }
    if (option == "+xi") {
        return {implicitLittle};
    }
    // No option, or a profile: uncompressed first, and both JPEG kinds the options name.
    return {explicitLittle, implicitLittle, jpegLossless, jpegBaseline};
}

OFList<OFString> toList(const std::vector<OFString>& syntaxes, bool uncompressedOnly) {
    OFList<OFString> list;
    for (const auto& syntax : syntaxes) {
        if (!uncompressedOnly || !DcmXfer(syntax.c_str()).isEncapsulated()) {
            list.push_back(syntax);
        }
    }
    return list;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A SOP Instance UID is digits and dots; anything else never becomes a file name.
bool usableAsFileName(const std::string& uid) {
    return !uid.empty() && uid.size() <= 64 && uid.front() != '.' &&
           uid.find_first_not_of("0123456789.") == std::string::npos;
}

// Termination signals are held back while it lives and delivered when it ends.
class SignalHold {
  public:
    SignalHold() {
        sigset_t held;
        sigemptyset(&held);
        for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
            sigaddset(&held, signal);
        }
        sigprocmask(SIG_BLOCK, &held, &previous_);
    }
    ~SignalHold() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
    SignalHold(const SignalHold&) = delete;
    SignalHold& operator=(const SignalHold&) = delete;

  private:
    sigset_t previous_;
};

// Removes the temporary files of servers that no longer run.
void clearAbandonedFiles(const fs::path& folder) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(incomingPrefix, 0) != 0) {
            continue;
        }
        const long owner = std::strtol(name.c_str() + incomingPrefix.size(), nullptr, 10);
        if (owner > 0 && ::kill(static_cast<pid_t>(owner), 0) != 0 && errno == ESRCH) {
            fs::remove(entry.path(), error);
        }
    }
}

class StorageServer : public DcmSCP {
  public:
    StorageServer(const ServerOptions& options, fs::path folder)
        : aeTitle_(trimmed(options.aeTitle)), folder_(std::move(folder)), verbose_(options.debug) {
        setPort(static_cast<Uint16>(*options.port));
        // Without a title of its own the server answers whatever title it is called with.
        setAETitle(aeTitle_.c_str());
        setRespondWithCalledAETitle(aeTitle_.empty());
        setHostLookupEnabled(OFFalse);
        setConnectionBlockingMode(DUL_BLOCK);
        // One association at a time: a peer that goes quiet must not hold the server for ever.
        setACSETimeout(10);
        setDIMSEBlockingMode(DIMSE_NONBLOCKING);
        setDIMSETimeout(30);

        const auto syntaxes = storageSyntaxes(options.transferSyntax);
        addPresentationContext(UID_VerificationSOPClass, toList(syntaxes, true));
        for (int i = 0; i < numberOfDcmAllStorageSOPClassUIDs; ++i) {
            addPresentationContext(dcmAllStorageSOPClassUIDs[i], toList(syntaxes, false));
        }
    }

  protected:
    OFBool checkCalledAETitleAccepted(const OFString& calledAE) override {
        return aeTitle_.empty() || trimmed(calledAE.c_str()) == aeTitle_;
    }

    void notifyAssociationRequest(const T_ASC_Parameters& parameters,
                                  DcmSCPActionType& /*desiredAction*/) override {
        peer_ = std::string("\"") + parameters.DULparams.callingAPTitle + "\" at " +
                parameters.DULparams.callingPresentationAddress;
        log("Association request from " + peer_ + " to \"" + parameters.DULparams.calledAPTitle +
            "\"");
    }

    void refuseAssociation(const DcmRefuseReasonType reason) override {
        switch (reason) {
            case DCMSCP_CALLED_AE_TITLE_NOT_RECOGNIZED:
                log("Association refused: called AE title not recognised");
                break;
            case DCMSCP_NO_PRESENTATION_CONTEXTS:
                log("Association refused: no acceptable presentation context");
                break;
            default:
                log("Association refused");
                break;
        }
        DcmSCP::refuseAssociation(reason);
    }

    void notifyAssociationAcknowledge() override { log("Association accepted"); }
    void notifyReleaseRequest() override { log("Association released"); }
    void notifyAbortRequest() override { log("Association aborted by " + peer_); }
    void notifyDIMSEError(const OFCondition& condition) override {
        log(std::string("Association ended: ") + condition.text());
    }

    OFCondition handleECHORequest(T_DIMSE_C_EchoRQ& request,
                                  const T_ASC_PresentationContextID context) override {
        const OFCondition answered = DcmSCP::handleECHORequest(request, context);
        log(answered.good() ? "C-ECHO answered"
                            : "C-ECHO not answered: " + std::string(answered.text()));
        return answered;
    }

    OFCondition handleIncomingCommand(T_DIMSE_Message* message,
                                      const DcmPresentationContextInfo& context) override {
        if (message->CommandField != DIMSE_C_STORE_RQ) {
            return DcmSCP::handleIncomingCommand(message, context);
        }
        T_DIMSE_C_StoreRQ& request = message->msg.CStoreRQ;
        DcmDataset* received = nullptr;
        const OFCondition condition =
            receiveSTORERequest(request, context.presentationContextID, received);
        std::unique_ptr<DcmDataset> dataset(received);
        if (condition.bad()) {
            return condition;
        }
        const E_TransferSyntax syntax = DcmXfer(context.acceptedTransferSyntax.c_str()).getXfer();
        const Uint16 status = keep(request, std::move(dataset), syntax);
        return sendSTOREResponse(context.presentationContextID, request, status);
    }

  private:
    // Writes the object to a temporary file in the image folder and renames it to its
    // final name, so the folder never shows a partly written object under a final name.
    Uint16 keep(const T_DIMSE_C_StoreRQ& request, std::unique_ptr<DcmDataset> dataset,
                E_TransferSyntax syntax) {
        std::string uid = request.AffectedSOPInstanceUID;
        if (!usableAsFileName(uid)) {
            char generated[100];
            uid = dcmGenerateUniqueIdentifier(generated, SITE_INSTANCE_UID_ROOT);
        }
        const fs::path target = folder_ / (uid + ".dcm");
        const fs::path temporary = folder_ / (incomingPrefix + std::to_string(::getpid()) + "-" +
                                              std::to_string(++stored_) + ".dcm");

        SignalHold hold;
        std::error_code error;
        fs::create_directories(folder_, error);
        DcmFileFormat file(dataset.release(), OFFalse);
        OFCondition written = file.saveFile(temporary.c_str(), syntax, EET_ExplicitLength);
        if (written.good() && !flushToDisk(temporary)) {
            written = makeOFCondition(0, 1, OF_error, "cannot flush the file to disk");
        }
        if (written.good()) {
            fs::rename(temporary, target, error);
        }
        if (written.bad() || error) {
            fs::remove(temporary, error);
            std::cerr << "ZarvoServer.exe: cannot store " << request.AffectedSOPInstanceUID
                      << " in " << folder_ << ": "
                      << (written.bad() ? written.text() : error.message()) << std::endl;
            log("C-STORE of " + std::string(request.AffectedSOPInstanceUID) + " refused");
            return STATUS_STORE_Refused_OutOfResources;
        }
        log("C-STORE of " + std::string(request.AffectedSOPInstanceUID) + " stored as " +
            target.string());
        return STATUS_Success;
    }

    static bool flushToDisk(const fs::path& path) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            return false;
        }
        const bool flushed = ::fsync(fd) == 0;
        ::close(fd);
        return flushed;
    }

    void log(const std::string& line) const {
        if (verbose_) {
            std::cout << line << std::endl;
        }
    }

    std::string aeTitle_;
    fs::path folder_;
    bool verbose_;
    std::string peer_;
    unsigned long stored_ = 0;
};

// What a server that cannot listen does: it stays a running process, as the tool expects
// of a started server, and answers nothing.
[[noreturn]] void waitForTermination() {
    for (;;) {
        ::pause();
    }
}

}  // namespace

int runServer(const ServerOptions& options) {
    // DCMTK disables Nagle's algorithm only when asked; with it on, each small answer waits
    // for the peer's delayed acknowledgement (~40 ms). A value the user has set is kept.
    ::setenv("TCP_NODELAY", "1", 0);
    // Associations are logged by the server itself; DCMTK's lines only in verbose mode and
    // only when something goes wrong.
    OFLog::configure(options.debug ? OFLogger::WARN_LOG_LEVEL : OFLogger::OFF_LOG_LEVEL);
    // A peer that vanishes while it is being answered must not end the server.
    ::signal(SIGPIPE, SIG_IGN);

    const fs::path folder =
        options.imageFolder.empty() ? fs::path(".") : fs::path(options.imageFolder);
    std::cout << "ZarvoServer stand-in: AE title \"" << options.aeTitle << "\", port "
              << (options.port ? std::to_string(*options.port) : std::string("(none)"))
              << ", images in \"" << options.imageFolder << "\"" << std::endl;
    if (!options.port) {
        std::cerr << "ZarvoServer.exe: no port given, not listening" << std::endl;
        waitForTermination();
    }

    // The image folder is made when the first object arrives.
    clearAbandonedFiles(folder);

    StorageServer server(options, folder);
    const OFCondition listening = server.openListenPort();
    if (listening.bad()) {
        std::cerr << "ZarvoServer.exe: cannot listen on port " << *options.port << ": "
                  << listening.text() << std::endl;
        waitForTermination();
    }
    const OFCondition ended = server.acceptAssociations();
    std::cerr << "ZarvoServer.exe: stopped serving: " << ended.text() << std::endl;
    return 1;
}

}  // namespace veltrona::standin
