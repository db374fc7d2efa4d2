// SPDX-License-Identifier: GPL-3.0-or-later
// The program's help: where F1 finds it (the help file in the start directory, the manual beside the
// program as a build leaves it, the manual where the package installs it) and how it shows the manual, in
// the browser or, when the desktop cannot open it, in the help window, whose links stay in the manual.
#include "app/resources/program_help.h"

#include <QDir>
#include <QPushButton>
#include <QTextBrowser>
#include <fstream>

#include "../ui_controls/test_doubles.h"
#include "app_fixture.h"
#include "ui/help/help_window.h"

namespace ostrum::app::testing {
namespace {

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

// A start directory and a program installed under a prefix: prefix/bin holds the program.
struct Installation {
    TestFolder folder;
    HelpPlaces places{folder.qpath("start"), manualFoldersOf(folder.qpath("prefix/bin"))};
    std::filesystem::path installedManual = folder.path("prefix/share/doc/ostrum-tape/manual");
    std::filesystem::path buildManual = folder.path("prefix/bin/manual");
};

TEST(ProgramHelp, TheHelpFileInTheStartDirectoryComesFirstThenTheManualBesideTheProgramThenTheInstalledOne) {
    Installation at;
    std::filesystem::create_directories(at.folder.path("start"));
    EXPECT_EQ(findHelp(at.places).kind, HelpKind::None);

    writeFile(at.installedManual / "index.html", "<h1>installed</h1>");
    HelpTarget found = findHelp(at.places);
    EXPECT_EQ(found.kind, HelpKind::Manual);
    EXPECT_EQ(found.path, QString::fromStdString((at.installedManual / "index.html").string()));

    writeFile(at.buildManual / "index.html", "<h1>build</h1>");
    EXPECT_EQ(findHelp(at.places).path, QString::fromStdString((at.buildManual / "index.html").string()));

    // A help file beside the program is not the one looked for: the start directory's is.
    writeFile(at.folder.path("prefix/bin") / kHelpFileName, "chm");
    EXPECT_EQ(findHelp(at.places).kind, HelpKind::Manual);
    writeFile(at.folder.path("start") / kHelpFileName, "chm");
    found = findHelp(at.places);
    EXPECT_EQ(found.kind, HelpKind::HelpFile);
    EXPECT_EQ(found.path, at.folder.qpath("start/" + std::string(kHelpFileName)));
}

TEST(ProgramHelp, TheManualOpensInTheBrowserElseInTheHelpWindowWhoseLinksStayInTheManual) {
    Installation at;
    writeFile(at.installedManual / "index.html",
              "<html><head><title>Contents</title></head><body><p><a href=\"media.html#spread\">Several "
              "media</a> <a href=\"https://www.brivane.com/ostrum-tape/\">Home</a></p></body></html>");
    writeFile(at.installedManual / "media.html",
              "<html><head><title>Several media</title></head><body><h2 id=\"spread\">Spread</h2>"
              "<p><a href=\"index.html\">Contents</a></p></body></html>");
    const QUrl contents =
        QUrl::fromLocalFile(QString::fromStdString((at.installedManual / "index.html").string()));
    auto recorder = std::make_shared<ui::RecordingLinkOpener>();
    ui::RecordingLinkOpener& links = *recorder;

    // A desktop with a browser: the manual's first page goes to it.
    EXPECT_EQ(showHelp(at.places, recorder, nullptr), nullptr);
    EXPECT_EQ(links.opened, QStringList{contents.toString()});

    // A help file that nothing opens gives way to the manual, which no browser opens either.
    writeFile(at.folder.path("start") / kHelpFileName, "chm");
    links.opened.clear();
    links.accepts = false;
    QWidget owner;
    QPointer<ui::HelpWindow> window = showHelp(at.places, recorder, &owner);
    ASSERT_FALSE(window.isNull());
    EXPECT_EQ(links.opened.size(), 2);
    EXPECT_TRUE(links.opened.front().endsWith(QStringLiteral(".chm")));
    QTextBrowser* browser = window->findChild<QTextBrowser*>(QStringLiteral("HelpBrowser"));
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(browser->source(), contents);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Contents"));
    EXPECT_EQ(showHelp(at.places, recorder, &owner), window.data())
        << "asked again, the same window comes forward";

    // Tab picks the first link and Enter follows it, inside the window.
    browser->setFocus();
    QTest::keyClick(browser, Qt::Key_Tab);
    QTest::keyClick(browser, Qt::Key_Return);
    EXPECT_EQ(browser->source().fileName(), QStringLiteral("media.html"));
    EXPECT_EQ(browser->source().fragment(), QStringLiteral("spread"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Several media"));
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("HelpBack")), Qt::LeftButton);
    EXPECT_EQ(browser->source(), contents);

    // A link that leaves the manual goes to the desktop; the window stays on its page.
    links.opened.clear();
    browser->setFocus();
    QTest::keyClick(browser, Qt::Key_Tab);
    QTest::keyClick(browser, Qt::Key_Tab);
    QTest::keyClick(browser, Qt::Key_Return);
    EXPECT_EQ(links.opened, QStringList{QStringLiteral("https://www.brivane.com/ostrum-tape/")});
    EXPECT_EQ(browser->source(), contents);

    window->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.isNull(); }));
}

}  // namespace
}  // namespace ostrum::app::testing
