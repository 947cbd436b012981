#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "TempHome.h"
#include "exec/NodeResolver.h"
#include "exec/Tools.h"

using namespace varnholt;

namespace {

class NodeResolverTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_home.isValid()); }

    QString path(const QString& name) const { return m_home.scratch() + "/" + name; }

    QString makeFile(const QString& name, const QByteArray& content, bool executable) {
        const QString file = path(name);
        QDir().mkpath(QFileInfo(file).path());
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        QFile::Permissions perms = QFile::ReadOwner | QFile::WriteOwner;
        if (executable) {
            perms |= QFile::ExeOwner;
        }
        EXPECT_TRUE(f.setPermissions(perms));
        return file;
    }

    QString makeNode(const QString& name, bool executable = true) {
        return makeFile(name, "#!/bin/sh\necho node\n", executable);
    }

    // A stand-in login shell that ignores its arguments and prints script.
    QString makeLoginShell(const QByteArray& output) {
        return makeFile("login-shell", "#!/bin/sh\nprintf '" + output + "'\n", true);
    }

    test::TempHome m_home;
};

}  // namespace

TEST_F(NodeResolverTest, FirstExecutableCandidateWins) {
    const QString first = makeNode("homebrew/node");
    const QString second = makeNode("local/node");
    const QString shell = makeLoginShell("/nowhere\\n");
    EXPECT_EQ(resolveNode({first, second}, shell), first);
    EXPECT_EQ(resolveNode({path("missing/node"), second, first}, shell), second);
}

TEST_F(NodeResolverTest, NonExecutableAndNonFileCandidatesAreSkipped) {
    const QString plain = makeNode("homebrew/node", false);
    const QString folder = path("folder/node");
    QDir().mkpath(folder);
    const QString good = makeNode("usr/node");
    EXPECT_EQ(resolveNode({plain, folder, good}, makeLoginShell("")), good);
}

TEST_F(NodeResolverTest, LoginShellAnswersWhenNoCandidateRuns) {
    const QString node = makeNode("dot-local/node/bin/node");
    EXPECT_EQ(resolveNode({path("missing")}, makeLoginShell(node.toUtf8() + "\\n")), node);
}

TEST_F(NodeResolverTest, LoginShellGreetingDoesNotSpoilTheAnswer) {
    const QString node = makeNode("nvm/node");
    const QString shell =
        makeLoginShell("Welcome back!\\nToday is sunny.\\n" + node.toUtf8() + "  \\r\\n\\n");
    EXPECT_EQ(resolveNode({}, shell), node);
}

TEST_F(NodeResolverTest, UnusableLoginShellAnswersFallBackToNode) {
    const QString node = makeNode("nvm/node");
    const QString plain = makeNode("plain/node", false);
    const struct {
        const char* name;
        QByteArray output;
    } cases[] = {
        {"nothing printed", ""},
        {"only blank lines", "\\n  \\n"},
        {"relative answer", "bin/node\\n"},
        {"alias", "alias node=/usr/bin/node\\n"},
        {"not executable", plain.toUtf8() + "\\n"},
        {"missing file", path("gone/node").toUtf8() + "\\n"},
        {"path then greeting", node.toUtf8() + "\\nGoodbye\\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(resolveNode({}, makeLoginShell(c.output)), "node");
    }
}

TEST_F(NodeResolverTest, MissingLoginShellFallsBackToNode) {
    EXPECT_EQ(resolveNode({path("missing")}, path("no-such-shell")), "node");
}

TEST_F(NodeResolverTest, LoginShellGetsTheCommandAsThreeArguments) {
    // The stand-in prints its arguments back so the call can be checked.
    const QString node = makeNode("nvm/node");
    const QString shell = makeFile("arg-shell",
                                   "#!/bin/sh\n"
                                   "[ \"$#\" = 3 ] && [ \"$1\" = -l ] && [ \"$2\" = -c ] && "
                                   "[ \"$3\" = 'command -v node' ] && echo '" +
                                       node.toUtf8() + "'\n",
                                   true);
    EXPECT_EQ(resolveNode({}, shell), node);
}

TEST_F(NodeResolverTest, HostScriptIsTheUsersOwnElseThePackagedCopy) {
    const QString user = m_home.path() + "/.claude/skills/varnholt/payload/host.mjs";
    const QString packaged = path("share/varnholt-control/host.mjs");
    const QString other = path("elsewhere/host.mjs");
    // Nothing anywhere: the user's path, where the script belongs.
    EXPECT_EQ(hostMjsPath(user, {packaged}), user);
    makeFile("share/varnholt-control/host.mjs", "// packaged\n", false);
    makeFile("elsewhere/host.mjs", "// other\n", false);
    EXPECT_EQ(hostMjsPath(user, {path("missing/host.mjs"), packaged, other}), packaged);
    QDir().mkpath(QFileInfo(user).path());
    QFile script(user);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.close();
    EXPECT_EQ(hostMjsPath(user, {packaged}), user);
    EXPECT_EQ(hostMjsPath(), user);
    EXPECT_TRUE(packagedHostMjsPaths().last().endsWith("/share/varnholt-control/host.mjs"));
}

TEST(Tools, LoginShellIsAnAbsoluteExecutable) {
    const QFileInfo shell(loginShell());
    EXPECT_TRUE(shell.isAbsolute());
    EXPECT_TRUE(shell.isFile());
    EXPECT_TRUE(shell.isExecutable());
}

TEST(Tools, RealLookupFindsNodeOnThisMachine) {
    // node 20 is installed at /usr/bin/node here.
    const QString node = resolveNode();
    EXPECT_TRUE(QFileInfo(node).isExecutable()) << node.toStdString();
}
