#pragma once

#include "KvError.h"

#include <firebird/Interface.h>

// An error of the database layer. Errors of the client library carry the server's own text
// (the formatted status vector) and the first error code; errors found by this layer before
// anything reaches the server carry code 0.
class EFbError : public EKvError {
public:
  explicit EFbError(QString message, qint64 code = 0, bool connectionLost = false)
      : EKvError(std::move(message)), m_code(code), m_connectionLost(connectionLost) {}
  qint64 ErrorCode() const noexcept { return m_code; }
  // The connection to the server is gone (network error, server shut down).
  bool ConnectionLost() const noexcept { return m_connectionLost; }
  // The operation was stopped by a cancel request.
  bool Cancelled() const noexcept;

private:
  qint64 m_code;
  bool m_connectionLost;
};

namespace Fb {

Firebird::IMaster* Master();
Firebird::IUtil* Util();
// The dispatcher: picks the remote or the embedded provider by the form of the database name.
Firebird::IProvider* Provider();

// The server's text for a status vector, lines joined by "\n".
QString FormatStatus(Firebird::IStatus* status);
// The error of a client library call, with its first code and whether it means that the
// connection is gone.
EFbError ToError(const Firebird::FbException& error);
[[noreturn]] void Raise(const Firebird::FbException& error);

// A status that throws Firebird::FbException on error and is disposed with its scope.
class TStatus : public Firebird::ThrowStatusWrapper {
public:
  TStatus() : Firebird::ThrowStatusWrapper(Master()->getStatus()) {}
  ~TStatus() { dispose(); }
  TStatus(const TStatus&) = delete;
  TStatus& operator=(const TStatus&) = delete;
};

// Releases a reference-counted interface and clears the pointer.
template <typename T>
void ReleaseRef(T*& object) {
  if (object) object->release();
  object = nullptr;
}

} // namespace Fb
