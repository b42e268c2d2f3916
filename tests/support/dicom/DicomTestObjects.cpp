#include "DicomTestObjects.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

#include "dcmtk/dcmdata/dcdeftag.h"
#include "dcmtk/dcmdata/dcfilefo.h"
#include "dcmtk/dcmdata/dcmetinf.h"
#include "dcmtk/dcmdata/dcuid.h"

namespace veltrona::dicom::testing {

namespace fs = std::filesystem;

int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

std::string writeImage(const fs::path& path, Uint16 side, E_TransferSyntax syntax) {
    char uid[100];
    const std::string instance = dcmGenerateUniqueIdentifier(uid, SITE_INSTANCE_UID_ROOT);
    DcmFileFormat file;
    DcmDataset* data = file.getDataset();
    data->putAndInsertString(DCM_SOPClassUID, UID_SecondaryCaptureImageStorage);
    data->putAndInsertString(DCM_SOPInstanceUID, instance.c_str());
    data->putAndInsertString(DCM_StudyInstanceUID,
                             dcmGenerateUniqueIdentifier(uid, SITE_STUDY_UID_ROOT));
    data->putAndInsertString(DCM_SeriesInstanceUID,
                             dcmGenerateUniqueIdentifier(uid, SITE_SERIES_UID_ROOT));
    data->putAndInsertString(DCM_PatientName, "Stand-in^Test");
    data->putAndInsertString(DCM_PatientID, "VT-1");
    data->putAndInsertString(DCM_Modality, "OT");
    data->putAndInsertUint16(DCM_SamplesPerPixel, 1);
    data->putAndInsertString(DCM_PhotometricInterpretation, "MONOCHROME2");
    data->putAndInsertUint16(DCM_Rows, side);
    data->putAndInsertUint16(DCM_Columns, side);
    data->putAndInsertUint16(DCM_BitsAllocated, 8);
    data->putAndInsertUint16(DCM_BitsStored, 8);
    data->putAndInsertUint16(DCM_HighBit, 7);
    data->putAndInsertUint16(DCM_PixelRepresentation, 0);
    const std::vector<Uint8> bytes(std::size_t{side} * side, 0x5A);
    data->putAndInsertUint8Array(DCM_PixelData, bytes.data(), bytes.size());
    if (file.saveFile(path.c_str(), syntax).bad()) {
        throw std::runtime_error("cannot write " + path.string());
    }
    return instance;
}

StoredObject readStored(const fs::path& path) {
    DcmFileFormat file;
    OFString instance;
    OFString syntax;
    if (file.loadFile(path.c_str()).good()) {
        file.getDataset()->findAndGetOFString(DCM_SOPInstanceUID, instance);
        file.getMetaInfo()->findAndGetOFString(DCM_TransferSyntaxUID, syntax);
    }
    return {instance.c_str(), syntax.c_str()};
}

}  // namespace veltrona::dicom::testing
