// The stand-in as a DICOM storage server over DCMTK: it answers associations called with
// its AE title on its port, answers C-ECHO and keeps each C-STORE as a file in its image
// folder. Up to `associationSlots` associations are served at once, each by a thread of its
// own, and a peer that stalls loses its association after `stallSeconds`. A termination
// request it can take (SIGTERM, SIGINT; Ctrl+C on Windows) ends it once the associations
// under way have ended, for `drainLimit` at most, while new ones are refused; past that
// limit it still waits for an object being committed to disk until the file is complete
// under its final name, and drops an object still arriving with its temporary file.
// Objects go to disk as they arrive, so an association's memory stays small whatever their
// size. The system's parts are in ServerPlatform.h.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "RunServer.h"
#include "ServerPlatform.h"
#include "StallBoundedLayer.h"
#include "dcmtk/config/osconfig.h"  // DCMTK wants its configuration before anything of its own
#include "dcmtk/dcmdata/dcuid.h"
#include "dcmtk/dcmdata/dcxfer.h"
#include "dcmtk/dcmnet/scp.h"
#include "dcmtk/oflog/oflog.h"
#include "dicom/Environment.h"

namespace veltrona::standin {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Received objects are written under this prefix, the server's process id and a random
// suffix, then renamed; the process id lets a later start clear what a killed server left.
const std::string incomingPrefix = ".incoming-";

// Associations served at the same time. Connections beyond that wait in the listen queue
// until an association ends, which a stalled peer's does within `stallSeconds`.
constexpr int associationSlots = 16;

// How long a termination request waits for the associations under way to end.
constexpr auto drainLimit = std::chrono::seconds(10);

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

// Lets the process end only between commits: termination is held (platform::holdTermination),
// and what takes it closes the gate, waits for the commits under way and removes the files
// still being received, so that no partial object stays behind. A commit that has not
// begun once the gate is closed never begins.
class CommitGate {
  public:
    void enter() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !closed_; });
        ++committing_;
    }
    void leave() {
        std::lock_guard lock(mutex_);
        --committing_;
        changed_.notify_all();
    }
    void close() {
        std::unique_lock lock(mutex_);
        closed_ = true;
        changed_.wait(lock, [this] { return committing_ == 0; });
        for (const fs::path& file : receiving_) {
            std::error_code error;
            fs::remove(file, error);
        }
    }
    void receiving(const fs::path& file) {
        std::lock_guard lock(mutex_);
        receiving_.insert(file);
    }
    void received(const fs::path& file) {
        std::lock_guard lock(mutex_);
        receiving_.erase(file);
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int committing_ = 0;
    bool closed_ = false;
    std::set<fs::path> receiving_;  // temporary files that no commit has taken yet
};

CommitGate commitGate;

// The associations under way, counted from their request to their end, so that a
// termination request lets them finish; once it has come, no new one begins.
class AssociationCount {
  public:
    // False when the server is stopping: the association is to be refused.
    bool begin() {
        std::lock_guard lock(mutex_);
        if (stopping_) {
            return false;
        }
        ++active_;
        return true;
    }
    void end() {
        std::lock_guard lock(mutex_);
        --active_;
        changed_.notify_all();
    }
    // Refuses new associations from now on and waits up to `limit` for those under way.
    void drain(Clock::duration limit) {
        std::unique_lock lock(mutex_);
        stopping_ = true;
        changed_.wait_for(lock, limit, [this] { return active_ == 0; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int active_ = 0;
    bool stopping_ = false;
};

AssociationCount associations;

// A temporary file that an object is being received into, until it is committed or removed.
class Receiving {
  public:
    explicit Receiving(fs::path file) : file_(std::move(file)) { commitGate.receiving(file_); }
    ~Receiving() { commitGate.received(file_); }
    Receiving(const Receiving&) = delete;
    Receiving& operator=(const Receiving&) = delete;

  private:
    fs::path file_;
};

class Commit {
  public:
    Commit() { commitGate.enter(); }
    ~Commit() { commitGate.leave(); }
    Commit(const Commit&) = delete;
    Commit& operator=(const Commit&) = delete;
};

// Opens a new file in the folder under a name nobody can predict: the process id and 64
// random bits. Whatever is there already, a planted link included, is refused. Returns the
// file, or -1.
int createTemporaryFile(const fs::path& folder, fs::path& path) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        char suffix[17];
        std::snprintf(suffix, sizeof suffix, "%016llx",
                      static_cast<unsigned long long>(platform::randomBits()));
        path = folder /
               (incomingPrefix + std::to_string(platform::processId()) + "-" + suffix + ".dcm");
        bool exists = false;
        const int file = platform::createNewFile(path, exists);
        if (file >= 0 || !exists) {
            return file;
        }
    }
    return -1;
}

// Removes the temporary files of servers that no longer run.
void clearAbandonedFiles(const fs::path& folder) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(incomingPrefix, 0) != 0) {
            continue;
        }
        const auto owner = std::strtoull(name.c_str() + incomingPrefix.size(), nullptr, 10);
        if (owner > 0 && !platform::processRuns(owner)) {
            fs::remove(entry.path(), error);
        }
    }
}

