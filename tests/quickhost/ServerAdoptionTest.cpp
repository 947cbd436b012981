#include <gtest/gtest.h>

#include <QFileInfo>

#include "ServeRun.h"
#include "TempHome.h"
#include "quickhost/ServerAdoption.h"

namespace varnholt {
namespace {

// Only a server this installation started, for a listed package, on the
// port it was started for, is taken back.
TEST(ServerAdoption, TakesOnlyOurServerForAListedPackageOnItsOwnPort) {
    test::TempHome home;
    const QString program = test::serveProgram();
    const QString real = QFileInfo(program).canonicalFilePath();
    const QString pkg = home.scratch() + "/Photos";
    const QList<QuickHostPackage> packages = {{"Photos", pkg}};
    const ServerAdoption::Claim claim{program, 1000, 1010, 1040};
    const QStringList args = {program, "--bind", "0.0.0.0", "--port", "1012", pkg};
    const struct {
        const char* what;
        QString exe;
        uid_t owner;
        qint64 port;
        QStringList arguments;
        bool taken;
    } cases[] = {
        {"ours", real, 1000, 1012, args, true},
        {"without --bind", real, 1000, 1012, {program, "--port", "1012", pkg + "/"}, true},
        {"another program", "/usr/bin/python3", 1000, 1012, args, false},
        {"another user", real, 1001, 1012, args, false},
        {"outside the range", real, 1000, 8000, {program, "--port", "8000", pkg}, false},
        {"another port than started for", real, 1000, 1013, args, false},
        {"an unlisted folder",
         real,
         1000,
         1012,
         {program, "--port", "1012", home.scratch() + "/Other"},
         false},
        {"unknown options", real, 1000, 1012, {program, "--port", "1012", "--x", pkg}, false},
    };
    for (const auto& c : cases) {
        const HostedPort server{4242, "varnholt-serve", c.port, "NET", "Photos"};
        const ServerProcess::Facts facts{c.exe, c.owner, c.arguments, 77};
        const auto path = ServerAdoption::packageOf(server, facts, claim, packages);
        EXPECT_EQ(path.has_value(), c.taken) << c.what;
        if (c.taken && path) {
            EXPECT_EQ(*path, pkg) << c.what;
        }
    }
}

}  // namespace
}  // namespace varnholt
