#pragma once

#include "FbDatabase.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A private Firebird server on 127.0.0.1: the packaged server program run with its own
// configuration, security database (with one user), lock folder and a free port. Databases
// are files in its folder, reached over TCP as "127.0.0.1/port:path".
class TTestServer {
public:
  static inline const QString UserName = QStringLiteral("KVTEST");
  static inline const QString Password = QStringLiteral("Kv-t3st-pw");

  TTestServer() = default;
  ~TTestServer();
  TTestServer(const TTestServer&) = delete;
  TTestServer& operator=(const TTestServer&) = delete;

  // Prepares the folder (once) and starts the server; empty when it listens, else why not.
  QString Start();
  void Stop();             // asks it to end, kills it when it does not
  void Kill();             // ends it at once, as a crash would
  void Pause(bool paused); // stops it answering (SIGSTOP), and lets it go on
  QString Remote(const QString& file) const;
  // Settings for a database file of the server, with the test user and UTF8.
  TFbSettings Settings(const QString& file, const QString& password = Password) const;

private:
  QProcessEnvironment Environment() const;
  QString Prepare();

  QTemporaryDir m_dir;
  QProcess m_server;
  int m_port = 0;
};
