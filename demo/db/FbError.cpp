#include "FbError.h"

#include <ibase.h>

namespace Fb {

Firebird::IMaster* Master() {
  static Firebird::IMaster* master = Firebird::fb_get_master_interface();
  return master;
}

Firebird::IUtil* Util() {
  static Firebird::IUtil* util = Master()->getUtilInterface();
  return util;
}

Firebird::IProvider* Provider() {
  // Held for the life of the process: the client library tears itself down at exit.
  static Firebird::IProvider* provider = Master()->getDispatcher();
  return provider;
}

QString FormatStatus(Firebird::IStatus* status) {
  char buffer[4096];
  const unsigned length = Util()->formatStatus(buffer, sizeof buffer, status);
  QString text =
      QString::fromUtf8(buffer, qMin<qsizetype>(length, qsizetype(sizeof buffer))).trimmed();
  return text.isEmpty() ? QStringLiteral("Unknown database error.") : text;
}

namespace {

bool MeansConnectionLost(intptr_t code) {
  switch (code) {
  case isc_network_error:
  case isc_net_read_err:
  case isc_net_write_err:
  case isc_lost_db_connection:
  case isc_conn_lost:
  case isc_shutdown:
  case isc_att_shutdown:
  case isc_net_server_shutdown:
    return true;
  default:
    return false;
  }
}

} // namespace

EFbError ToError(const Firebird::FbException& error) {
  Firebird::IStatus* status = error.getStatus();
  qint64 code = 0;
  bool lost = false;
  const intptr_t* vector = status->getErrors();
  if (vector && vector[0] == isc_arg_gds) code = vector[1];
  // The network codes may follow a first, more general one.
  for (const intptr_t* v = vector; v && *v != isc_arg_end; v += 2) {
    if (*v == isc_arg_gds && MeansConnectionLost(v[1])) lost = true;
    if (*v == isc_arg_cstring) ++v; // length, then the text
  }
  return EFbError(FormatStatus(status), code, lost);
}

void Raise(const Firebird::FbException& error) {
  throw ToError(error);
}

} // namespace Fb

bool EFbError::Cancelled() const noexcept {
  return m_code == isc_cancelled;
}