class StorageServer : public DcmSCP {
  public:
    StorageServer(const ServerOptions& options, fs::path folder)
        : aeTitle_(trimmed(options.aeTitle)), folder_(std::move(folder)), verbose_(options.debug) {
        // Without a title of its own the server answers whatever title it is called with.
        setAETitle(aeTitle_.c_str());
        setRespondWithCalledAETitle(aeTitle_.empty());
        setHostLookupEnabled(OFFalse);
        setConnectionBlockingMode(DUL_BLOCK);
        setACSETimeout(stallSeconds);
        setDIMSEBlockingMode(DIMSE_NONBLOCKING);
        setDIMSETimeout(stallSeconds);

        const auto syntaxes = storageSyntaxes(options.transferSyntax);
        addPresentationContext(UID_VerificationSOPClass, toList(syntaxes, true));
        for (int i = 0; i < numberOfDcmAllStorageSOPClassUIDs; ++i) {
            addPresentationContext(dcmAllStorageSOPClassUIDs[i], toList(syntaxes, false));
        }
    }

    // Takes the next connection from the network and serves its association to the end.
    void serveNext(T_ASC_Network* network) {
        waitForAssociationRQ(network);
        if (counted_) {
            counted_ = false;
            associations.end();
        }
    }

  protected:
    OFBool checkCalledAETitleAccepted(const OFString& calledAE) override {
        return aeTitle_.empty() || trimmed(calledAE.c_str()) == aeTitle_;
    }

    void notifyAssociationRequest(const T_ASC_Parameters& parameters,
                                  DcmSCPActionType& desiredAction) override {
        peer_ = std::string("\"") + parameters.DULparams.callingAPTitle + "\" at " +
                parameters.DULparams.callingPresentationAddress;
        log("Association request from " + peer_ + " to \"" + parameters.DULparams.calledAPTitle +
            "\"");
        counted_ = associations.begin();
        if (!counted_) {
            desiredAction = DCMSCP_ACTION_REFUSE_ASSOCIATION;
        }
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
                log(counted_ ? "Association refused"
                             : "Association refused: the server is stopping");
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
        // The data set goes to a temporary file in the image folder as it arrives, exactly
        // as it was sent: an association holds no more of an object than DCMTK's buffers,
        // however large the object is. Without a file it is taken and dropped.
        std::error_code error;
        fs::create_directories(folder_, error);
        fs::path temporary;
        const int fd = createTemporaryFile(folder_, temporary);
        std::optional<Receiving> receiving;
        if (fd >= 0) {
            receiving.emplace(temporary);
        }
        const OFCondition received = receiveSTORERequest(request, context.presentationContextID,
                                                         platform::reopenableName(fd, temporary));
        Uint16 status = STATUS_STORE_Refused_OutOfResources;
        if (fd < 0) {
            refused(request, "cannot create a temporary file");
        } else if (received.good()) {
            status = keep(request, fd, temporary);
        } else {
            platform::closeFile(fd);
        }
        if (fd >= 0 && status != STATUS_Success) {
            fs::remove(temporary, error);
        }
        if (received.bad()) {
            return received;
        }
        return sendSTOREResponse(context.presentationContextID, request, status);
    }

