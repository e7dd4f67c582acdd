#include "support/TestDatabase.h"

#include <QFile>
#include <QProcess>
#include <QRect>

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace quillet::test {
namespace {

// The main window on screens of other sizes and scales, each in a process of its own, as a
// platform's screens are set when the program starts.
class ScreensTest : public testing::Test
{
protected:
    struct Opened
    {
        std::map<std::string, QRect> places;
        double scale = 0;
    };

    Opened open(int width, int height, int dpi, const QByteArray &scaleFactor = {})
    {
        const QString config = folder.folder() + QStringLiteral("/screen.json");
        QFile file(config);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(QStringLiteral(R"({"screens": [{"name": "s", "x": 0, "y": 0, "width": %1,
                     "height": %2, "logicalDpi": %3, "logicalBaseDpi": 96}]})")
                       .arg(width)
                       .arg(height)
                       .arg(dpi)
                       .toUtf8());
        file.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen:configfile=" + config);
        environment.remove("QT_SCALE_FACTOR");
        if (!scaleFactor.isEmpty())
            environment.insert("QT_SCALE_FACTOR", QString::fromLatin1(scaleFactor));
        QProcess driver;
        driver.setProcessEnvironment(environment);
        driver.start(QStringLiteral(QUILLET_WINDOW_DRIVER), {QString::fromStdString(path)});
        Opened opened;
        if (!driver.waitForFinished(60000) || driver.exitCode() != 0) {
            ADD_FAILURE() << driver.readAllStandardError().toStdString();
            return opened;
        }
        std::istringstream lines(driver.readAllStandardOutput().toStdString());
        std::string name;
        while (lines >> name) {
            if (name == "scale") {
                lines >> opened.scale;
                continue;
            }
            int x = 0, y = 0, w = 0, h = 0;
            lines >> x >> y >> w >> h;
            opened.places[name] = QRect(x, y, w, h);
        }
        return opened;
    }

    void storeGeometry(int left, int top, int width, int height)
    {
        execSql(path, "UPDATE parame SET timilo = CASE ID WHEN 1 THEN " + std::to_string(left) +
                          " WHEN 2 THEN " + std::to_string(top) + " WHEN 3 THEN " +
                          std::to_string(width) + " WHEN 4 THEN " + std::to_string(height) +
                          " ELSE 0 END");
    }

    TempFolder folder;
    std::string path = folder.path("mydata.mdb");
};

// Twips become the screen's logical pixels: at twice the dpi every control keeps its place and
// size in them, so the window is the same in inches.
TEST_F(ScreensTest, TheLayoutStaysProportionateAtTwiceTheDpi)
{
    createDatabase(path, {{"A", "Alpha"}});
    storeGeometry(1500, 900, 9000, 6000);
    const Opened usual = open(1600, 1000, 96);
    const Opened doubled = open(3200, 2000, 192);
    EXPECT_EQ(usual.scale, 1);
    EXPECT_EQ(doubled.scale, 2);
    ASSERT_EQ(usual.places.size(), 7u);
    for (const auto &[name, place] : usual.places) {
        if (name != "screen") {
            EXPECT_EQ(doubled.places.at(name), place) << name;
        }
    }
}

// A new database's window, at 200% on a 1920 x 1080 screen, fits on it.
TEST_F(ScreensTest, ANewDatabasesWindowFitsAtTwiceTheScale)
{
    createDatabase(path, {{"A", "Alpha"}});
    storeGeometry(600, 600, 14340, 9465);
    const Opened opened = open(1920, 1080, 96, "2");
    EXPECT_EQ(opened.scale, 2);
    const QRect screen = opened.places.at("screen");
    EXPECT_TRUE(screen.contains(opened.places.at("window")))
        << screen.width() << "x" << screen.height();
}

} // namespace
} // namespace quillet::test
