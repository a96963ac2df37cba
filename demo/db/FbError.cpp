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

void Raise(const Firebird::FbException& error) {
  Firebird::IStatus* status = error.getStatus();
  qint64 code = 0;
  const intptr_t* vector = status->getErrors();
  if (vector && vector[0] == isc_arg_gds) code = vector[1];
  throw EFbError(FormatStatus(status), code);
}

} // namespace Fb
