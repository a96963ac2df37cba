#pragma once

#include "KvResource.h"

// Version reported by the designer component and the tools.
inline const QString& KvVersionText() {
  return KvResource::SVersion;
}