  private:
    // Flushes the received file to disk, closes it (Windows renames no open file) and
    // renames it to its final name, so the folder never shows a partly written object
    // under a final name.
    Uint16 keep(const T_DIMSE_C_StoreRQ& request, int fd, const fs::path& temporary) {
        std::string uid = request.AffectedSOPInstanceUID;
        if (!usableAsFileName(uid)) {
            char generated[100];
            uid = dcmGenerateUniqueIdentifier(generated, SITE_INSTANCE_UID_ROOT);
        }
        const fs::path target = folder_ / (uid + ".dcm");

        // The rename replaces whatever has the final name, a link included, and never
        // follows it.
        Commit commit;
        const bool flushed = platform::flushToDisk(fd);
        platform::closeFile(fd);
        if (!flushed) {
            return refused(request, "cannot flush the file to disk");
        }
        std::error_code error;
        fs::rename(temporary, target, error);
        if (error) {
            return refused(request, error.message());
        }
        log("C-STORE of " + std::string(request.AffectedSOPInstanceUID) + " stored as " +
            target.string());
        return STATUS_Success;
    }

    Uint16 refused(const T_DIMSE_C_StoreRQ& request, const std::string& reason) {
        std::cerr << "ZarvoServer.exe: cannot store " << request.AffectedSOPInstanceUID << " in "
                  << folder_ << ": " << reason << std::endl;
        log("C-STORE of " + std::string(request.AffectedSOPInstanceUID) + " refused");
        return STATUS_STORE_Refused_OutOfResources;
    }

    void log(const std::string& line) const {
        if (verbose_) {
            static std::mutex output;
            std::lock_guard lock(output);
            std::cout << line << std::endl;
        }
    }

    std::string aeTitle_;
    fs::path folder_;
    bool verbose_;
    std::string peer_;
    bool counted_ = false;  // the association under way counts in `associations`
};

}  // namespace

int runServer(const ServerOptions& options) {
    // DCMTK disables Nagle's algorithm only when asked; with it on, each small answer waits
    // for the peer's delayed acknowledgement (~40 ms). A value the user has set is kept.
    dicom::setVariable("TCP_NODELAY", "1", false);
    // Associations are logged by the server itself; DCMTK's lines only in verbose mode and
    // only when something goes wrong.
    OFLog::configure(options.debug ? OFLogger::WARN_LOG_LEVEL : OFLogger::OFF_LOG_LEVEL);
    platform::prepareProcess();

    const fs::path folder =
        options.imageFolder.empty() ? fs::path(".") : fs::path(options.imageFolder);
    std::cout << "ZarvoServer stand-in: AE title \"" << options.aeTitle << "\", port "
              << (options.port ? std::to_string(*options.port) : std::string("(none)"))
              << ", images in \"" << options.imageFolder << "\"" << std::endl;
    if (!options.port) {
        std::cerr << "ZarvoServer.exe: no port given, not listening" << std::endl;
        platform::waitForTermination();
    }

    // The image folder is made when the first object arrives.
    clearAbandonedFiles(folder);

    // One server object per slot, made before any thread runs: DCMTK keeps some of their
    // settings in globals.
    std::vector<std::unique_ptr<StorageServer>> servers;
    for (int slot = 0; slot < associationSlots; ++slot) {
        servers.push_back(std::make_unique<StorageServer>(options, folder));
    }
    T_ASC_Network* network = nullptr;
    const OFCondition listening =
        ASC_initializeNetwork(NET_ACCEPTOR, *options.port, stallSeconds, &network);
    if (listening.bad()) {
        std::cerr << "ZarvoServer.exe: cannot listen on port " << *options.port << ": "
                  << listening.text() << std::endl;
        platform::waitForTermination();
    }
    static StallBoundedLayer transport;
    ASC_setTransportLayer(network, &transport, OFFalse);

    platform::holdTermination();
    // Each slot takes the next connection from the shared listening socket itself, so a
    // peer that is slow to send its association request holds up its own slot only.
    for (auto& server : servers) {
        std::thread([&server, network] {
            for (;;) {
                server->serveNext(network);
            }
        }).detach();
    }
    platform::endOnTermination([verbose = options.debug] {
        if (verbose) {
            std::cout << "Ending: new associations are refused, those under way may finish"
                      << std::endl;
        }
        associations.drain(drainLimit);
        commitGate.close();
    });
}

}  // namespace veltrona::standin
