// `cmake --install` into a temporary prefix: the programs, the manual where Help finds it, and the
// desktop integration files a desktop needs to list the program and open *.vok files with it.
#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QXmlStreamReader>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/licence.h"
#include "platform/qt/qt_services.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wav_builder.h"

namespace vokra {
namespace {

namespace fs = std::filesystem;

class Install : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        prefix_ = new test::TempDir();
        const std::string command = std::string("\"") + VOKRA_CMAKE_COMMAND + "\" --install \"" +
                                    VOKRA_BINARY_DIR + "\" --prefix \"" + prefix_->Path() +
                                    "\" > \"" + prefix_->File("install.log") + "\" 2>&1";
        status_ = std::system(command.c_str());
    }
    static void TearDownTestSuite() {
        delete prefix_;
        prefix_ = nullptr;
    }
    static std::string At(const std::string& relative) { return prefix_->Path() + "/" + relative; }

    static test::TempDir* prefix_;
    static int status_;
};
test::TempDir* Install::prefix_ = nullptr;
int Install::status_ = -1;

bool WellFormedXml(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return false;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) xml.readNext();
    return !xml.hasError();
}

TEST_F(Install, PutsEveryFileInPlace) {
    ASSERT_EQ(status_, 0) << test::ReadFile(prefix_->File("install.log"));
    for (const char* file :
         {"bin/vokra", "bin/vokra-cli", "share/vokra/manual/manual.html",
          "share/vokra/manual/manual.css", "share/vokra/manual/screenshot.png",
          "share/doc/vokra/copyright", "share/doc/vokra/changelog.gz",
          "share/applications/vokra.desktop", "share/icons/hicolor/scalable/apps/vokra.svg",
          "share/mime/packages/vokra.xml"}) {
        EXPECT_TRUE(fs::is_regular_file(At(file))) << file;
    }
    const auto perms = fs::status(At("bin/vokra")).permissions();
    EXPECT_NE(perms & fs::perms::owner_exec, fs::perms::none);
}

TEST_F(Install, InstalledProgramFindsItsManualWithBothAnchors) {
    ASSERT_EQ(status_, 0);
    QtHelpService help(ManualCandidates(QString::fromStdString(At("bin"))));
    EXPECT_EQ(help.ManualPath().toStdString(), At("share/vokra/manual/manual.html"));
    const std::string html = test::ReadFile(At("share/vokra/manual/manual.html"));
    EXPECT_NE(html.find("id=\"ctx100\""), std::string::npos);
    EXPECT_NE(html.find("id=\"ctx440\""), std::string::npos);
}

TEST_F(Install, DesktopEntryOpensVokDocuments) {
    ASSERT_EQ(status_, 0);
    QSettings entry(QString::fromStdString(At("share/applications/vokra.desktop")),
                    QSettings::IniFormat);
    entry.beginGroup("Desktop Entry");
    EXPECT_EQ(entry.value("Type").toString(), "Application");
    EXPECT_EQ(entry.value("Name").toString(), "Vokra");
    EXPECT_EQ(entry.value("Exec").toString(), "vokra %f");
    EXPECT_EQ(entry.value("Icon").toString(), "vokra");
    // QSettings splits a list at ';' only with quotes; read the raw text instead.
    const std::string text = test::ReadFile(At("share/applications/vokra.desktop"));
    EXPECT_NE(text.find("\nMimeType=application/x-vokra;\n"), std::string::npos);

    const std::string mime = test::ReadFile(At("share/mime/packages/vokra.xml"));
    EXPECT_TRUE(WellFormedXml(At("share/mime/packages/vokra.xml")));
    EXPECT_NE(mime.find("type=\"application/x-vokra\""), std::string::npos);
    EXPECT_NE(mime.find("pattern=\"*.vok\""), std::string::npos);
    EXPECT_TRUE(WellFormedXml(At("share/icons/hicolor/scalable/apps/vokra.svg")));
}

TEST_F(Install, InstalledProgramsAnswer) {
    ASSERT_EQ(status_, 0);
    const std::string log = prefix_->File("run.log");
    EXPECT_EQ(std::system(("\"" + At("bin/vokra") + "\" --version > \"" + log + "\"").c_str()), 0);
    // Both programs say the package's version.
    // ... and the licence, GPL-3.0-or-later.
    const std::string licence = std::string(kCopyrightLine) + "\n" + kLicenceLines;
    EXPECT_EQ(test::ReadFile(log), "Vokra 1.0.0\n" + licence);
    EXPECT_EQ(
        std::system(("\"" + At("bin/vokra-cli") + "\" --version > \"" + log + "\" 2>&1").c_str()),
        0);
    EXPECT_EQ(test::ReadFile(log), "vokra-cli 1.0.0\n" + licence);
}

// The package scripts/package.sh makes comes from the same install rules: a DEB under /usr whose
// Depends line dpkg-shlibdeps computes, named vokra_<version>_<arch>.deb.
TEST(Package, CPackMakesADebianPackageOfTheInstallRules) {
    const std::string config = test::ReadFile(std::string(VOKRA_BINARY_DIR) + "/CPackConfig.cmake");
    for (const char* line :
         {"set(CPACK_GENERATOR \"DEB\")", "set(CPACK_PACKAGE_NAME \"vokra\")",
          "set(CPACK_PACKAGING_INSTALL_PREFIX \"/usr\")",
          "set(CPACK_DEBIAN_FILE_NAME \"DEB-DEFAULT\")",
          "set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS \"ON\")", "set(CPACK_PACKAGE_VERSION \"1.0.0\")"}) {
        EXPECT_NE(config.find(line), std::string::npos) << line;
    }
    // The description is one text, not a list (whose ';' would show in every continuation
    // line), its lines short enough for Debian's tools; the maintainer can be written to.
    const std::string key = "set(CPACK_PACKAGE_DESCRIPTION \"";
    const std::size_t from = config.find(key);
    ASSERT_NE(from, std::string::npos);
    const std::size_t to = config.find("\")", from);
    const std::string description = config.substr(from + key.size(), to - from - key.size());
    EXPECT_EQ(description.find(';'), std::string::npos) << description;
    std::size_t start = 0;
    while (start < description.size()) {
        std::size_t end = description.find('\n', start);
        if (end == std::string::npos) end = description.size();
        EXPECT_LE(end - start, 79u) << description.substr(start, end - start);
        start = end + 1;
    }
    EXPECT_EQ(config.find("@localhost"), std::string::npos);
}

}  // namespace
}  // namespace vokra
