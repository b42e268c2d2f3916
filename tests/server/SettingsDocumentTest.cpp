#include "server/SettingsDocument.h"

#include <gtest/gtest.h>

#include "TempFolder.h"
#include "config/settings/SettingsSchema.h"
#include "config/text/TextLines.h"

namespace veltrona::server {
namespace {

using testing::TempFolder;

// Walks the schema, so a text entry added to it is covered as it is added: each is UTF-8
// in the document and the file's bytes again once written; the password stays as bytes.
TEST(SettingsDocument, HoldsEveryTextInUtf8AndWritesItInTheFilesCodePage) {
    const std::string windows1252 = "R\xF6ntgen";
    std::string file;
    for (const config::SettingEntry& entry : config::settingsSchema()) {
        if (entry.text != nullptr) {
            file += std::string(entry.key) + std::string(entry.afterKey) + windows1252 + "\r\n";
        }
    }
    TempFolder folder;
    testing::writeFile(folder / "Server.INI", file);

    const SettingsDocument document = readSettingsDocument(folder.path());
    const config::FileLock lock = lockSettingsFile(folder.path());
    writeSettingsDocument(document, document.settings, folder.path(), lock);
    const config::ServerSettings written =
        config::readSettings(
            config::splitLines(config::readWholeFile(folder / "Server.INI").content))
            .settings;
    for (const config::SettingEntry& entry : config::settingsSchema()) {
        if (entry.text != nullptr) {
            const bool text = entry.kind == config::SettingKind::Text;
            EXPECT_EQ(document.settings.*entry.text, text ? "R\xC3\xB6ntgen" : windows1252)
                << entry.key;
            EXPECT_EQ(written.*entry.text, windows1252) << entry.key;
        }
    }
}

}  // namespace
}  // namespace veltrona::server
