#include "FbTestServer.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
const QString ServerProgram = QStringLiteral("/usr/sbin/firebird");
const QString PackagedSecurityDb = QStringLiteral("/var/lib/firebird/3.0/system/security3.fdb");

sockaddr_in Loopback(int port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(quint16(port));
  return address;
}

// A TCP port on 127.0.0.1 that nothing listens on right now.
int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  int port = 0;
  if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  if (fd >= 0) ::close(fd);
  return port;
}

bool Accepts(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in address = Loopback(port);
  const bool ok =
      fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  if (fd >= 0) ::close(fd);
  return ok;
}
} // namespace

TTestServer::~TTestServer() {
  Pause(false);
  Stop();
}

QProcessEnvironment TTestServer::Environment() const {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("FIREBIRD", m_dir.path());
  env.insert("FIREBIRD_LOCK", m_dir.filePath("lock"));
  env.insert("FIREBIRD_TMP", m_dir.path());
  env.remove("ISC_USER");
  env.remove("ISC_PASSWORD");
  return env;
}

QString TTestServer::Prepare() {
  if (!QFile::exists(ServerProgram))
    return "The Firebird server is missing: install package firebird3.0-server.";
  if (!QFile::exists(PackagedSecurityDb))
    return "The packaged security database is missing (firebird3.0-server).";
  if (!m_dir.isValid()) return "no temporary folder";
  m_port = FreePort();
  // The server reads firebird.conf from $FIREBIRD; plugins and messages stay where the package
  // put them. The configuration comes first: without it the user below would land in the
  // packaged security database.
  if (!QFile::copy(PackagedSecurityDb, m_dir.filePath("security3.fdb")))
    return "cannot copy the security database";
  QFile::setPermissions(m_dir.filePath("security3.fdb"), QFile::ReadOwner | QFile::WriteOwner);
  QFile conf(m_dir.filePath("firebird.conf"));
  if (!conf.open(QIODevice::WriteOnly)) return "cannot write firebird.conf";
  conf.write(QStringLiteral(
                 "RemoteServicePort = %1\nRemoteBindAddress = 127.0.0.1\nSecurityDatabase = %2\n")
                 .arg(m_port)
                 .arg(m_dir.filePath("security3.fdb"))
                 .toUtf8());
  conf.close();
  // The user is made in the private security database through the embedded engine, before
  // the server holds it.
  QProcess isql;
  isql.setProcessEnvironment(Environment());
  isql.setProcessChannelMode(QProcess::MergedChannels);
  isql.start("isql-fb", {"-q", "-user", "SYSDBA", m_dir.filePath("security3.fdb")});
  if (!isql.waitForStarted()) return "isql-fb (firebird3.0-utils) cannot be started.";
  isql.write(QStringLiteral("create user %1 password '%2' using plugin Srp;\n"
                            "grant create database to user %1;\ncommit;\nexit;\n")
                 .arg(UserName, Password)
                 .toUtf8());
  isql.closeWriteChannel();
  isql.waitForFinished(60000);
  const QByteArray output = isql.readAll();
  if (isql.exitCode() != 0 || output.contains("failed")) return QString::fromLocal8Bit(output);
  return QString();
}

QString TTestServer::Start() {
  if (m_port == 0) {
    const QString error = Prepare();
    if (!error.isEmpty()) return error;
  }
  m_server.setProcessEnvironment(Environment());
  m_server.setProcessChannelMode(QProcess::MergedChannels);
  m_server.start(ServerProgram, {});
  if (!m_server.waitForStarted()) return m_server.errorString();
  QDeadlineTimer deadline(20000);
  while (!Accepts(m_port)) {
    if (m_server.state() == QProcess::NotRunning || deadline.hasExpired())
      return "The server did not start listening: " + QString::fromLocal8Bit(m_server.readAll());
    QThread::msleep(50);
  }
  return QString();
}

void TTestServer::Stop() {
  if (m_server.state() == QProcess::NotRunning) return;
  m_server.terminate();
  if (!m_server.waitForFinished(15000)) Kill();
}

void TTestServer::Kill() {
  if (m_server.state() == QProcess::NotRunning) return;
  m_server.kill();
  m_server.waitForFinished(5000);
}

void TTestServer::Pause(bool paused) {
  if (m_server.state() != QProcess::NotRunning)
    ::kill(pid_t(m_server.processId()), paused ? SIGSTOP : SIGCONT);
}

QString TTestServer::Remote(const QString& file) const {
  return QStringLiteral("127.0.0.1/%1:%2").arg(m_port).arg(m_dir.filePath(file));
}

TFbSettings TTestServer::Settings(const QString& file, const QString& password) const {
  return {Remote(file), {"user_name=" + UserName, "password=" + password, "lc_ctype=UTF8"}, 3};
}
