// Where the build has no DICOM network support, the client says so instead of trying.
#include <gtest/gtest.h>

#include "dicom/DicomEcho.h"

namespace veltrona::dicom {
namespace {

using namespace std::chrono_literals;

TEST(DicomClient, AnswersThatThisBuildHasNoDicomSupport) {
    const auto result = echo("127.0.0.1", 104, "ARCHIVE", "TESTER", 1s);
    EXPECT_EQ(result.status, EchoResult::Status::Unavailable);
    EXPECT_EQ(result.detail, "this build has no DICOM network support");
}

}  // namespace
}  // namespace veltrona::dicom
