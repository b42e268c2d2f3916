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
        if (entry.text != nullptr || entry.password != nullptr) {
            file += std::string(entry.key) + std::string(entry.afterKey) + windows1252 + "\r\n";
        }
    }
    TempFolder folder;
    testing::writeFile(folder / "Server.INI", file);

    const SettingsDocument document = readSettingsDocument(folder.path());
    const config::FileLock lock = lockSettingsFile(folder.path());
    writeSettingsDocument(document, document.settings, folder.path(), lock);
    const config::FileSettings written =
        config::readSettings(
            config::splitLines(config::readWholeFile(folder / "Server.INI").content))
            .settings;
    const auto fileEntries = config::settingsSchema<config::FileSettings>();
    for (std::size_t i = 0; i < fileEntries.size(); ++i) {
        const config::SettingEntry& entry = config::settingsSchema()[i];
        if (entry.text != nullptr) {
            EXPECT_EQ(document.settings.*entry.text, "R\xC3\xB6ntgen") << entry.key;
            EXPECT_EQ((written.*fileEntries[i].text).bytes, windows1252) << entry.key;
        } else if (entry.password != nullptr) {
            EXPECT_EQ((document.settings.*entry.password).bytes, windows1252) << entry.key;
            EXPECT_EQ((written.*fileEntries[i].password).bytes, windows1252) << entry.key;
        }
    }
}

}  // namespace
}  // namespace veltrona::server
