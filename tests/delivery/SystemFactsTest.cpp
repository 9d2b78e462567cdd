#include "SystemFacts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct OsCase {
    const char* osRelease;
    const char* kernel;
    const char* expected;
};

class OsDescriptionTest : public ::testing::TestWithParam<OsCase> {};

TEST_P(OsDescriptionTest, NamesTheDistributionAndTheKernel) {
    const OsCase& c = GetParam();
    EXPECT_EQ(SystemFacts::osDescription(QString::fromUtf8(c.osRelease), QString::fromUtf8(c.kernel)),
              QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    SystemFacts, OsDescriptionTest,
    ::testing::Values(OsCase{"PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\n",
                             "6.1.0-13-amd64", "Debian GNU/Linux 12 (bookworm), Linux 6.1.0"},
                      OsCase{"NAME=Fedora\nPRETTY_NAME='Fedora Linux 39'\n", "6.5.6-300.fc39.x86_64",
                             "Fedora Linux 39, Linux 6.5.6"},
                      OsCase{"NAME=\"Alpine \\\"Edge\\\"\"\n", "6.6", "Alpine \"Edge\", Linux 6.6.0"},
                      OsCase{"", "5.15.0", "Linux 5.15.0"}, OsCase{"", "", "Linux"}));

TEST(SystemFactsTest, RunningSystemIsDescribed) {
    EXPECT_TRUE(SystemFacts::osDescription().contains(QStringLiteral("Linux")));
    const int level = SystemFacts::thermalLevel();
    EXPECT_GE(level, 0);
    EXPECT_LE(level, 3);
}

// A sysfs-like tree of thermal zones in a temporary directory.
class ThermalTest : public ::testing::Test {
protected:
    void zone(int index, const QByteArray& temperature,
              const std::vector<std::pair<const char*, int>>& trips) {
        const QString path = dir_.filePath(QStringLiteral("thermal_zone%1").arg(index));
        QDir().mkpath(path);
        write(path + QStringLiteral("/temp"), temperature + '\n');
        for (std::size_t i = 0; i < trips.size(); ++i) {
            write(path + QStringLiteral("/trip_point_%1_type").arg(i), QByteArray(trips[i].first) + '\n');
            write(path + QStringLiteral("/trip_point_%1_temp").arg(i),
                  QByteArray::number(trips[i].second) + '\n');
        }
    }
    int level() const { return SystemFacts::thermalLevel(dir_.path()); }

private:
    static void write(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QTemporaryDir dir_;
};

TEST_F(ThermalTest, NoZonesIsNominal) {
    EXPECT_EQ(level(), 0);
}

TEST_F(ThermalTest, HottestReachedTripDecides) {
    const std::vector<std::pair<const char*, int>> trips{
        {"active", 60000}, {"passive", 80000}, {"hot", 95000}, {"critical", 105000}, {"active", 0}};
    zone(0, "45000", trips);
    EXPECT_EQ(level(), 0) << "an unused trip point at 0 never counts";
    zone(1, "65000", trips);
    EXPECT_EQ(level(), 1);
    zone(2, "80000", trips);
    EXPECT_EQ(level(), 2);
    zone(3, "99000", trips);
    EXPECT_EQ(level(), 3);
}

TEST_F(ThermalTest, ZoneWithoutReadableTemperatureIsIgnored) {
    zone(0, "unavailable", {{"critical", 1}});
    EXPECT_EQ(level(), 0);
}

} // namespace
